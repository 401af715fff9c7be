// The dialog's side of the keyboard view: repainting it, WM_PAINT and the drag icon.
#include "app/main_dialog.h"
#include "view/keyboard_view.h"

namespace app {

using namespace platform;

void MainDialog::RepaintKeyboardView() {
    Window& window = GetWindow();
    DeviceContext* dc = window.GetDC();
    if (dc == nullptr) return;
    view::DrawKeyboardView(*dc, state_.view, engine_, state_.KeyboardBaseNote);
    window.ReleaseDC(dc);
}

// Paints nothing of the view itself: the next repaint redraws the whole keyboard.
LRESULT MainDialog::OnPaint(WPARAM wParam, LPARAM lParam) {
    state_.view.RedrawNeeded = 1;
    Window& window = GetWindow();
    if (!window.IsIconic()) return window.DefWindowProc(WM_PAINT, wParam, lParam);
    DeviceContext* dc = window.BeginPaint();
    window.SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int cx = window.GetSystemMetrics(SM_CXICON);
    const int cy = window.GetSystemMetrics(SM_CYICON);
    const Rect client = window.GetClientRect();
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (dc != nullptr) dc->DrawIcon((width - cx + 1) / 2, (height - cy + 1) / 2);
    window.EndPaint(dc);
    return 0;
}

LRESULT MainDialog::OnQueryDragIcon(WPARAM, LPARAM) { return icon; }

}  // namespace app
