#pragma once
// The samples of the written blocks on their way from the UI thread to the audio thread:
// a single-producer, single-consumer ring that neither side ever waits on. Positions
// count every sample since the stream began, so the UI thread can tell from the read
// position how far the device has come.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace platform::desktop {

class SampleFifo {
public:
    static constexpr size_t Capacity = size_t{1} << 16;  // 1.5 s at 44100 Hz

    // UI thread: room for this many more samples.
    size_t Space() const;
    // UI thread: appends count 16-bit little-endian samples; count is at most Space().
    void Write(const uint8_t* bytes, size_t count);
    // Audio thread: fills out with the next count samples, scaled to [-1, 1), and with
    // silence past the last written one. Returns how many samples were taken.
    size_t Read(float* out, size_t count);
    // Any thread: samples taken by the audio thread so far.
    uint64_t ReadPosition() const { return read_.load(std::memory_order_acquire); }

private:
    std::array<int16_t, Capacity> samples_{};
    alignas(64) std::atomic<uint64_t> written_{0};
    alignas(64) std::atomic<uint64_t> read_{0};
};

}  // namespace platform::desktop
