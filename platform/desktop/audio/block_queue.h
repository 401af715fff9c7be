#pragma once
// The blocks written to one wave output and not yet given back, in order. UI thread
// only: the audio thread never sees a block, only its samples, which are copied into
// the stream's SampleFifo as room allows, or, for a rendered block, its place, which
// goes in whole. A block is done once all its samples are in the FIFO and the device's
// position, plus any lead, has passed its last one.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/wave_out.h"

namespace platform::desktop {

class SampleFifo;

class BlockQueue {
public:
    explicit BlockQueue(size_t capacity);

    // Queues a block of 16-bit little-endian mono samples behind the others, or with a
    // renderer a block of bufferLength / 2 samples that it fills. False when the queue
    // is full.
    bool Push(WaveHeader* header, BlockRenderer* renderer = nullptr);
    // Copies as much of the queued samples into fifo as it has room for.
    void Feed(SampleFifo& fifo);
    // The oldest block if it is done by position, else null.
    WaveHeader* PopDone(uint64_t position);
    // The oldest block whatever its state, else null: for a stream that has ended.
    WaveHeader* PopAny();
    // Blocks queued and not yet given back.
    size_t Outstanding() const { return size_; }

private:
    struct Entry {
        WaveHeader* header;
        uint64_t end;  // the position just past its last sample
        BlockRenderer* renderer;  // null for a block of samples
    };

    Entry& At(size_t index) { return entries_[(head_ + index) % entries_.size()]; }

    std::vector<Entry> entries_;
    size_t head_ = 0;
    size_t size_ = 0;
    uint64_t queuedEnd_ = 0;  // the position just past the last queued sample
    size_t feeding_ = 0;      // index of the first block not wholly in the FIFO
    uint64_t fed_ = 0;        // the position just past the last sample in the FIFO
};

}  // namespace platform::desktop
