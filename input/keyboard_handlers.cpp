// The computer keyboard as a note keyboard, while the output is open.
#include "app/main_dialog.h"
#include "input/key_map.h"

namespace app {

using namespace platform;

void MainDialog::OnKeyMessage(const Message& msg) {
    const uint32_t key = static_cast<uint32_t>(msg.wParam);
    // A key pressed with Alt held is the system's and plays nothing. A key that went
    // down alone and comes up with Alt held still lets its notes go.
    if (msg.message == WM_SYSKEYUP) {
        heldKeys_.ReleaseKey(key, [&](int32_t note) { NoteEvent(note, 0); });
        return;
    }
    if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP) return;
    if (msg.message == WM_KEYDOWN && key == VK_ESCAPE && learningSlider_) CancelLearning();
    if (msg.message == WM_KEYUP) heldKeys_.Lifted(key);
    if (waveOut == nullptr) return;
    int32_t& base = state_.KeyboardBaseNote;
    if (msg.message == WM_KEYDOWN) {
        if (msg.wParam == VK_LEFT || msg.wParam == VK_RIGHT) {
            if (msg.wParam == VK_LEFT && base > input::LowestBaseNote) --base;
            if (msg.wParam == VK_RIGHT && base < input::HighestBaseNote) ++base;
            state_.view.RedrawNeeded = 1;  // the marker moves even when no voice changed
            RepaintKeyboardView();
        }
    }
    const int32_t velocity = msg.message == WM_KEYDOWN ? 127 : 0;
    input::ForEachMappedNote(key, base, [&](int32_t note) {
        NoteEvent(note, velocity);
        if (velocity != 0) heldKeys_.Struck(key, note);
    });
}

// Key-ups go to whichever window has the focus, so the notes that keys still hold are
// released as the focus leaves; otherwise they would sound until struck again.
LRESULT MainDialog::OnActivate(WPARAM wParam, LPARAM lParam) {
    if ((wParam & 0xFFFF) == WA_INACTIVE)
        heldKeys_.ReleaseAll([&](int32_t note) { NoteEvent(note, 0); });
    return GetWindow().DefWindowProc(WM_ACTIVATE, wParam, lParam);
}

}  // namespace app
