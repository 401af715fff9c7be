#pragma once
// How the desktop session ends the program, put in the dialog's own terms. SIGTERM,
// SIGINT and SIGHUP become WM_CLOSE on every running dialog window, so the program
// leaves the way its close button has it leave. The loss of the display (a logout,
// an X server that dies) sends WM_ENDSESSION to every window and ends the process
// then and there: once its connection is gone, X lets the process do nothing more
// with it, and returning to X would end the process without a word.
#include <atomic>
#include <vector>

#include "platform/desktop/ui_wakeup.h"

typedef struct _XDisplay Display;

namespace platform::desktop {

class DialogWindow;

class SessionEnd {
public:
    SessionEnd();
    ~SessionEnd();
    SessionEnd(const SessionEnd&) = delete;
    SessionEnd& operator=(const SessionEnd&) = delete;

    // Takes the three signals and the display's loss over for this object; needs the
    // display open. Calling it again changes nothing.
    void Watch();
    // The dialog windows running, outermost first, are the ones told.
    void Add(DialogWindow& window) { windows_.push_back(&window); }
    void Remove(DialogWindow& window);

private:
    static void OnSignal(int signal);
    static int OnDisplayLost(Display* display);
    void CloseWindows();

    UiWakeup signalled_;
    std::vector<DialogWindow*> windows_;
    bool watching_ = false;
};

}  // namespace platform::desktop
