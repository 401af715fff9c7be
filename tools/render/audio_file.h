#pragma once
// The rendered samples as an audio file, through libsndfile: 16-bit PCM in a WAV or
// FLAC file, or Ogg Vorbis, mono, at the renderer's 44100 Hz or resampled to another
// rate with libsamplerate. The file's type comes from the name's extension.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace render {

enum class AudioType { Wav, Flac, Ogg };

// By the extension, in any letter case: .wav, .flac or .ogg; nothing for another.
std::optional<AudioType> AudioTypeOf(const std::string& path);

// The most samples a file of the type holds: a WAV file counts its bytes in 32 bits.
uint64_t MostSamples(AudioType type);

class AudioWriter {
public:
    // Writes into the open descriptor fd, which stays the caller's. Null, with
    // libsndfile's reason, when the type cannot be written at that rate.
    static std::unique_ptr<AudioWriter> Open(int fd, AudioType type, uint32_t rate,
                                             std::string& reason);
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    // Samples at 44100 Hz; false, with the reason, when they cannot be written.
    bool Write(const int16_t* samples, size_t count, std::string& reason);
    // Flushes the resampler and completes the file's headers.
    bool Finish(std::string& reason);

private:
    struct State;
    explicit AudioWriter(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace render
