#include "plugin/midi_notes.h"

#include "input/midi_log.h"
#include "synth/note_control.h"

namespace plugin {

void PlayMidiMessage(synth::Engine& engine, const uint8_t* bytes, uint32_t size, int32_t amplitude) {
    if (size < 3) return;
    const uint8_t kind = bytes[0] & 0xF0;  // the channel is not looked at
    if (kind != input::NoteOnKind && kind != input::NoteOffKind) return;
    synth::Voice& voice = engine.VoiceTable[bytes[1]];
    const uint8_t velocity = kind == input::NoteOnKind ? bytes[2] : 0;
    if (velocity != 0)
        synth::StrikeVoice(voice, amplitude, velocity);
    else
        synth::ReleaseVoice(voice, engine.NoteOffRelease);
}

}  // namespace plugin
