#pragma once
// Which notes each computer key struck since it went down. A key whose key-up never
// comes (it went to another window) can then still have its notes released, and they
// are the notes it struck even if the base note moved meanwhile.
#include <array>
#include <bitset>
#include <cstdint>

namespace input {

class HeldKeys {
public:
    // Keys from 256 up hold nothing: no mapped key has such a code.
    void Struck(uint32_t virtualKey, int32_t note);
    // The key went up: it holds nothing any more.
    void Lifted(uint32_t virtualKey);
    // Calls release(note) once for every note that one key, or every key, still holds,
    // in ascending order, and forgets them.
    template <typename Release>
    void ReleaseKey(uint32_t virtualKey, Release&& release) {
        ReleaseNotes(Take(virtualKey), release);
    }
    template <typename Release>
    void ReleaseAll(Release&& release) {
        Notes all;
        for (uint32_t key = 0; key < KeyCount; ++key) all |= Take(key);
        ReleaseNotes(all, release);
    }

private:
    static constexpr uint32_t KeyCount = 256;
    using Notes = std::bitset<256>;

    Notes Take(uint32_t virtualKey);
    template <typename Release>
    static void ReleaseNotes(const Notes& notes, Release& release) {
        for (int32_t note = 0; note < static_cast<int32_t>(notes.size()); ++note)
            if (notes.test(note)) release(note);
    }

    std::array<Notes, KeyCount> notes_{};
};

}  // namespace input
