#pragma once
// The synthesizer's whole note state: one fixed slot per note number.
#include <array>
#include <cstdint>

namespace synth {

struct Voice {
    int32_t active;      // non-zero while the voice sounds; only 0 or 1 is written
    double releaseStep;  // subtracted from level after each block; 0 while held
    double level;        // amplitude in 16-bit sample units
};

constexpr int VoiceCount = 256;
using VoiceArray = std::array<Voice, VoiceCount>;

}  // namespace synth
