#pragma once
// The twelve sliders a MIDI controller can move, each named by the label it carries in
// the window ("release" for the release slider, which has none), and where a
// controller's value puts each one's thumb.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "res/control_ids.h"

namespace input {

struct ControlledSlider {
    std::string_view label;
    int id;
    bool weight;  // a weight slider stands upside down: its top is full weight
};

inline constexpr std::array<ControlledSlider, 12> ControlledSliders = {{
    {"base", res::IDC_SLIDER_BASE, true}, {"2", res::IDC_SLIDER_2, true},
    {"3", res::IDC_SLIDER_3, true},       {"4", res::IDC_SLIDER_4, true},
    {"5", res::IDC_SLIDER_5, true},       {"6", res::IDC_SLIDER_6, true},
    {"-2", res::IDC_SLIDER_M2, true},     {"-3", res::IDC_SLIDER_M3, true},
    {"-4", res::IDC_SLIDER_M4, true},     {"-5", res::IDC_SLIDER_M5, true},
    {"-6", res::IDC_SLIDER_M6, true},     {"release", res::IDC_SLIDER_RELEASE, false},
}};

// Nothing for a control that is none of the twelve.
const ControlledSlider* FindControlledSlider(int id);
// Labels match without regard to letter case, as the settings file's keys do.
const ControlledSlider* FindControlledSlider(std::string_view label);

// The slider position (0 to 100) for a controller value: 0 to 127 spread over the
// slider's range to the nearest position, so 127 is a weight slider's top (full
// weight) and the release slider's right end. Values beyond 127 count as 127.
int SliderPositionFor(int32_t value, const ControlledSlider& slider);

}  // namespace input
