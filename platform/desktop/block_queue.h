#pragma once
// The blocks written to one wave output, between the UI thread and the audio thread.
// The UI thread adds blocks and takes back the played ones; the audio thread copies
// samples out of the oldest block. Both sides hold the lock only for a few copies, and
// nothing is allocated after construction.
#include <cstddef>
#include <mutex>
#include <vector>

#include "platform/wave_out.h"

namespace platform::desktop {

class BlockQueue {
public:
    explicit BlockQueue(size_t capacity);

    // UI thread: queues a block of 16-bit little-endian mono samples behind the others.
    // False when the queue is full.
    bool Push(WaveHeader* header);
    // Audio thread: fills out with the next count samples, scaled to [-1, 1), and with
    // silence past the last queued one. True when at least one block was used up.
    bool Fill(float* out, size_t count);
    // UI thread: the oldest used-up block, or null.
    WaveHeader* PopPlayed();
    // UI thread: every queued block counts as played, for a stream that has ended.
    void RetireAll();
    // Blocks queued or played and not yet taken back.
    size_t Outstanding() const;

private:
    // A fixed ring of block pointers.
    class Ring {
    public:
        explicit Ring(size_t capacity) : slots_(capacity) {}
        size_t Size() const { return size_; }
        WaveHeader* Front() const { return slots_[head_]; }
        void PushBack(WaveHeader* header);
        WaveHeader* PopFront();

    private:
        std::vector<WaveHeader*> slots_;
        size_t head_ = 0;
        size_t size_ = 0;
    };

    size_t capacity_;
    mutable std::mutex mutex_;
    Ring queued_;
    Ring played_;
    size_t consumedSamples_ = 0;  // of the oldest queued block
};

}  // namespace platform::desktop
