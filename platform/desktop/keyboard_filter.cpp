#include "platform/desktop/keyboard_filter.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/XKBlib.h>

#include "platform/desktop/client_area_window.h"
#include "platform/desktop/key_translation.h"

namespace platform::desktop {
namespace {

int FilterEvent(int event, Fl_Window* window) {
    if (event == FL_KEYDOWN || event == FL_KEYUP) {
        auto* dialogWindow = dynamic_cast<ClientAreaWindow*>(window);
        const WPARAM virtualKey = VirtualKeyFor(Fl::event_key(), Fl::event_original_key());
        if (dialogWindow && virtualKey != 0) {
            dialogWindow->Events().OnKey(event == FL_KEYDOWN, virtualKey);
        }
    }
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
