#pragma once
// A MIDI message played as the program's MIDI input plays it: on every channel, a Note
// On strikes its note at Amplitude × velocity / 127, or releases it at velocity 0, and
// a Note Off releases it; any other message plays nothing.
#include <cstdint>

#include "synth/engine.h"

namespace plugin {

void PlayMidiMessage(synth::Engine& engine, const uint8_t* bytes, uint32_t size, int32_t amplitude);

}  // namespace plugin
