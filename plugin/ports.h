#pragma once
// The plugin's ports, in the order of its description (kelvarin.ttl.in): MIDI in, the
// sound out, the window's controls, and the latency it reports.
#include <cstdint>

#include "synth/engine.h"

namespace plugin {

enum Port : uint32_t {
    MidiIn = 0,
    AudioOut = 1,
    FirstWeight = 2,  // eleven weight ports
    Release = FirstWeight + synth::PartialCount,
    Amplitude,
    Latency,
    PortCount,
};

// The partial each weight port sets, in the window's order of its sliders from left to
// right: the sub-harmonics 1/6 up to 1/2, the fundamental, the harmonics 2 up to 6.
constexpr int WeightPortPartial[synth::PartialCount] = {10, 9, 8, 7, 6, 0, 1, 2, 3, 4, 5};

// A control's range and its value when the host gives none that is a number. The
// window's defaults: the fundamental alone at full weight, the release slider at 10,
// and an Amplitude of 4000.
struct ControlRange {
    int minimum;
    int maximum;
    int fallback;
};
constexpr ControlRange WeightRange = {0, 100, 0};
constexpr ControlRange FundamentalRange = {0, 100, 100};
constexpr ControlRange ReleaseRange = {0, 100, 10};
constexpr ControlRange AmplitudeRange = {0, 32767, 4000};

}  // namespace plugin
