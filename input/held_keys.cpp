#include "input/held_keys.h"

namespace input {

void HeldKeys::Struck(uint32_t virtualKey, int32_t note) {
    if (virtualKey < KeyCount) notes_[virtualKey].set(static_cast<size_t>(note & 0xFF));
}

void HeldKeys::Lifted(uint32_t virtualKey) { Take(virtualKey); }

HeldKeys::Notes HeldKeys::Take(uint32_t virtualKey) {
    if (virtualKey >= KeyCount) return {};
    const Notes taken = notes_[virtualKey];
    notes_[virtualKey].reset();
    return taken;
}

}  // namespace input
