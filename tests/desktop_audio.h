#pragma once
// The desktop's wave output heard for real: a JACK client of the test's own and a
// recorder of the private PulseAudio server's null sink listen to it, and dialogs feed
// it blocks of a 441 Hz tone, all at once or as the program does.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "platform/desktop/desktop_platform.h"
#include "res/dialog_template.h"
#include "scripted_dialog.h"

namespace platform::desktop {

using Clock = std::chrono::steady_clock;

constexpr WaveFormat CdMono = {WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16};
constexpr int SamplesPerBlock = 100;
constexpr uint32_t WHDR_DONE = 0x01;
constexpr float Sounding = 0.01f;

inline bool Loud(float sample) { return std::fabs(sample) > Sounding; }

// Polls until the condition holds, for a minute at most.
inline bool WaitFor(const std::function<bool()>& condition) {
    for (auto end = Clock::now() + std::chrono::minutes(1); !condition() && Clock::now() < end;)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return condition();
}

// The frequency of a tone: the median of the cycles between its rising zero crossings,
// so that a device period that a busy machine skipped does not count.
inline double FrequencyOf(const std::vector<float>& recording, unsigned rate) {
    const size_t lookAhead = rate / 441 / 2;
    std::vector<double> crossings;
    for (size_t i = 1; i + lookAhead < recording.size(); ++i) {
        if (!(recording[i - 1] < 0.0f && recording[i] >= 0.0f)) continue;
        const auto peak = std::max_element(recording.begin() + i, recording.begin() + i + lookAhead);
        if (*peak < 0.1f) continue;  // the resampler's ripple, not the tone
        crossings.push_back(i - 1 + recording[i - 1] / (recording[i - 1] - recording[i]));
    }
    if (crossings.size() < 2) return 0.0;
    std::vector<double> cycles;
    for (size_t i = 1; i < crossings.size(); ++i) cycles.push_back(crossings[i] - crossings[i - 1]);
    std::nth_element(cycles.begin(), cycles.begin() + cycles.size() / 2, cycles.end());
    return rate / cycles[cycles.size() / 2];
}

// What a recording holds from its first to its last sounding sample.
struct Hearing {
    size_t sounding = 0;        // samples from the first sounding one to the last
    size_t longestSilence = 0;  // the longest run of exact zeros among them
    size_t gaps = 0;            // the samples of every such run of Gap samples or more
    double frequency = 0.0;
    float peak = 0.0f;

    static constexpr size_t Gap = 64;
};

inline Hearing Hear(const std::vector<float>& recording, unsigned rate) {
    const auto first = std::find_if(recording.begin(), recording.end(), Loud);
    if (first == recording.end()) return {};
    const auto last = std::find_if(recording.rbegin(), recording.rend(), Loud).base();
    Hearing heard;
    heard.sounding = static_cast<size_t>(last - first);
    size_t run = 0;
    for (auto it = first; it != last; ++it) {
        run = *it == 0.0f ? run + 1 : 0;
        if (run == Hearing::Gap) heard.gaps += Hearing::Gap - 1;
        if (run >= Hearing::Gap) ++heard.gaps;
        heard.longestSilence = std::max(heard.longestSilence, run);
        heard.peak = std::max(heard.peak, std::fabs(*it));
    }
    heard.frequency = FrequencyOf({first, last}, rate);
    return heard;
}

// Whether the last half second of a recording is silent: once every block of a note has
// come back, the note has then been heard to its end.
inline bool EndsInSilence(const std::vector<float>& recording, unsigned rate) {
    return recording.size() >= rate / 2 && std::none_of(recording.end() - rate / 2, recording.end(), Loud);
}

// Under ThreadSanitizer the program runs several times slower, and on a busy machine
// the device runs dry now and then, which puts silence into the note, and the listener
// inside the program misses a server period, which cuts one out. There the note may
// have gaps, and the sound between them must be the whole note, give or take two
// periods; elsewhere it must be one gapless run of the note's length.
#if defined(__SANITIZE_THREAD__)
constexpr bool UnderThreadSanitizer = true;
#else
constexpr bool UnderThreadSanitizer = false;
#endif

// A held note of the tone, heard whole, at its pitch and level. periodFrames is the
// device's period.
inline void ExpectTheHeldNote(const Hearing& heard, unsigned rate, size_t toneBlocks, size_t periodFrames) {
    const double toneLength = toneBlocks * SamplesPerBlock * rate / 44100.0;
    if (UnderThreadSanitizer) {
        EXPECT_NEAR(heard.sounding - heard.gaps, toneLength, toneLength * 0.01 + 2.0 * periodFrames)
            << "the tone is cut or stretched";
    } else {
        EXPECT_NEAR(heard.sounding, toneLength, toneLength * 0.01) << "the tone is cut or stretched";
        EXPECT_LT(heard.longestSilence, Hearing::Gap) << "a gap in the sound";
    }
    EXPECT_NEAR(heard.frequency, 441.0, 441.0 * 0.005);
    EXPECT_NEAR(heard.peak, 16000 / 32768.0, 0.02);
}

class JackListener {
public:
    JackListener() {
        client_ = jack_client_open("kelvarin-listener", JackNoStartServer, nullptr);
        if (!client_) return;
        rate_ = jack_get_sample_rate(client_);
        period_ = jack_get_buffer_size(client_);
        recording_.resize(rate_ * 20);
        port_ = jack_port_register(client_, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client_, &Process, this);
        jack_activate(client_);
        // A stream that an earlier test closed may still be leaving; the next one must
        // get its name.
        EXPECT_TRUE(WaitFor([this] { return !StreamPortsLeft(); })) << "an earlier stream never left";
    }
    ~JackListener() {
        if (client_) jack_client_close(client_);
    }
    bool Ready() const { return client_ && port_; }
    unsigned Rate() const { return rate_; }
    size_t Period() const { return period_; }
    bool Listen(const std::string& source) {
        return jack_connect(client_, source.c_str(), jack_port_name(port_)) == 0;
    }
    // Whether the port named source feeds the one named sink.
    bool Joined(const std::string& source, const std::string& sink) const {
        jack_port_t* port = jack_port_by_name(client_, source.c_str());
        return port && jack_port_connected_to(port, sink.c_str());
    }
    std::vector<float> Recording() const {
        return {recording_.begin(), recording_.begin() + static_cast<std::ptrdiff_t>(recorded_.load())};
    }
    bool EndsInSilence() const {
        const size_t at = recorded_.load();
        return at >= rate_ / 2 && std::none_of(recording_.begin() + static_cast<std::ptrdiff_t>(at - rate_ / 2),
                                               recording_.begin() + static_cast<std::ptrdiff_t>(at), Loud);
    }
    // Between the first and the last sounding sample: the resampler's ripple before
    // the sound would cross zero too.
    double HeardFrequency() const { return Hear(Recording(), rate_).frequency; }

private:
    bool StreamPortsLeft() const {
        const char** ports = jack_get_ports(client_, "^Kelvarin", nullptr, 0);
        if (!ports) return false;
        jack_free(ports);
        return true;
    }

    // The port's buffer is filled from another client's by the JACK server, in an order
    // that ThreadSanitizer cannot see, so its reads are left unchecked.
    __attribute__((no_sanitize("thread"))) static int Process(jack_nframes_t frames, void* data) {
        auto* self = static_cast<JackListener*>(data);
        const auto* in = static_cast<const float*>(jack_port_get_buffer(self->port_, frames));
        const size_t at = self->recorded_.load();
        const size_t count = std::min<size_t>(frames, self->recording_.size() - at);
        for (size_t i = 0; i < count; ++i) self->recording_[at + i] = in[i];
        self->recorded_.store(at + count);
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    unsigned rate_ = 0;
    size_t period_ = 0;
    std::vector<float> recording_;
    std::atomic<size_t> recorded_{0};
};

// Records the left side of the private PulseAudio server's null sink
// (with_desktop_session.sh --pulse or --pipewire): PipeWire would sum both to mono.
class PulseRecorder {
public:
    static constexpr unsigned Rate = 44100;
    static constexpr size_t PeriodFrames = 256;  // what the output asks of PulseAudio

    PulseRecorder() {
        char pattern[] = "/tmp/kelvarin-parec-XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd < 0) return;
        path_ = pattern;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fd, STDOUT_FILENO);
        const char* const argv[] = {"parec", "--latency-msec=20", "--device=null.monitor", "--format=float32le",
                                    "--rate=44100", "--channels=1", "--channel-map=front-left", "--raw", nullptr};
        if (posix_spawnp(&pid_, "parec", &actions, nullptr, const_cast<char* const*>(argv), environ) != 0) pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
        close(fd);
        // Connected before the sound starts: the null sink's monitor brings samples,
        // silent ones, as soon as the recording runs.
        WaitFor([this] { return !Running() || Bytes() > 0; });
    }
    ~PulseRecorder() {
        Stop();
        if (!path_.empty()) std::filesystem::remove(path_);
    }
    bool Running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
    bool Recording() const { return Running() && Bytes() > 0; }
    bool EndsInSilence() const {
        std::ifstream file(path_, std::ios::binary);
        const std::streamoff length = Rate / 2 * sizeof(float);
        if (!file.seekg(-length, std::ios::end)) return false;
        std::vector<float> tail(Rate / 2);
        file.read(reinterpret_cast<char*>(tail.data()), length);
        return file && platform::desktop::EndsInSilence(tail, Rate);
    }
    std::vector<float> Stop() {
        if (pid_ > 0) {
            kill(pid_, SIGINT);
            waitpid(pid_, nullptr, 0);
            pid_ = 0;
        }
        std::ifstream file(path_, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::vector<float> samples(bytes.size() / sizeof(float));
        std::copy_n(bytes.data(), samples.size() * sizeof(float), reinterpret_cast<char*>(samples.data()));
        return samples;
    }

private:
    off_t Bytes() const {
        struct stat status {};
        return stat(path_.c_str(), &status) == 0 ? status.st_size : 0;
    }

    std::string path_;
    pid_t pid_ = 0;
};

// Blocks of one period each of a 441 Hz tone at 44100 Hz.
struct ToneBlocks {
    explicit ToneBlocks(size_t count) : samples(count * SamplesPerBlock), headers(count) {
        for (size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<int16_t>(16000 * std::sin(2 * std::numbers::pi * (i % SamplesPerBlock) / SamplesPerBlock));
        }
        for (size_t i = 0; i < count; ++i) {
            headers[i] = {reinterpret_cast<uint8_t*>(&samples[i * SamplesPerBlock]), 2 * SamplesPerBlock, 0, 0, 1};
        }
    }
    std::vector<int16_t> samples;
    std::vector<WaveHeader> headers;
};

// Writes every block on init and takes them back as they come, checking each.
class PlayingDialog : public ScriptedDialog {
public:
    PlayingDialog(Platform& platform, ToneBlocks& blocks)
        : ScriptedDialog(platform), waveOut_(platform.GetWaveOut()), blocks_(blocks) {}

    WaveOutHandle handle = nullptr;
    std::vector<WaveHeader*> returned;
    std::function<void()> afterOpen;

    bool OnInitDialog() override {
        EXPECT_EQ(waveOut_.Open(handle, CdMono, GetWindow()), MMSYSERR_NOERROR);
        if (afterOpen) afterOpen();
        for (WaveHeader& header : blocks_.headers) {
            EXPECT_EQ(waveOut_.PrepareHeader(handle, &header), MMSYSERR_NOERROR);
            EXPECT_EQ(waveOut_.Write(handle, &header), MMSYSERR_NOERROR);
        }
        return ScriptedDialog::OnInitDialog();
    }
    bool PreTranslateMessage(const Message& message) override {
        if (message.message == MM_WOM_DONE) {
            auto* header = reinterpret_cast<WaveHeader*>(message.lParam);
            EXPECT_EQ(message.wParam, reinterpret_cast<WPARAM>(handle));
            EXPECT_NE(header->flags & WHDR_DONE, 0u);
            EXPECT_EQ(waveOut_.UnprepareHeader(handle, header), MMSYSERR_NOERROR);
            returned.push_back(header);
        }
        return ScriptedDialog::PreTranslateMessage(message);
    }
    bool AllReturned() const { return returned.size() >= blocks_.headers.size(); }
    std::vector<WaveHeader*> Written() const {
        std::vector<WaveHeader*> written;
        for (WaveHeader& header : blocks_.headers) written.push_back(&header);
        return written;
    }

private:
    WaveOut& waveOut_;
    ToneBlocks& blocks_;
};

// Renders blocks of the tone on the device's thread, then silence: as many as are
// queued, whether the device plays them in their places or fills in with them.
class ToneRenderer final : public BlockRenderer {
public:
    explicit ToneRenderer(size_t toneBlocks) : toneBlocks_(toneBlocks) {}
    void RenderBlock(int16_t* samples, size_t count) override {
        const bool tone = rendered_.fetch_add(1, std::memory_order_relaxed) < toneBlocks_;
        for (size_t i = 0; i < count; ++i) samples[i] = tone ? tone_.samples[i % SamplesPerBlock] : 0;
    }
    size_t Rendered() const { return rendered_.load(std::memory_order_relaxed); }

private:
    size_t toneBlocks_;
    std::atomic<size_t> rendered_{0};
    ToneBlocks tone_{1};
};

// Feeds the wave output as the program does: 60 blocks in flight, silent ones first,
// and one new block for each that comes back, taking its time over each, until
// toneBlocks blocks of the tone have gone out. Checks that the blocks come back in the
// order written. With a renderer, as the program does for live playing: fewer blocks
// in flight, whose tone the device renders.
class StreamingDialog : public ScriptedDialog {
public:
    static constexpr auto BlockWork = std::chrono::microseconds(300);

    StreamingDialog(Platform& platform, size_t toneBlocks, size_t inFlight = 60, BlockRenderer* renderer = nullptr)
        : ScriptedDialog(platform), waveOut_(platform.GetWaveOut()), inFlight_(inFlight),
          total_(inFlight + toneBlocks), renderer_(renderer), silence_(SamplesPerBlock, 0), tone_(1),
          headers_(inFlight + 4) {}

    WaveOutHandle handle = nullptr;
    std::function<void()> afterOpen;
    size_t written = 0;
    size_t returned = 0;
    bool inOrder = true;
    MmResult refusal = MMSYSERR_NOERROR;  // of the first write that failed

    bool OnInitDialog() override {
        EXPECT_EQ(renderer_ ? waveOut_.OpenRendered(handle, CdMono, GetWindow(), *renderer_)
                            : waveOut_.Open(handle, CdMono, GetWindow()),
                  MMSYSERR_NOERROR);
        if (afterOpen) afterOpen();
        for (size_t i = 0; i < inFlight_; ++i) WriteNext();
        return ScriptedDialog::OnInitDialog();
    }
    bool PreTranslateMessage(const Message& message) override {
        if (message.message == MM_WOM_DONE) {
            auto* header = reinterpret_cast<WaveHeader*>(message.lParam);
            inOrder = inOrder && header == &headers_[returned % headers_.size()];
            EXPECT_EQ(waveOut_.UnprepareHeader(handle, header), MMSYSERR_NOERROR);
            ++returned;
            // As long as the program takes to render a block and show its fields.
            const Clock::time_point busyUntil = Clock::now() + BlockWork;
            while (Clock::now() < busyUntil) {
            }
            if (refusal == MMSYSERR_NOERROR && written < total_) WriteNext();
        }
        return ScriptedDialog::PreTranslateMessage(message);
    }
    bool Drained() const { return written == total_ && returned == written; }
    bool Lost() const { return refusal != MMSYSERR_NOERROR && returned == written; }

private:
    void WriteNext() {
        // A header comes back before the ring wraps round to it: at most inFlight_ are out.
        WaveHeader& header = headers_[written % headers_.size()];
        const bool silent = written < inFlight_;
        const int16_t* samples = silent ? silence_.data() : tone_.samples.data();
        const uint32_t flags = renderer_ && !silent ? WHDR_RENDER : 0;
        header = {reinterpret_cast<uint8_t*>(const_cast<int16_t*>(samples)), 2 * SamplesPerBlock, 0, flags, 1};
        EXPECT_EQ(waveOut_.PrepareHeader(handle, &header), MMSYSERR_NOERROR);
        const MmResult result = waveOut_.Write(handle, &header);
        if (result == MMSYSERR_NOERROR) {
            ++written;
        } else {
            refusal = result;
        }
    }

    WaveOut& waveOut_;
    size_t inFlight_;
    size_t total_;
    BlockRenderer* renderer_;
    std::vector<int16_t> silence_;
    ToneBlocks tone_;
    std::vector<WaveHeader> headers_;
};

}  // namespace platform::desktop
