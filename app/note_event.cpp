// Played notes, which are recorded while recording is on, and "Reset Sound".
#include "app/ascii_to_int.h"
#include "app/main_dialog.h"

namespace app {

void MainDialog::NoteEvent(int32_t note, int32_t velocity) {
    if (waveOut == nullptr) return;  // nothing plays, draws or records while the output is closed
    synth::Voice& voice = engine_.VoiceTable[note & 0xFF];
    const int32_t v = velocity & 0xFF;
    if (v != 0) {
        // The Amplitude field as last exchanged; a 64-bit product keeps huge values exact.
        const int64_t amplitude = AsciiToInt(amplitudeText);
        voice.active = 1;
        voice.level = static_cast<double>(amplitude * v) * (1.0 / 127.0);
        voice.releaseStep = 0.0;
        RepaintKeyboardView();
    } else {
        voice.releaseStep = static_cast<double>(engine_.NoteOffRelease);
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
