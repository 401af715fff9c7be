#pragma once
// The FLTK top-level window of a dialog. It shows the dialog's offscreen picture behind
// the controls and turns what happens to it into the dialog's own terms: mouse presses
// and moves over the client area, the window manager's close request, exposure. It has
// no keyboard navigation and no default or cancel keys.
#include <FL/Fl_Double_Window.H>

#include "platform/messages.h"

namespace platform::desktop {

class OffscreenContext;

// What the window reports to the dialog window that owns it, on the UI thread.
class ClientAreaEvents {
public:
    virtual ~ClientAreaEvents() = default;
    // system: pressed or released with Alt held.
    virtual void OnKey(bool down, bool system, WPARAM virtualKey) = 0;
    // The window lost the keyboard focus to another window.
    virtual void OnDeactivated() = 0;
    virtual void OnMouse(UINT message, WPARAM keys, int x, int y) = 0;
    // Whether (x, y) lies on a control that keeps mouse presses to itself.
    virtual bool IsOnControl(int x, int y) const = 0;
    virtual void OnCloseRequest() = 0;
    virtual void OnExposed() = 0;
};

class ClientAreaWindow final : public Fl_Double_Window {
public:
    // The window stands at (x, y) whatever a window manager would choose.
    ClientAreaWindow(int x, int y, int width, int height, ClientAreaEvents& events,
                     const OffscreenContext& picture);
    ClientAreaEvents& Events() const { return events_; }
    // Shows the picture's area again after the dialog drew on it.
    void ShowDrawnArea(int left, int top, int right, int bottom);

    int handle(int event) override;
    void flush() override;

protected:
    void draw() override;

private:
    static void OnWindowCallback(Fl_Widget* window, void* self);
    void ReportMouse(UINT message);

    ClientAreaEvents& events_;
    const OffscreenContext& picture_;
};

}  // namespace platform::desktop
