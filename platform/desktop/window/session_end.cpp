#include "platform/desktop/window/session_end.h"

#include <FL/x.H>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <unistd.h>

#include "platform/desktop/window/dialog_window.h"

namespace platform::desktop {
namespace {

constexpr int EndingSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int SavedAndLeft = 0;
constexpr int LostWhileSaving = 1;

// The object watching, for the handlers; a lock-free atomic, so a signal handler may
// read it.
std::atomic<SessionEnd*> Watcher{nullptr};
// What handled the display's loss before: FLTK's, which ends the process at once.
int (*PreviousDisplayLost)(Display*) = nullptr;

}  // namespace

SessionEnd::SessionEnd() : signalled_([this] { CloseWindows(); }) {}

SessionEnd::~SessionEnd() {
    if (Watcher.load() != this) return;
    for (const int signal : EndingSignals) std::signal(signal, SIG_DFL);
    Watcher.store(nullptr);
    XSetIOErrorHandler(PreviousDisplayLost);
}

void SessionEnd::Watch() {
    if (watching_) return;
    watching_ = true;
    Watcher.store(this);
    const auto previous = XSetIOErrorHandler(&OnDisplayLost);
    if (previous != &OnDisplayLost) PreviousDisplayLost = previous;
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : EndingSignals) {
        // A signal ignored from the start stays ignored: started with nohup, the
        // program outlives its terminal.
        struct sigaction inherited {};
        if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
}

void SessionEnd::Remove(DialogWindow& window) { std::erase(windows_, &window); }

// Only what is safe inside a signal handler: the wakeup writes one byte to a pipe,
// and the UI thread does the rest.
void SessionEnd::OnSignal(int) {
    const int savedErrno = errno;
    if (SessionEnd* self = Watcher.load()) self->signalled_.Wake();
    errno = savedErrno;
}

void SessionEnd::CloseWindows() {
    for (DialogWindow* window : windows_) window->PostMessage(WM_CLOSE, 0, 0);
}

// Called by Xlib on the UI thread once the connection is broken; it must not return.
// The dialogs' handlers must not touch the display: anything that does ends up here
// again, and the process then leaves at once, saying the settings may be incomplete.
int SessionEnd::OnDisplayLost(Display* display) {
    static bool ending = false;
    SessionEnd* self = Watcher.load();
    if (!self) return PreviousDisplayLost ? PreviousDisplayLost(display) : 0;
    if (ending) {
        std::fputs("Kelvarin: the display went away; the settings may not all be saved\n", stderr);
        _exit(LostWhileSaving);
    }
    ending = true;
    std::fputs("Kelvarin: the display went away; leaving\n", stderr);
    const std::vector<DialogWindow*> windows = self->windows_;
    for (DialogWindow* window : windows) window->SendMessage(WM_ENDSESSION, 1, 0);
    // The audio thread may still be running: no destructors, no atexit handlers.
    _exit(SavedAndLeft);
}

}  // namespace platform::desktop
