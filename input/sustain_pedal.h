#pragma once
// The sustain pedal: while it is down, a released note keeps sounding until the pedal
// lifts; a note struck again meanwhile is the player's own again until its release.
#include <bitset>
#include <cstdint>

namespace input {

class SustainPedal {
public:
    bool Down() const { return down_; }
    void Press() { down_ = true; }
    // True when the pedal is down and now holds the note (0 to 255), which is then not
    // to be released yet.
    bool Hold(int32_t note);
    void Struck(int32_t note);
    // The pedal goes up: calls release(note) for every note it held, in ascending
    // order, once it no longer holds them.
    template <typename Release>
    void Lift(Release&& release) {
        down_ = false;
        const Notes held = held_;
        held_.reset();
        for (int32_t note = 0; note < static_cast<int32_t>(held.size()); ++note)
            if (held.test(static_cast<size_t>(note))) release(note);
    }

private:
    using Notes = std::bitset<256>;
    bool down_ = false;
    Notes held_;
};

}  // namespace input
