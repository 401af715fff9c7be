#pragma once
// Striking and releasing a voice, as every note source does: the program's keys and
// MIDI input, its replay, the command-line renderer and the plugin.
#include <cstdint>

#include "synth/voice_table.h"

namespace synth {

// Sounds the voice at amplitude × velocity / 127 and holds it. The product is formed
// in 64 bits, so huge amplitudes stay exact.
inline void StrikeVoice(Voice& voice, int64_t amplitude, int32_t velocity) {
    voice.active = 1;
    voice.level = static_cast<double>(amplitude * velocity) * (1.0 / 127.0);
    voice.releaseStep = 0.0;
}

// Lets the voice fade by noteOffRelease after every block.
inline void ReleaseVoice(Voice& voice, int32_t noteOffRelease) {
    voice.releaseStep = static_cast<double>(noteOffRelease);
}

// Silences every voice at once; the next block's decay pass clears the release steps.
inline void SilenceVoices(VoiceArray& voices) {
    for (Voice& voice : voices) {
        voice.active = 0;
        voice.level = 0.0;
    }
}

}  // namespace synth
