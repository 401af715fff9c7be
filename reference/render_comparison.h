#pragma once
// Plays randomised runs through the production renderer and the literal one side by side
// and tallies how far they part: the samples, and every observable around them.
#include <cstdint>

#include "synth/block_renderer.h"

namespace synth {

struct ComparisonReport {
    int64_t samples = 0;
    int64_t identical = 0;     // samples equal to the literal renderer's
    int64_t clipped = 0;       // samples the literal renderer clipped
    int maxDifference = 0;     // largest sample difference, in 16-bit steps
    int64_t blocks = 0;
    int64_t observableMismatches = 0;  // blocks whose Freq, ClipFlag, SampleCounter or voices differ
    double maxPeakDifference = 0.0;    // largest PeakSample difference
    void Add(const ComparisonReport& other);
};

struct ComparisonRuns {
    uint64_t seed;
    int runs;           // each a fresh voice set and weights
    int blocksPerRun;   // rendered and decayed one after the other
    int32_t maxCounter; // no block's time base goes past this
};

// Each run picks 1 to 256 voices with levels from 1 to 30000, random weights (some 0),
// held and releasing voices, and a starting SampleCounter up to maxCounter; notes are
// struck and released between blocks.
ComparisonReport CompareWithLiteral(RenderPath path, const ComparisonRuns& runs);

}  // namespace synth
