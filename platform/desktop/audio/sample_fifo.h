#pragma once
// The samples of the written blocks on their way from the UI thread to the audio thread:
// a single-producer, single-consumer ring that neither side ever waits on. Positions
// count every sample since the stream began, so the UI thread can tell from the read
// position how far the device has come. A rendered block holds its place in the ring
// with no samples yet: the audio thread has its renderer fill it just before it reads
// that far. Once one has played, the sound no longer waits for the UI thread: when the
// device asks for more than is written, the renderer fills in with blocks of its own.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/wave_out.h"

namespace platform::desktop {

class SampleFifo {
public:
    static constexpr size_t Capacity = size_t{1} << 16;  // 1.5 s at 44100 Hz
    static constexpr size_t RenderedCapacity = 1024;      // rendered blocks in the ring at once

    // UI thread: room for this many more samples.
    size_t Space() const;
    // UI thread: appends count 16-bit little-endian samples; count is at most Space().
    void Write(const uint8_t* bytes, size_t count);
    // UI thread: appends the place of a block of count samples, at most Space() and
    // MaxRenderedSamples, that renderer fills. False, and nothing appended, when the
    // ring holds as many rendered blocks as it can.
    bool WriteRendered(size_t count, BlockRenderer& renderer);
    // Audio thread: fills out with the next count samples, scaled to [-1, 1). Past the
    // last written one come the rest of a block filled in before, then blocks filled in
    // now, or silence until a rendered block has played. Returns how many written
    // samples were taken; filled-in ones hold no place in the ring.
    size_t Read(float* out, size_t count);
    // Any thread: samples taken by the audio thread so far.
    uint64_t ReadPosition() const { return read_.load(std::memory_order_acquire); }

private:
    struct RenderedBlock {
        uint64_t begin;
        size_t count;
        BlockRenderer* renderer;
    };

    // Audio thread: renders every rendered block that begins before end.
    void RenderUpTo(uint64_t end);
    // Audio thread: copies filled-in samples to out from done on; returns the new done.
    size_t TakeFilledIn(float* out, size_t done, size_t count);

    std::array<int16_t, Capacity> samples_{};
    std::array<RenderedBlock, RenderedCapacity> rendered_{};
    // The audio thread's own: a block rendered for its place, and the last filled in.
    std::array<int16_t, MaxRenderedSamples> scratch_{};
    std::array<int16_t, MaxRenderedSamples> filledIn_{};
    size_t filledInNext_ = 0;
    size_t filledInEnd_ = 0;
    RenderedBlock lastRendered_{0, 0, nullptr};  // its renderer fills in, blocks as long
    alignas(64) std::atomic<uint64_t> written_{0};
    alignas(64) std::atomic<uint64_t> read_{0};
    alignas(64) std::atomic<uint64_t> renderedWritten_{0};  // blocks placed by the UI thread
    alignas(64) std::atomic<uint64_t> renderedDone_{0};     // blocks filled by the audio thread
};

}  // namespace platform::desktop
