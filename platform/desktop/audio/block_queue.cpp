#include "platform/desktop/audio/block_queue.h"

#include <algorithm>

#include "platform/desktop/audio/sample_fifo.h"

namespace platform::desktop {

BlockQueue::BlockQueue(size_t capacity) : entries_(capacity) {}

bool BlockQueue::Push(WaveHeader* header, BlockRenderer* renderer) {
    if (size_ == entries_.size()) return false;
    queuedEnd_ += header->bufferLength / 2;
    At(size_) = {header, queuedEnd_, renderer};
    ++size_;
    return true;
}

void BlockQueue::Feed(SampleFifo& fifo) {
    while (feeding_ < size_) {
        const Entry& entry = At(feeding_);
        const uint64_t begin = entry.end - entry.header->bufferLength / 2;
        if (entry.renderer) {
            if (fifo.Space() < entry.end - begin || !fifo.WriteRendered(entry.end - begin, *entry.renderer))
                return;
            fed_ = entry.end;
            ++feeding_;
            continue;
        }
        const size_t count = std::min<uint64_t>(entry.end - fed_, fifo.Space());
        fifo.Write(entry.header->data + 2 * (fed_ - begin), count);
        fed_ += count;
        if (fed_ < entry.end) return;  // the FIFO is full
        ++feeding_;
    }
}

WaveHeader* BlockQueue::PopDone(uint64_t position) {
    if (feeding_ == 0 || At(0).end > position) return nullptr;
    return PopAny();
}

WaveHeader* BlockQueue::PopAny() {
    if (size_ == 0) return nullptr;
    WaveHeader* header = At(0).header;
    head_ = (head_ + 1) % entries_.size();
    --size_;
    feeding_ = feeding_ > 0 ? feeding_ - 1 : 0;
    return header;
}

}  // namespace platform::desktop
