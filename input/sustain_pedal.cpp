#include "input/sustain_pedal.h"

namespace input {

bool SustainPedal::Hold(int32_t note) {
    if (down_) held_.set(static_cast<size_t>(note & 0xFF));
    return down_;
}

void SustainPedal::Struck(int32_t note) { held_.reset(static_cast<size_t>(note & 0xFF)); }

}  // namespace input
