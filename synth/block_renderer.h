#pragma once
// Turns the voice table into one block of 16-bit samples, and decays the voices after it.
#include <cstdint>

#include "synth/engine.h"

namespace synth {

constexpr double ClipLimit = 32767.0;

// Sums every active voice for SamplesPerBlock samples at the shared time base
// (SampleCounter), clips each sum to +-ClipLimit (latching ClipFlag), raises PeakSample
// and truncates into out. Returns the frequency of the highest-numbered active voice,
// or 0.0 when none is active. Uses the fastest path the processor supports.
double RenderSamples(Engine& engine, uint32_t sampleRate, int16_t* out);

// The instruction sets the renderer is built for: Sse2 runs on every x86-64 processor,
// Avx2Fma on those with AVX2 and FMA.
enum class RenderPath { Sse2, Avx2Fma };

bool RenderPathSupported(RenderPath path);

// RenderSamples on a chosen path, which the processor must support.
double RenderSamplesOn(RenderPath path, Engine& engine, uint32_t sampleRate, int16_t* out);

// Once per block: every positive level falls by its release step, and a slot whose
// level is no longer above 0 is cleared. When the levels before the pass sum to less
// than 1 in magnitude, the time base returns to 0 so the next note starts at phase 0.
void DecayVoices(Engine& engine);

// The time base's phase argument for sample counter n: (2n) * 3.1415926 / sampleRate,
// with 2n formed in 32-bit arithmetic as the time base has always done.
double SamplePhase(int32_t n, uint32_t sampleRate);

// The counter after n; wraps instead of overflowing.
int32_t NextSampleCounter(int32_t n);

// Clips one summed sample, latching clipFlag when it had to.
double ClipSample(double s, uint8_t& clipFlag);

}  // namespace synth
