// Played notes, which are recorded while recording is on, and "Reset Sound".
#include "app/ascii_to_int.h"
#include "app/main_dialog.h"
#include "synth/note_control.h"

namespace app {

void MainDialog::NoteEvent(int32_t note, int32_t velocity) {
    if (waveOut == nullptr) return;  // nothing plays, draws or records while the output is closed
    synth::Voice& voice = engine_.VoiceTable[note & 0xFF];
    const int32_t v = velocity & 0xFF;
    if (v != 0) {
        pedal_.Struck(note);
        synth::StrikeVoice(voice, AsciiToInt(amplitudeText), v);  // the field as last exchanged
        RepaintKeyboardView();
    } else {
        // A note the pedal holds is released, and recorded as released, when it lifts:
        // a replay then sounds as it was played.
        if (pedal_.Hold(note)) return;
        synth::ReleaseVoice(voice, engine_.NoteOffRelease);
    }
    AppendNoteRecord(static_cast<uint8_t>(note), static_cast<uint8_t>(v));
}

// Silences every voice; the next block's decay pass clears the release steps.
void MainDialog::ResetSound() {
    for (synth::Voice& voice : engine_.VoiceTable) {
        voice.active = 0;
        voice.level = 0.0;
    }
}

}  // namespace app
