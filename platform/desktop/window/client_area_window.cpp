#include "platform/desktop/window/client_area_window.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include "platform/desktop/window/offscreen_context.h"

namespace platform::desktop {
namespace {

constexpr uchar PictureDamage = FL_DAMAGE_USER1;

}  // namespace

ClientAreaWindow::ClientAreaWindow(int x, int y, int width, int height, ClientAreaEvents& events,
                                   const OffscreenContext& picture)
    : Fl_Double_Window(x, y, width, height), events_(events), picture_(picture) {
    callback(&OnWindowCallback, this);
}

void ClientAreaWindow::ShowDrawnArea(int left, int top, int right, int bottom) {
    damage(PictureDamage, left, top, right - left, bottom - top);
}

int ClientAreaWindow::handle(int event) {
    switch (event) {
        case FL_KEYBOARD:
        case FL_KEYUP:
        case FL_SHORTCUT:
            // Keys that no control used end here: no focus moves, no button is pressed,
            // Esc closes nothing. The keyboard filter has already reported them.
            return 1;
        case FL_PUSH:
            if (Fl_Double_Window::handle(event)) return 1;  // a control took it
            if (Fl::event_button() == FL_LEFT_MOUSE) ReportMouse(WM_LBUTTONDOWN);
            return 1;
        case FL_DRAG:
        case FL_MOVE:
            Fl_Double_Window::handle(event);
            ReportMouse(WM_MOUSEMOVE);
            return 1;
        case FL_RELEASE:
            Fl_Double_Window::handle(event);
            return 1;
        default:
            return Fl_Double_Window::handle(event);
    }
}

void ClientAreaWindow::ReportMouse(UINT message) {
    const int x = Fl::event_x();
    const int y = Fl::event_y();
    if (x < 0 || y < 0 || x >= w() || y >= h() || events_.IsOnControl(x, y)) return;
    WPARAM keys = 0;
    if (Fl::event_state() & FL_BUTTON1) keys |= MK_LBUTTON;
    if (Fl::event_state() & FL_BUTTON3) keys |= MK_RBUTTON;
    events_.OnMouse(message, keys, x, y);
}

void ClientAreaWindow::flush() {
    if (damage() & FL_DAMAGE_EXPOSE) events_.OnExposed();
    Fl_Double_Window::flush();
}

void ClientAreaWindow::draw() {
    // Anything beyond a control's own change shows the picture again where it is clipped.
    if (damage() & ~FL_DAMAGE_CHILD) {
        int x, y, width, height;
        fl_clip_box(0, 0, w(), h(), x, y, width, height);
        picture_.CopyTo(x, y, width, height);
    }
    draw_children();
}

void ClientAreaWindow::OnWindowCallback(Fl_Widget*, void* self) {
    // FLTK calls the window's callback for Esc too; only the window manager's close
    // request counts.
    if (Fl::event() == FL_CLOSE) static_cast<ClientAreaWindow*>(self)->events_.OnCloseRequest();
}

}  // namespace platform::desktop
