#include "input/controlled_sliders.h"

#include <algorithm>

#include "platform/profile_file.h"

namespace input {
namespace {

constexpr int32_t HighestValue = 127;
constexpr int32_t LongestPosition = 100;

}  // namespace

const ControlledSlider* FindControlledSlider(int id) {
    for (const ControlledSlider& slider : ControlledSliders)
        if (slider.id == id) return &slider;
    return nullptr;
}

const ControlledSlider* FindControlledSlider(std::string_view label) {
    for (const ControlledSlider& slider : ControlledSliders)
        if (platform::ProfileNamesMatch(slider.label, label)) return &slider;
    return nullptr;
}

int SliderPositionFor(int32_t value, const ControlledSlider& slider) {
    const int32_t v = std::clamp(value, int32_t{0}, HighestValue);
    const int32_t along = slider.weight ? HighestValue - v : v;
    return (along * LongestPosition + HighestValue / 2) / HighestValue;
}

}  // namespace input
