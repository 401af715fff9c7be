// The platform contract on the desktop platform, in a desktop session of its own
// (with_desktop_session.sh): the user's input comes through the X server's test
// extension, and what the window shows is read back from the X server.
#include <FL/Fl.H>
#include <FL/Fl_Widget.H>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/desktop/desktop_platform.h"
#include "platform/desktop/window/dialog_window.h"
#include "platform_contract.h"

// X11 last: its macros (None, Status, Bool) stay out of the headers above.
#include <FL/x.H>

namespace {

using namespace platform;
using Clock = std::chrono::steady_clock;

class DesktopAdapter {
public:
    DesktopAdapter() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelvarin-contract-XXXXXX").string();
        if (mkdtemp(pattern.data())) directory_ = pattern;
    }
    ~DesktopAdapter() {
        if (!directory_.empty()) std::filesystem::remove_all(directory_);
    }

    Platform& GetPlatform() { return desktop_; }

    void Click(Dialog& dialog, int id) { Input("mousemove " + CentreOf(dialog, id) + " click 1"); }
    void PressKey(Dialog& dialog, WPARAM virtualKey) {
        TakeKeyboard(dialog);
        Input("key " + KeyName(virtualKey));
    }
    void Type(Dialog& dialog, int id, const std::string& text) {
        Click(dialog, id);
        TakeKeyboard(dialog);
        Input("type '" + text + "'");
    }
    // Each part is taken in before the next comes, or FLTK folds the move into the release.
    void DragSliderToTop(Dialog& dialog, int id) {
        const Fl_Widget& slider = *Of(dialog).ControlWidget(id);
        const int x = Of(dialog).Toplevel().x() + slider.x() + slider.w() / 2;
        const int top = std::max(0, Of(dialog).Toplevel().y() + slider.y() - 20);
        Input("mousemove " + CentreOf(dialog, id) + " mousedown 1");
        Input("mousemove " + std::to_string(x) + " " + std::to_string(top));
        Input("mouseup 1");
    }
    // The window manager's close request.
    void RequestClose(Dialog& dialog) {
        const ::Window xid = fl_xid(&Of(dialog).Toplevel());
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = xid;
        event.xclient.message_type = XInternAtom(fl_display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(fl_display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(fl_display, xid, False, NoEventMask, &event);
        XFlush(fl_display);
    }

    int Focus(const Dialog& dialog) {
        for (const res::ControlTemplate& control : dialog.Template().controls)
            if (control.id != -1 && Fl::focus() == Of(dialog).ControlWidget(control.id)) return control.id;
        return 0;
    }
    bool Shown(const Dialog& dialog) { return Of(dialog).Toplevel().visible() != 0; }

    ColorRef Pixel(const Dialog& dialog, int x, int y) {
        XImage* image = XGetImage(fl_display, fl_xid(&Of(dialog).Toplevel()), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) return 0xFFFFFFFF;
        const unsigned long pixel = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return Rgb(static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
                   static_cast<int>(pixel & 0xFF));
    }

    uint32_t Stall(uint32_t ms) {
        const Clock::time_point start = Clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    }
    uint32_t ClockMs() {
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
    }

    std::string PathOf(const std::string& name) { return directory_ + "/" + name; }
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(directory_))
            names.push_back(entry.path().filename());
        return names;
    }

private:
    static desktop::DialogWindow& Of(const Dialog& dialog) {
        return dynamic_cast<desktop::DialogWindow&>(dialog.GetWindow());
    }
    static std::string CentreOf(const Dialog& dialog, int id) {
        const Fl_Widget& widget = *Of(dialog).ControlWidget(id);
        return std::to_string(Of(dialog).Toplevel().x() + widget.x() + widget.w() / 2) + " " +
               std::to_string(Of(dialog).Toplevel().y() + widget.y() + widget.h() / 2);
    }
    static std::string KeyName(WPARAM virtualKey) {
        switch (virtualKey) {
            case VK_RETURN: return "Return";
            case VK_ESCAPE: return "Escape";
            case VK_TAB: return "Tab";
            default: return std::string(1, static_cast<char>(std::tolower(static_cast<int>(virtualKey))));
        }
    }
    // The X server's keyboard focus on the window, for the keys that follow.
    static void TakeKeyboard(const Dialog& dialog) {
        Input("windowfocus --sync " + std::to_string(fl_xid(&Of(dialog).Toplevel())));
    }
    // Real input through the X server's test extension, taken in by FLTK before it returns.
    static void Input(const std::string& arguments) {
        EXPECT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
        XSync(fl_display, False);
        Fl::check();
    }

    desktop::DesktopPlatform desktop_;
    std::string directory_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Desktop, PlatformContract, DesktopAdapter);

}  // namespace
