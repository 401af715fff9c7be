#pragma once
// The host's control values handed to the engine, as the refresh tick hands the window's:
// each clamped to its range and rounded to a whole number, as the window's sliders and
// field hold them, and a value that is no number taken as the control's fallback.
#include "plugin/ports.h"
#include "synth/engine.h"

namespace plugin {

// The eleven weights (in the order of the ports, WeightPortPartial's) and the release
// slider's position into the engine. Returns the Amplitude, which strikes take.
int32_t ApplyControls(synth::Engine& engine, const float (&weights)[synth::PartialCount],
                      float release, float amplitude);

}  // namespace plugin
