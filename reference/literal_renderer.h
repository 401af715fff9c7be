#pragma once
// The block renderer written out exactly as the tone is defined: for every sample, every
// active voice's pitch and all its partials' sines, summed voice by voice in ascending
// order. Far too slow to play full polyphony; kept as the reference that the production
// renderer (block_renderer.h) is measured against.
#include <cstdint>

#include "synth/engine.h"

namespace synth {

// Same contract as RenderSamples: fills out with SamplesPerBlock samples, advances
// SampleCounter, raises PeakSample, latches ClipFlag, and returns the frequency of the
// highest-numbered active voice (0.0 when none is active).
double RenderSamplesLiteral(Engine& engine, uint32_t sampleRate, int16_t* out);

}  // namespace synth
