#include "tools/render/audio_file.h"

#include <samplerate.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

#include "tools/render/offline_render.h"

namespace render {

namespace {

// libsndfile writes through these, so a failed write is seen with its reason however
// the format's encoder reports it, including the header rewritten on closing.
struct Descriptor {
    int fd;
    int error = 0;  // the first failure's errno
};

sf_count_t FileLength(void* user) {
    struct stat status;
    return fstat(static_cast<Descriptor*>(user)->fd, &status) == 0 ? status.st_size : -1;
}
sf_count_t FileSeek(sf_count_t offset, int whence, void* user) {
    return lseek(static_cast<Descriptor*>(user)->fd, offset, whence);
}
sf_count_t FileRead(void* data, sf_count_t count, void* user) {
    const ssize_t got = read(static_cast<Descriptor*>(user)->fd, data, static_cast<size_t>(count));
    return got < 0 ? 0 : got;
}
sf_count_t FileWrite(const void* data, sf_count_t count, void* user) {
    auto* file = static_cast<Descriptor*>(user);
    const auto* bytes = static_cast<const char*>(data);
    sf_count_t done = 0;
    while (done < count) {
        const ssize_t written = write(file->fd, bytes + done, static_cast<size_t>(count - done));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (file->error == 0) file->error = written < 0 ? errno : ENOSPC;
            break;
        }
        done += written;
    }
    return done;
}
sf_count_t FileTell(void* user) { return lseek(static_cast<Descriptor*>(user)->fd, 0, SEEK_CUR); }

int SndfileFormat(AudioType type) {
    switch (type) {
        case AudioType::Wav:
            return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        case AudioType::Flac:
            return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
        case AudioType::Ogg:
            return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    }
    return 0;
}

constexpr size_t ResampleChunk = 4096;  // input samples per call of the resampler

}  // namespace

std::optional<AudioType> AudioTypeOf(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return std::nullopt;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "wav") return AudioType::Wav;
    if (extension == "flac") return AudioType::Flac;
    if (extension == "ogg") return AudioType::Ogg;
    return std::nullopt;
}

uint64_t MostSamples(AudioType type) {
    constexpr uint64_t WavMostSamples =
        ((uint64_t{1} << 32) - 64) / sizeof(int16_t);  // less its headers
    return type == AudioType::Wav ? WavMostSamples : UINT64_MAX;
}

struct AudioWriter::State {
    Descriptor file;
    SF_VIRTUAL_IO io{FileLength, FileSeek, FileRead, FileWrite, FileTell};
    SNDFILE* sound = nullptr;
    SRC_STATE* resampler = nullptr;  // none at 44100 Hz
    double ratio = 1.0;
    std::vector<float> in, out;
    std::vector<short> converted;

    ~State() {
        if (resampler) src_delete(resampler);
        if (sound) sf_close(sound);
    }

    // The reason for a failure: the system's when a write failed, else libsndfile's.
    std::string Reason() const {
        return file.error != 0 ? std::strerror(file.error) : sf_strerror(sound);
    }

    bool WriteShorts(const short* samples, size_t count, std::string& reason) {
        if (sf_write_short(sound, samples, static_cast<sf_count_t>(count)) ==
                static_cast<sf_count_t>(count) &&
            file.error == 0)
            return true;
        reason = Reason();
        return false;
    }

    // Resamples count samples of in (all of them when ending) and writes what comes out.
    bool Resample(size_t count, bool ending, std::string& reason) {
        SRC_DATA data{};
        data.data_in = in.data();
        data.input_frames = static_cast<long>(count);
        data.data_out = out.data();
        data.output_frames = static_cast<long>(out.size());
        data.src_ratio = ratio;
        data.end_of_input = ending ? 1 : 0;
        do {
            if (const int error = src_process(resampler, &data)) {
                reason = src_strerror(error);
                return false;
            }
            converted.resize(static_cast<size_t>(data.output_frames_gen));
            src_float_to_short_array(out.data(), converted.data(),
                                     static_cast<int>(converted.size()));
            if (!WriteShorts(converted.data(), converted.size(), reason)) return false;
            data.data_in += data.input_frames_used;
            data.input_frames -= data.input_frames_used;
        } while (data.input_frames > 0 || (ending && data.output_frames_gen > 0));
        return true;
    }
};

AudioWriter::AudioWriter(std::unique_ptr<State> state) : state_(std::move(state)) {}
AudioWriter::~AudioWriter() = default;

std::unique_ptr<AudioWriter> AudioWriter::Open(int fd, AudioType type, uint32_t rate,
                                               std::string& reason) {
    auto state = std::make_unique<State>();
    state->file.fd = fd;
    SF_INFO info{};
    info.samplerate = static_cast<int>(rate);
    info.channels = 1;
    info.format = SndfileFormat(type);
    state->sound = sf_open_virtual(&state->io, SFM_WRITE, &info, &state->file);
    if (!state->sound) {
        reason = state->file.error != 0 ? std::strerror(state->file.error) : sf_strerror(nullptr);
        return nullptr;
    }
    if (rate != EngineRate) {
        int error = 0;
        state->resampler = src_new(SRC_SINC_BEST_QUALITY, 1, &error);
        if (!state->resampler) {
            reason = src_strerror(error);
            return nullptr;
        }
        state->ratio = static_cast<double>(rate) / EngineRate;
        state->in.resize(ResampleChunk);
        state->out.resize(static_cast<size_t>(ResampleChunk * state->ratio) + 64);
    }
    return std::unique_ptr<AudioWriter>(new AudioWriter(std::move(state)));
}

bool AudioWriter::Write(const int16_t* samples, size_t count, std::string& reason) {
    State& s = *state_;
    if (!s.resampler) return s.WriteShorts(samples, count, reason);
    while (count > 0) {
        const size_t chunk = std::min(count, ResampleChunk);
        src_short_to_float_array(samples, s.in.data(), static_cast<int>(chunk));
        if (!s.Resample(chunk, false, reason)) return false;
        samples += chunk;
        count -= chunk;
    }
    return true;
}

bool AudioWriter::Finish(std::string& reason) {
    State& s = *state_;
    if (s.resampler && !s.Resample(0, true, reason)) return false;
    const int closed = sf_close(s.sound);
    s.sound = nullptr;
    if (closed != 0 || s.file.error != 0) {
        reason = s.file.error != 0 ? std::strerror(s.file.error) : sf_error_number(closed);
        return false;
    }
    return true;
}

}  // namespace render
