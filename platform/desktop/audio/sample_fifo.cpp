#include "platform/desktop/audio/sample_fifo.h"

#include <algorithm>

namespace platform::desktop {

size_t SampleFifo::Space() const {
    return Capacity - static_cast<size_t>(written_.load(std::memory_order_relaxed) -
                                          read_.load(std::memory_order_acquire));
}

void SampleFifo::Write(const uint8_t* bytes, size_t count) {
    const uint64_t at = written_.load(std::memory_order_relaxed);
    for (size_t i = 0; i < count; ++i) {
        samples_[(at + i) % Capacity] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    // Release: the samples are in place before the audio thread may see them.
    written_.store(at + count, std::memory_order_release);
}

bool SampleFifo::WriteRendered(size_t count, BlockRenderer& renderer) {
    const uint64_t block = renderedWritten_.load(std::memory_order_relaxed);
    if (block - renderedDone_.load(std::memory_order_acquire) == RenderedCapacity) return false;
    const uint64_t at = written_.load(std::memory_order_relaxed);
    rendered_[block % RenderedCapacity] = {at, count, &renderer};
    // Release, each: the block's place is known before the audio thread may read there.
    renderedWritten_.store(block + 1, std::memory_order_release);
    written_.store(at + count, std::memory_order_release);
    return true;
}

namespace {

constexpr float Scale = 1.0f / 32768.0f;

}  // namespace

size_t SampleFifo::Read(float* out, size_t count) {
    size_t done = TakeFilledIn(out, 0, count);
    const uint64_t at = read_.load(std::memory_order_relaxed);
    const size_t taken = std::min<size_t>(count - done, written_.load(std::memory_order_acquire) - at);
    RenderUpTo(at + taken);
    for (size_t i = 0; i < taken; ++i) out[done + i] = samples_[(at + i) % Capacity] * Scale;
    done += taken;
    // Release: the UI thread may overwrite these slots only once they have been read.
    read_.store(at + taken, std::memory_order_release);
    while (done < count && lastRendered_.renderer && lastRendered_.count > 0) {
        lastRendered_.renderer->RenderBlock(filledIn_.data(), lastRendered_.count);
        filledInNext_ = 0;
        filledInEnd_ = lastRendered_.count;
        done = TakeFilledIn(out, done, count);
    }
    std::fill(out + done, out + count, 0.0f);
    return taken;
}

size_t SampleFifo::TakeFilledIn(float* out, size_t done, size_t count) {
    for (; done < count && filledInNext_ < filledInEnd_; ++done) out[done] = filledIn_[filledInNext_++] * Scale;
    return done;
}

void SampleFifo::RenderUpTo(uint64_t end) {
    uint64_t block = renderedDone_.load(std::memory_order_relaxed);
    const uint64_t placed = renderedWritten_.load(std::memory_order_acquire);
    for (; block != placed && rendered_[block % RenderedCapacity].begin < end; ++block) {
        const RenderedBlock& place = rendered_[block % RenderedCapacity];
        place.renderer->RenderBlock(scratch_.data(), place.count);
        for (size_t i = 0; i < place.count; ++i) samples_[(place.begin + i) % Capacity] = scratch_[i];
        lastRendered_ = place;
    }
    // Release: the UI thread may reuse these entries only once they are rendered.
    renderedDone_.store(block, std::memory_order_release);
}

}  // namespace platform::desktop
