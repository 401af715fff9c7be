#include "platform/desktop/block_queue.h"

#include <algorithm>

namespace platform::desktop {

void BlockQueue::Ring::PushBack(WaveHeader* header) {
    slots_[(head_ + size_) % slots_.size()] = header;
    ++size_;
}

WaveHeader* BlockQueue::Ring::PopFront() {
    WaveHeader* header = slots_[head_];
    head_ = (head_ + 1) % slots_.size();
    --size_;
    return header;
}

BlockQueue::BlockQueue(size_t capacity) : capacity_(capacity), queued_(capacity), played_(capacity) {}

bool BlockQueue::Push(WaveHeader* header) {
    std::lock_guard lock(mutex_);
    // Every played block was queued first, so neither ring can overflow.
    if (queued_.Size() + played_.Size() >= capacity_) return false;
    queued_.PushBack(header);
    return true;
}

bool BlockQueue::Fill(float* out, size_t count) {
    constexpr float Scale = 1.0f / 32768.0f;
    bool usedUp = false;
    size_t filled = 0;
    std::lock_guard lock(mutex_);
    while (queued_.Size() > 0) {
        const WaveHeader* header = queued_.Front();
        const size_t samples = header->bufferLength / 2;
        const size_t take = std::min(count - filled, samples - consumedSamples_);
        const uint8_t* bytes = header->data + 2 * consumedSamples_;
        for (size_t i = 0; i < take; ++i) {
            const auto sample = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
            out[filled + i] = sample * Scale;
        }
        filled += take;
        consumedSamples_ += take;
        if (consumedSamples_ < samples) break;  // out is full
        played_.PushBack(queued_.PopFront());
        consumedSamples_ = 0;
        usedUp = true;
    }
    std::fill(out + filled, out + count, 0.0f);
    return usedUp;
}

WaveHeader* BlockQueue::PopPlayed() {
    std::lock_guard lock(mutex_);
    return played_.Size() > 0 ? played_.PopFront() : nullptr;
}

void BlockQueue::RetireAll() {
    std::lock_guard lock(mutex_);
    while (queued_.Size() > 0) played_.PushBack(queued_.PopFront());
    consumedSamples_ = 0;
}

size_t BlockQueue::Outstanding() const {
    std::lock_guard lock(mutex_);
    return queued_.Size() + played_.Size();
}

}  // namespace platform::desktop
