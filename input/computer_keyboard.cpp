// The computer keyboard as a note keyboard, while the output is open.
#include "app/main_dialog.h"
#include "input/key_map.h"

namespace app {

using namespace platform;

void MainDialog::OnKeyMessage(const Message& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP) return;
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
    input::ForEachMappedNote(static_cast<uint32_t>(msg.wParam), base,
                             [&](int32_t note) { NoteEvent(note, velocity); });
}

}  // namespace app
