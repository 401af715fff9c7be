#pragma once
// The tone that "Kelvarin.ini" gives: the twelve slider positions as a start loads them,
// and the engine's weights and release step as the refresh tick makes them from the
// positions. The dialog and the command-line renderer both take their tone from here.
#include <array>
#include <cstdint>

#include "app/settings_file.h"
#include "app/slider_keys.h"
#include "synth/engine.h"

namespace app {

struct SliderPositions {
    std::array<int, synth::PartialCount> weights;  // in the order of WeightSliders
    int release;
};

// Without a settings file a first run sounds a pure sine at the fundamental.
SliderPositions FirstRunPositions();

// The positions a start loads: the first-run ones when the file cannot be opened,
// else each key's value as a weight, a stored value beyond 0..100 putting its slider
// at the nearer end.
SliderPositions ReadSliderPositions(SettingsFile& settings);

// A slider at the top (position 0) is full weight.
constexpr int32_t WeightAt(int position) { return SliderMaximum - position; }
// Further right is a larger step, so a shorter fade.
constexpr int32_t NoteOffReleaseAt(int position) { return 2 * position + 1; }

struct Tone {
    std::array<int32_t, synth::PartialCount> HarmonicWeights;
    int32_t NoteOffRelease;
};

Tone ToneAt(const SliderPositions& positions);

}  // namespace app
