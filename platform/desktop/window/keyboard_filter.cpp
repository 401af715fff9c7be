#include "platform/desktop/window/keyboard_filter.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/XKBlib.h>

#include "platform/desktop/window/client_area_window.h"
#include "platform/desktop/window/key_translation.h"

namespace platform::desktop {
namespace {

int FilterEvent(int event, Fl_Window* window) {
    auto* dialogWindow = dynamic_cast<ClientAreaWindow*>(window);
    if (dialogWindow && (event == FL_KEYDOWN || event == FL_KEYUP)) {
        const WPARAM virtualKey = VirtualKeyFor(Fl::event_key(), Fl::event_original_key());
        const bool system = Fl::event_state(FL_ALT) != 0;
        if (virtualKey != 0) dialogWindow->Events().OnKey(event == FL_KEYDOWN, system, virtualKey);
    }
    // The window system's focus leaving the window; focus moves between its own
    // controls never come this way.
    if (dialogWindow && event == FL_UNFOCUS) dialogWindow->Events().OnDeactivated();
    return Fl::handle_(event, window);
}

}  // namespace

void InstallKeyboardFilter() {
    if (Fl::event_dispatch() == &FilterEvent) return;
    Bool supported = False;
    XkbSetDetectableAutoRepeat(fl_display, True, &supported);
    Fl::event_dispatch(&FilterEvent);
}

}  // namespace platform::desktop
