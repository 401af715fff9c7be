#pragma once
// The computer keyboard as a 37-key note keyboard: entry i plays the base note + i.
#include <cstdint>
#include <span>

namespace input {

constexpr int32_t InitialKeyboardBaseNote = 59;
constexpr int32_t LowestBaseNote = 0;
constexpr int32_t HighestBaseNote = 127;

// Virtual-key codes in the low byte; the table ends at the first entry whose code byte is 0.
extern const uint32_t KeyMap[];

// Calls play(note) for every map entry whose code byte equals virtualKey, in map order;
// the note is (base + offset) mod 256.
template <typename Play>
void ForEachMappedNote(uint32_t virtualKey, int32_t baseNote, Play&& play) {
    for (int offset = 0; (KeyMap[offset] & 0xFF) != 0; ++offset)
        if ((KeyMap[offset] & 0xFF) == virtualKey) play((baseNote + offset) & 0xFF);
}

}  // namespace input
