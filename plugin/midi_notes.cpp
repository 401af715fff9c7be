#include "plugin/midi_notes.h"

#include "synth/note_control.h"

namespace plugin {

namespace {

constexpr uint8_t NoteOff = 0x80;
constexpr uint8_t NoteOn = 0x90;
constexpr uint8_t KindMask = 0xF0;

}  // namespace

void PlayMidiMessage(synth::Engine& engine, const uint8_t* bytes, uint32_t size, int32_t amplitude) {
    if (size < 3) return;
    const uint8_t kind = bytes[0] & KindMask;
    if (kind != NoteOn && kind != NoteOff) return;
    synth::Voice& voice = engine.VoiceTable[bytes[1]];
    const uint8_t velocity = kind == NoteOn ? bytes[2] : 0;
    if (velocity != 0)
        synth::StrikeVoice(voice, amplitude, velocity);
    else
        synth::ReleaseVoice(voice, engine.NoteOffRelease);
}

}  // namespace plugin
