#pragma once
// Packed MIDI messages on their way from the MIDI thread to the UI thread: a fixed ring
// with one writer and one reader, lock-free, and allocated only when it is made.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::desktop {

class MidiRing {
public:
    // capacity is rounded up to a power of two.
    explicit MidiRing(size_t capacity);

    // The writer: false, and nothing stored, when the ring is full.
    bool Push(uint32_t message);
    // The reader: false when the ring is empty.
    bool Pop(uint32_t& message);

private:
    std::vector<uint32_t> slots_;
    size_t mask_;
    std::atomic<size_t> read_{0};   // advanced by the reader only
    std::atomic<size_t> write_{0};  // advanced by the writer only
};

}  // namespace platform::desktop
