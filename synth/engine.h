#pragma once
// The engine's shared state: plain data that the note sources, the renderer,
// the refresh tick and the keyboard view all read and write directly.
#include <array>
#include <cstdint>

#include "synth/voice_table.h"

namespace synth {

constexpr int PartialCount = 11;       // fundamental, harmonics 2..6, sub-harmonics 1/2..1/6
constexpr int SamplesPerBlock = 100;   // one output block
constexpr int InitialNoteOffRelease = 5;

struct Engine {
    VoiceArray VoiceTable{};
    std::array<int32_t, PartialCount> HarmonicWeights{};  // 0..100, set by the refresh tick
    int32_t SampleCounter = 0;   // shared time base of every voice
    double PeakSample = 0.0;     // largest signed sample of the latest block
    uint8_t ClipFlag = 0;        // latched when a sample had to be clipped
    int32_t NoteOffRelease = InitialNoteOffRelease;
    int32_t AmplitudeSetting = 0;
};

}  // namespace synth
