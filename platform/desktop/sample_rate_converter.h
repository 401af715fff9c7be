#pragma once
// Plays the queued blocks on a device that runs at another rate than the blocks were
// written at, such as a JACK server at 48000 Hz. Runs on the audio thread and
// allocates nothing after construction.
#include <array>
#include <cstddef>

struct SRC_STATE_tag;

namespace platform::desktop {

class BlockQueue;

class SampleRateConverter {
public:
    SampleRateConverter(unsigned blockRate, unsigned deviceRate, BlockQueue& blocks);
    ~SampleRateConverter();
    SampleRateConverter(const SampleRateConverter&) = delete;
    SampleRateConverter& operator=(const SampleRateConverter&) = delete;

    // False when the converter could not be set up.
    bool Valid() const { return state_ != nullptr; }
    // Fills out with count samples at the device rate. True when at least one block
    // was used up.
    bool Read(float* out, size_t count);

private:
    static long Supply(void* self, float** data);

    static constexpr size_t InputChunk = 128;
    double ratio_;  // device rate over block rate
    BlockQueue& blocks_;
    SRC_STATE_tag* state_;
    std::array<float, InputChunk> input_{};
    bool usedUp_ = false;
};

}  // namespace platform::desktop
