// Played notes, which are recorded while recording is on, and "Reset Sound".
#include "app/ascii_to_int.h"
#include "app/main_dialog.h"
#include "synth/note_control.h"

namespace app {

void MainDialog::NoteEvent(int32_t note, int32_t velocity) {
    if (waveOut == nullptr) return;  // nothing plays, draws or records while the output is closed
    const int n = note & 0xFF;
    synth::Voice& voice = engine_.VoiceTable[n];
    const int32_t v = velocity & 0xFF;
    if (v != 0) {
        pedal_.Struck(note);
        synth::StrikeVoice(voice, AsciiToInt(amplitudeText), v);  // the field as last exchanged
        HandOver(NoteChange::WholeVoice(n, voice));
        RepaintKeyboardView();
    } else {
        // A note the pedal holds is released, and recorded as released, when it lifts:
        // a replay then sounds as it was played.
        if (pedal_.Hold(note)) return;
        synth::ReleaseVoice(voice, engine_.NoteOffRelease);
        HandOver(NoteChange::ReleaseStepOf(n, voice));
    }
    AppendNoteRecord(static_cast<uint8_t>(note), static_cast<uint8_t>(v));
}

void MainDialog::ResetSound() {
    synth::SilenceVoices(engine_.VoiceTable);
    HandOver(NoteChange::Silence());
}

}  // namespace app
