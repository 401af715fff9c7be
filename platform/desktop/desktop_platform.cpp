#include "platform/desktop/desktop_platform.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "platform/desktop/session/nsm_client.h"
#include "platform/desktop/window/dialog_window.h"
#include "platform/desktop/window/keyboard_filter.h"

namespace platform::desktop {
namespace {

constexpr double WaitForever = 1e20;
// How long a session manager has to open its session before the window opens without.
constexpr std::chrono::seconds SessionOpenWait{3};

void SayWhyNoDisplay() {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (x && *x) {
        std::fprintf(stderr, "Kelvarin: cannot open the X display \"%s\" that DISPLAY names\n", x);
    } else if (wayland && *wayland) {
        std::fprintf(stderr,
                     "Kelvarin: WAYLAND_DISPLAY is set but DISPLAY is not; "
                     "Kelvarin needs an X server, such as Xwayland\n");
    } else {
        std::fprintf(stderr,
                     "Kelvarin: no graphical session found: neither DISPLAY nor "
                     "WAYLAND_DISPLAY is set\n");
    }
}

}  // namespace

DesktopPlatform::DesktopPlatform() = default;

DesktopPlatform::~DesktopPlatform() {
    if (session_) Fl::remove_fd(session_->Socket());
}

uint32_t DesktopPlatform::GetTickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t milliseconds =
        static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
    return static_cast<uint32_t>(milliseconds);
}

// FLTK itself would end the process without a word, so the display is opened here.
bool DesktopPlatform::OpenDisplay() {
    if (!fl_display) {
        Display* display = XOpenDisplay(nullptr);
        if (!display) {
            SayWhyNoDisplay();
            return false;
        }
        fl_open_display(display);
        // Exact colours for the drawing rules: a true-colour visual.
        Fl::visual(FL_RGB);
    }
    InstallKeyboardFilter();
    return true;
}

void DesktopPlatform::JoinSession(const std::string& executable) {
    const char* url = std::getenv("NSM_URL");
    if (!url || !*url) return;
    session_ = NsmClient::Announce(url, executable);
    if (!session_) return;
    session_->WaitForOpen(SessionOpenWait);
    session_->SaveWith([this] { return SaveSettings(); });
    Fl::add_fd(session_->Socket(), FL_READ, &OnSessionMessage, this);
}

void DesktopPlatform::OnSessionMessage(int, void* self) {
    static_cast<DesktopPlatform*>(self)->session_->Receive();
}

bool DesktopPlatform::SaveSettings() {
    return mainWindow_ && mainWindow_->SendMessage(WM_SAVESETTINGS, 0, 0) == 1;
}

int DesktopPlatform::RunModal(Dialog& dialog) {
    if (!OpenDisplay()) return -1;
    sessionEnd_.Watch();
    auto window = std::make_unique<DialogWindow>(dialog, queue_, modalDepth_ > 0);
    dialog.AttachWindow(window.get());
    sessionEnd_.Add(*window);
    if (modalDepth_ == 0) mainWindow_ = window.get();
    ++modalDepth_;
    int result = -1;
    if (dialog.WindowProc(WM_CREATE, 0, 0) != -1) {
        const bool focusFirstControl = dialog.OnInitDialog();
        if (!window->Ended()) {
            window->Show(focusFirstControl);
            RunLoop(*window);
        }
        result = window->Result();
    }
    sessionEnd_.Remove(*window);
    waveOut_.AbandonStreamsOf(window.get());
    midiIn_.AbandonDevicesOf(window.get());
    --modalDepth_;
    if (modalDepth_ == 0) mainWindow_ = nullptr;
    dialog.AttachWindow(nullptr);
    return result;
}

// Serves every window's messages, oldest first, until this window's dialog ends.
// Messages posted while a batch is handled wait for the next round, so the window
// system's events are never starved.
void DesktopPlatform::RunLoop(const DialogWindow& window) {
    for (;;) {
        for (size_t batch = queue_.Size(); batch > 0 && !window.Ended(); --batch) {
            const std::optional<QueuedMessage> queued = queue_.Take();
            if (!queued) break;
            queued->target->Dispatch(*queued);
        }
        if (window.Ended()) return;
        if (queue_.Empty()) {
            // With a time: FLTK's plain wait() returns at once while no window is shown.
            Fl::wait(WaitForever);
        } else {
            Fl::check();
        }
    }
}

}  // namespace platform::desktop
