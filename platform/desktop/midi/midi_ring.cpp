#include "platform/desktop/midi/midi_ring.h"

#include <bit>

namespace platform::desktop {

MidiRing::MidiRing(size_t capacity) : slots_(std::bit_ceil(capacity)), mask_(slots_.size() - 1) {}

bool MidiRing::Push(uint32_t message) {
    const size_t write = write_.load(std::memory_order_relaxed);
    if (write - read_.load(std::memory_order_acquire) == slots_.size()) return false;
    slots_[write & mask_] = message;
    write_.store(write + 1, std::memory_order_release);
    return true;
}

bool MidiRing::Pop(uint32_t& message) {
    const size_t read = read_.load(std::memory_order_relaxed);
    if (read == write_.load(std::memory_order_acquire)) return false;
    message = slots_[read & mask_];
    read_.store(read + 1, std::memory_order_release);
    return true;
}

}  // namespace platform::desktop
