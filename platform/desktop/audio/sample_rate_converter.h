#pragma once
// Plays the written samples on a device that runs at another rate than the blocks were
// written at, such as a JACK server at 48000 Hz. Runs on the audio thread and
// allocates nothing after construction.
#include <array>
#include <cstddef>

struct SRC_STATE_tag;

namespace platform::desktop {

class SampleFifo;

class SampleRateConverter {
public:
    SampleRateConverter(unsigned blockRate, unsigned deviceRate, SampleFifo& samples);
    ~SampleRateConverter();
    SampleRateConverter(const SampleRateConverter&) = delete;
    SampleRateConverter& operator=(const SampleRateConverter&) = delete;

    // False when the converter could not be set up.
    bool Valid() const { return state_ != nullptr; }
    // Fills out with count samples at the device rate. Returns how many written
    // samples it took from the FIFO.
    size_t Read(float* out, size_t count);

private:
    static long Supply(void* self, float** data);

    static constexpr size_t InputChunk = 128;
    double ratio_;  // device rate over block rate
    SampleFifo& samples_;
    SRC_STATE_tag* state_;
    std::array<float, InputChunk> input_{};
    size_t taken_ = 0;
};

}  // namespace platform::desktop
