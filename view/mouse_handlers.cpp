// Playing with the mouse: a press, and every move while the left button is held,
// strikes the key drawn under the pointer. A strike is not a note event: it sets a
// fixed level that starts to fade at once, whatever the Amplitude field and whether
// or not the output is open; it is not recorded, and the view shows it at its next
// repaint.
#include "app/main_dialog.h"
#include "view/keyboard_layout.h"

namespace app {

using namespace platform;

namespace {

constexpr double StrikeLevel = 3000.0;
constexpr double StrikeReleaseStep = 10.0;

}  // namespace

LRESULT MainDialog::OnLButtonDown(WPARAM keys, LPARAM point) {
    engine_.ClipFlag = 0;  // a press puts the clip lamp out
    GetWindow().DefWindowProc(WM_LBUTTONDOWN, keys, point);
    StrikeUnderPointer(keys, point);
    return 0;
}

LRESULT MainDialog::OnMouseMove(WPARAM keys, LPARAM point) {
    StrikeUnderPointer(keys, point);
    return GetWindow().DefWindowProc(WM_MOUSEMOVE, keys, point);
}

void MainDialog::StrikeUnderPointer(WPARAM keys, LPARAM point) {
    if ((keys & MK_LBUTTON) == 0) return;
    const int note = view::NoteAtPoint(PointX(point), PointY(point));
    synth::Voice& voice = engine_.VoiceTable[note];
    voice.level = StrikeLevel;
    voice.releaseStep = StrikeReleaseStep;
    voice.active = 1;
    HandOver(NoteChange::WholeVoice(note, voice));
}

}  // namespace app
