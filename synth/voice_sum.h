#pragma once
// The production renderer's summing kernel, one entry per instruction set. Each fills
// sums[j] with the sum of every planned voice at sample j of the block.
#include "synth/block_plan.h"

namespace synth {

// Runs on every x86-64 processor.
void SumVoicesSse2(const BlockPlan& plan, double* sums);

// Needs a processor with AVX2 and FMA.
void SumVoicesAvx2Fma(const BlockPlan& plan, double* sums);

}  // namespace synth
