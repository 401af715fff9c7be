#pragma once
// The twelve sliders, each with its settings key. The weight sliders stand in the order
// of the harmonic weights they set: fundamental, harmonics 2..6, sub-harmonics 1/2..1/6.
// Harmonics 5 and 6 share the keys of 3 and 4, and sub-harmonics 1/5 and 1/6 those of
// 1/3 and 1/4: the file has always been written that way.
#include "res/control_ids.h"
#include "synth/engine.h"

namespace app {

struct SliderKey {
    int id;
    const char* key;
};

constexpr SliderKey WeightSliders[synth::PartialCount] = {
    {res::IDC_SLIDER_BASE, "sl1"}, {res::IDC_SLIDER_2, "sl2"},   {res::IDC_SLIDER_3, "sl3"},
    {res::IDC_SLIDER_4, "sl4"},    {res::IDC_SLIDER_5, "sl3"},   {res::IDC_SLIDER_6, "sl4"},
    {res::IDC_SLIDER_M2, "slm2"},  {res::IDC_SLIDER_M3, "slm3"}, {res::IDC_SLIDER_M4, "slm4"},
    {res::IDC_SLIDER_M5, "slm3"},  {res::IDC_SLIDER_M6, "slm4"},
};

constexpr SliderKey ReleaseSlider = {res::IDC_SLIDER_RELEASE, "sldecrement"};

constexpr int SliderMinimum = 0;
constexpr int SliderMaximum = 100;  // a weight is 100 minus its slider's position

}  // namespace app
