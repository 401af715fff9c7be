// Sliders on the desktop work as Windows' trackbars do: only the left button moves one,
// a right-button click on one reaches the dialog with its id, and one can be drawn on a
// colour of its own. Run through tests/with_desktop_session.sh (a virtual X server).
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Widget.H>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/desktop/window/dialog_window.h"
#include "res/control_ids.h"
#include "res/dialog_template.h"

// X11 last: its macros (None, Status, Bool) stay out of the headers above.
#include <FL/x.H>

namespace platform::desktop {
namespace {

class RightClicks : public Dialog {
public:
    RightClicks() : Dialog(res::MainDialogTemplate) {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CONTEXTMENU) sliders.push_back(static_cast<int>(wParam));
        painted = painted || message == WM_PAINT;
        return Dialog::WindowProc(message, wParam, lParam);
    }
    std::vector<int> sliders;
    bool painted = false;  // the window is on the screen
};

class DesktopSliders : public testing::Test {
protected:
    void SetUp() override {
        if (!fl_display) {
            Display* display = XOpenDisplay(nullptr);
            if (!display) GTEST_SKIP() << "needs an X display (run it through with_desktop_session.sh)";
            fl_open_display(display);
            Fl::visual(FL_RGB);
        }
        window_ = std::make_unique<DialogWindow>(dialog, queue_, false);
        dialog.AttachWindow(window_.get());
        window_->Show(false);
        ASSERT_TRUE(ServeUntil([&] { return dialog.painted; }));
    }
    void TearDown() override { dialog.AttachWindow(nullptr); }

    // Runs the window's events and messages until done() holds; false after 20 s.
    bool ServeUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            Fl::wait(0.01);
            while (const auto queued = queue_.Take()) queued->target->Dispatch(*queued);
        }
        return true;
    }
    static void Xdo(const std::string& arguments) {
        EXPECT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
    }
    // A point of the slider in screen pixels (the window stands at 0, 0), left of its
    // track line: dx, dy from its top-left corner.
    std::string On(int id, int dx, int dy) {
        const Fl_Widget* slider = window_->ControlWidget(id);
        return std::to_string(slider->x() + dx) + " " + std::to_string(slider->y() + dy);
    }
    ColorRef Pixel(int id, int dx, int dy) {
        const Fl_Widget* slider = window_->ControlWidget(id);
        XImage* image = XGetImage(fl_display, fl_xid(&window_->Toplevel()), slider->x() + dx,
                                  slider->y() + dy, 1, 1, AllPlanes, ZPixmap);
        if (!image) return 0xFFFFFFFF;
        const unsigned long pixel = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return Rgb(static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
                   static_cast<int>(pixel & 0xFF));
    }

    RightClicks dialog;
    MessageQueue queue_;
    std::unique_ptr<DialogWindow> window_;
};

TEST_F(DesktopSliders, OnlyTheLeftButtonMovesAThumbAndARightClickReachesTheDialog) {
    Window& window = *window_;
    window.SetSliderPos(res::IDC_SLIDER_2, 50, true);
    // A middle click at the top, then the right button pressed there and dragged down.
    Xdo("mousemove " + On(res::IDC_SLIDER_2, 3, 4) + " click 2 mousedown 3");
    ASSERT_TRUE(ServeUntil([&] { return !dialog.sliders.empty(); }));
    Xdo("mousemove " + On(res::IDC_SLIDER_2, 3, 100));
    const int draggedTo = window_->ControlWidget(res::IDC_SLIDER_2)->y() + 100;
    ASSERT_TRUE(ServeUntil([&] { return Fl::event_y() == draggedTo; }));
    Xdo("mouseup 3");
    EXPECT_EQ(dialog.sliders, std::vector<int>{res::IDC_SLIDER_2});
    EXPECT_EQ(window.GetSliderPos(res::IDC_SLIDER_2), 50);
    Xdo("mousemove " + On(res::IDC_SLIDER_2, 3, 4) + " mousedown 1");
    EXPECT_TRUE(ServeUntil([&] { return window.GetSliderPos(res::IDC_SLIDER_2) < 10; }));
    Xdo("mouseup 1");
    EXPECT_EQ(dialog.sliders.size(), 1u);
}

TEST_F(DesktopSliders, ASliderIsDrawnOnItsColourUntilItIsTakenAway) {
    uchar r, g, b;
    Fl::get_color(FL_BACKGROUND_COLOR, r, g, b);
    const ColorRef background = Rgb(r, g, b), teal = Rgb(0, 250, 200);
    // Below the thumb, which stands at the top, and left of the track line.
    ASSERT_TRUE(ServeUntil([&] { return Pixel(res::IDC_SLIDER_2, 2, 90) == background; }));
    window_->SetSliderColor(res::IDC_SLIDER_2, teal);
    EXPECT_TRUE(ServeUntil([&] { return Pixel(res::IDC_SLIDER_2, 2, 90) == teal; }));
    EXPECT_EQ(Pixel(res::IDC_SLIDER_3, 2, 90), background);
    window_->SetSliderColor(res::IDC_SLIDER_2, std::nullopt);
    EXPECT_TRUE(ServeUntil([&] { return Pixel(res::IDC_SLIDER_2, 2, 90) == background; }));
}

}  // namespace
}  // namespace platform::desktop
