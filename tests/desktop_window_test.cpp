// The desktop's windows on a real X server (with_desktop_session.sh), beyond the
// contract that every platform keeps (platform_contract.h): the templates as FLTK
// widgets, the mouse and the keys on the client area, drawing that stays shown, the
// About box, Alt keys, the focus leaving, and the signals that end a session.
#include <gtest/gtest.h>

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Slider.H>
#include <FL/Fl_Text_Display.H>
#include <signal.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/desktop_platform.h"
#include "platform/desktop/window/dialog_window.h"
#include "res/control_ids.h"
#include "res/dialog_template.h"
#include "scripted_dialog.h"

// X11 last: its macros (None, Status, Bool) stay out of the headers above.
#include <FL/x.H>

// Inside the platform's namespace, Window is the platform's; the X server's is ::Window.
namespace platform::desktop {
namespace {

DialogWindow& DesktopOf(const Dialog& dialog) { return dynamic_cast<DialogWindow&>(dialog.GetWindow()); }

std::string Output(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return text;
    char chunk[512];
    while (fgets(chunk, sizeof chunk, pipe)) text += chunk;
    pclose(pipe);
    return text;
}

// Real input through the X server's test extension.
void Xdo(const std::string& arguments) {
    EXPECT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
}

std::string Point(int x, int y) { return std::to_string(x) + " " + std::to_string(y); }

// What the X server shows at a point of the window.
ColorRef ScreenPixel(const Fl_Window& window, int x, int y) {
    XImage* image = XGetImage(fl_display, fl_xid(&window), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0xFFFFFFFF;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return Rgb(static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
               static_cast<int>(pixel & 0xFF));
}

ColorRef Background() {
    uchar r, g, b;
    Fl::get_color(FL_BACKGROUND_COLOR, r, g, b);
    return Rgb(r, g, b);
}

bool Visible(const Dialog& dialog) { return DesktopOf(dialog).Toplevel().visible() != 0; }

// Keys pressed on the window, once it has the X server's keyboard focus.
void Keys(const Dialog& dialog, const std::string& keys) {
    Xdo("windowfocus --sync " + std::to_string(fl_xid(&DesktopOf(dialog).Toplevel())) + " " + keys);
}

void ExpectControlMatchesTemplate(const res::ControlTemplate& control, Fl_Widget* widget,
                                  Window& window) {
    SCOPED_TRACE("control " + std::to_string(control.id) + " \"" + control.caption + "\"");
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->x(), res::DialogUnitsToPixelsX(control.x));
    EXPECT_EQ(widget->y(), res::DialogUnitsToPixelsY(control.y));
    EXPECT_EQ(widget->w(), res::DialogUnitsToPixelsX(control.cx));
    EXPECT_EQ(widget->h(), res::DialogUnitsToPixelsY(control.cy));
    const bool enabled = !(control.style & res::Disabled);
    EXPECT_EQ(widget->active() != 0, enabled);
    if (control.id != -1) {
        EXPECT_EQ(window.IsDlgItemEnabled(control.id), enabled);
        EXPECT_EQ(window.GetDlgItemText(control.id), control.caption);
    }
    switch (control.cls) {
        case res::ControlClass::Button:
            EXPECT_NE(dynamic_cast<Fl_Button*>(widget), nullptr);
            EXPECT_EQ(dynamic_cast<Fl_Return_Button*>(widget), nullptr) << "Enter would press it";
            EXPECT_STREQ(widget->label(), control.caption);
            break;
        case res::ControlClass::Edit:
            if (control.style & res::Multiline) {
                auto* log = dynamic_cast<Fl_Text_Display*>(widget);
                ASSERT_NE(log, nullptr);
                EXPECT_EQ(log->scrollbar_align() & FL_ALIGN_RIGHT, FL_ALIGN_RIGHT);
            } else {
                auto* input = dynamic_cast<Fl_Input*>(widget);
                ASSERT_NE(input, nullptr);
                EXPECT_EQ(input->readonly() != 0, (control.style & res::ReadOnly) != 0);
            }
            break;
        case res::ControlClass::Slider: {
            auto* slider = dynamic_cast<Fl_Slider*>(widget);
            ASSERT_NE(slider, nullptr);
            const bool vertical = slider->type() == FL_VERT_NICE_SLIDER;
            EXPECT_EQ(vertical, (control.style & res::Vertical) != 0);
            EXPECT_EQ(slider->minimum(), 0.0);
            EXPECT_EQ(slider->maximum(), 100.0);
            break;
        }
        case res::ControlClass::Static:
            EXPECT_NE(dynamic_cast<Fl_Box*>(widget), nullptr);
            EXPECT_STREQ(widget->label(), control.caption);
            EXPECT_EQ(widget->align() & FL_ALIGN_LEFT, FL_ALIGN_LEFT);
            break;
        case res::ControlClass::Icon:
            EXPECT_NE(widget->image(), nullptr);
            break;
    }
}

TEST(DesktopWindow, TheMainTemplateBecomesABorderlessWindowWithEveryControl) {
    DesktopPlatform desktop;
    ScriptedDialog dialog(desktop);
    dialog.onInit = [&] { dialog.GetWindow().SetWindowText("Kelvarin"); };
    std::string windowInfo;
    dialog.steps = {
        WaitUntil([&] {
            windowInfo = Output("xwininfo -name Kelvarin 2>/dev/null");
            return !windowInfo.empty();
        }),
        Do([&] {
            EXPECT_NE(windowInfo.find("Absolute upper-left X:  0\n"), std::string::npos) << windowInfo;
            EXPECT_NE(windowInfo.find("Absolute upper-left Y:  0\n"), std::string::npos) << windowInfo;
            EXPECT_NE(windowInfo.find("Width: 976\n"), std::string::npos) << windowInfo;
            EXPECT_NE(windowInfo.find("Height: 274\n"), std::string::npos) << windowInfo;
            EXPECT_NE(Output("xprop -name Kelvarin _NET_WM_ICON").find("Icon (32 x 32)"),
                      std::string::npos);

            const Fl_Double_Window& toplevel = DesktopOf(dialog).Toplevel();
            EXPECT_EQ(toplevel.border(), 0);
            const auto& controls = res::MainDialogTemplate.controls;
            ASSERT_EQ(toplevel.children(), static_cast<int>(controls.size()));
            for (size_t i = 0; i < controls.size(); ++i) {
                ExpectControlMatchesTemplate(controls[i], toplevel.child(static_cast<int>(i)),
                                             dialog.GetWindow());
            }
            const Rect client = dialog.GetWindow().GetClientRect();
            EXPECT_EQ(client.right - client.left, 976);
            EXPECT_EQ(client.bottom - client.top, 274);
            EXPECT_EQ(dialog.GetWindow().GetSystemMetrics(SM_CXICON), 32);
            EXPECT_EQ(dialog.GetWindow().GetSystemMetrics(SM_CYICON), 32);
        }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
    EXPECT_TRUE(dialog.Finished());
    EXPECT_EQ(dialog.handled.front().message, WM_CREATE);
}

// Mouse presses and drags away from the controls come as the client area's, and a
// press on a disabled button as nothing at all; the keys keep their codes through the
// X server; rewriting a field's text leaves its caret.
TEST(DesktopWindow, TheMouseAndTheKeysArriveAsWindowsMessages) {
    DesktopPlatform desktop;
    ScriptedDialog dialog(desktop);
    dialog.steps = {
        WaitUntil([&] { return Visible(dialog); }),
        // FLTK folds motion into the next event, so each move gets a step of its own.
        Do([&] {
            const Fl_Widget& hide = *DesktopOf(dialog).ControlWidget(res::IDC_HIDE);  // disabled
            Xdo("mousemove " + Point(hide.x() + hide.w() / 2, hide.y() + hide.h() / 2) + " click 1");
            Xdo("mousemove 500 230 mousedown 1");
        }),
        WaitToSee(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MakePointLParam(500, 230)),
        Do([&] { Xdo("mousemove 520 235"); }),
        WaitToSee(dialog, WM_MOUSEMOVE, MK_LBUTTON, MakePointLParam(520, 235)),
        Do([&] { Xdo("mouseup 1 mousemove 530 240"); }),
        WaitToSee(dialog, WM_MOUSEMOVE, 0, MakePointLParam(530, 240)),
        Do([&] {
            EXPECT_EQ(dialog.Count(WM_LBUTTONDOWN), 1u);
            dialog.GetWindow().SetFocusTo(res::IDC_STATUS);
            Keys(dialog, "key KP_Home bracketleft");
        }),
        WaitToSee(dialog, WM_KEYUP, VK_OEM_4, 0xC0000001),
        Do([&] {
            EXPECT_TRUE(dialog.Saw(WM_KEYDOWN, VK_NUMPAD7, 1));
            EXPECT_TRUE(dialog.Saw(WM_KEYDOWN, VK_OEM_4, 1));
            dialog.GetWindow().SetDlgItemText(res::IDC_AMPLITUDE, "40005");
            auto* amplitude = static_cast<Fl_Input*>(DesktopOf(dialog).ControlWidget(res::IDC_AMPLITUDE));
            amplitude->position(2);
            dialog.GetWindow().SetDlgItemText(res::IDC_AMPLITUDE, "40005");
            EXPECT_EQ(amplitude->position(), 2);
        }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
}

// The drawing is kept offscreen: the window shows it again once shown again.
TEST(DesktopWindow, DrawingOutlinesEllipsesDrawsTheIconAndStaysShown) {
    DesktopPlatform desktop;
    ScriptedDialog dialog(desktop);
    const ColorRef teal = Rgb(0, 250, 200), black = Rgb(0, 0, 0);
    auto pixel = [&](int x, int y) { return ScreenPixel(DesktopOf(dialog).Toplevel(), x, y); };
    dialog.onInit = [&] { dialog.GetWindow().SetWindowText("KelvarinDrawing"); };
    dialog.steps = {
        WaitUntil([&] { return Visible(dialog); }),
        Do([&] {
            Window& window = dialog.GetWindow();
            DeviceContext* dc = window.GetDC();
            const BrushHandle tealBrush = dc->CreateSolidBrush(teal);
            EXPECT_EQ(dc->SelectObject(tealBrush), 0u);
            dc->Ellipse(396, 264, 391, 257);
            EXPECT_FALSE(dc->DeleteObject(tealBrush)) << "a selected brush stays";
            dc->DrawIcon(600, 200);
            dc->SelectObject(0);
            EXPECT_TRUE(dc->DeleteObject(tealBrush));
            window.ReleaseDC(dc);
        }),
        WaitUntil([&] { return pixel(393, 260) == teal; }),
        Do([&] {
            // The ellipse fills [391, 396) x [257, 264) and is outlined at its edges.
            EXPECT_EQ(pixel(391, 260), black);
            EXPECT_EQ(pixel(395, 260), black);
            EXPECT_EQ(pixel(393, 257), black);
            EXPECT_EQ(pixel(393, 263), black);
            EXPECT_EQ(pixel(396, 260), Background());
            EXPECT_EQ(pixel(393, 264), Background());
            // The icon, from its top-left corner.
            EXPECT_EQ(pixel(600, 200), Rgb(0x1C, 0x2A, 0x4A));
            EXPECT_EQ(pixel(631, 231), Rgb(0xFA, 0xFA, 0xFA));
            dialog.GetWindow().ShowWindow(SW_HIDE);
            EXPECT_FALSE(dialog.GetWindow().IsIconic());
        }),
        WaitUntil([] { return Output("xwininfo -name KelvarinDrawing 2>/dev/null").empty(); }),
        Do([&] {
            dialog.filtered.clear();
            dialog.GetWindow().ShowWindow(SW_SHOW);
        }),
        // Shown again, the window asks for a paint and still shows what was drawn.
        WaitUntil([&] { return dialog.Count(WM_PAINT) > 0; }),
        WaitUntil([&] { return pixel(393, 260) == teal; }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
    EXPECT_TRUE(dialog.Finished());
}

// A box opened over the main window is framed, titled and modal; OK ends it.
TEST(DesktopWindow, TheAboutBoxIsAFramedModalBox) {
    DesktopPlatform desktop;
    ScriptedDialog main(desktop);
    ScriptedDialog about(desktop, res::AboutDialogTemplate);
    constexpr int OpenAbout = 999;
    int nestedResult = 0;
    about.steps = {
        WaitUntil([&] { return Visible(about); }),
        Do([&] {
            const Fl_Double_Window& box = DesktopOf(about).Toplevel();
            EXPECT_STREQ(box.label(), "About Sonderel");
            EXPECT_NE(box.border(), 0);
            EXPECT_NE(box.modal(), 0);
            const Fl_Widget* ok = DesktopOf(about).ControlWidget(IDOK);
            ASSERT_NE(ok, nullptr);
            Xdo("mousemove " + Point(box.x() + ok->x() + ok->w() / 2, box.y() + ok->y() + ok->h() / 2) +
                " click 1");
        }),
        WaitUntil([] { return false; }),  // OK ends the box through default handling
    };
    main.onMessage = [&](UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_COMMAND && CommandId(wParam) == OpenAbout) nestedResult = desktop.RunModal(about);
        return std::nullopt;
    };
    main.steps = {
        Do([&] { main.GetWindow().PostMessage(WM_COMMAND, MakeCommand(OpenAbout, BN_CLICKED), 0); }),
        WaitUntil([&] { return nestedResult != 0; }),
    };
    EXPECT_EQ(desktop.RunModal(main), 0);
    EXPECT_EQ(nestedResult, IDOK);
}

TEST(DesktopWindow, AltKeysAreSystemKeysAndTheFocusLeavingIsADeactivation) {
    DesktopPlatform desktop;
    ScriptedDialog dialog(desktop);
    dialog.steps = {
        WaitUntil([&] { return Visible(dialog); }),
        Do([&] {
            Keys(dialog, "keydown alt+q keyup q keyup alt key w");
        }),
        WaitToSee(dialog, WM_KEYUP, 'W', 0xC0000001),
        Do([&] {
            EXPECT_TRUE(dialog.Saw(WM_SYSKEYDOWN, 'Q', 0x20000001));
            EXPECT_TRUE(dialog.Saw(WM_SYSKEYUP, 'Q', 0xE0000001));
            EXPECT_FALSE(dialog.Saw(WM_KEYDOWN, 'Q', 1));
            EXPECT_FALSE(dialog.Saw(WM_KEYUP, 'Q', 0xC0000001));
            EXPECT_TRUE(dialog.Saw(WM_KEYDOWN, 'W', 1)) << "W came after Alt went up";
            // The focus moving between the window's own controls is no deactivation.
            dialog.GetWindow().SetFocusTo(res::IDC_AMPLITUDE);
            dialog.GetWindow().SetFocusTo(res::IDC_STATUS);
            Xdo("key w");
        }),
        WaitUntil([&] { return dialog.Count(WM_KEYUP) == 2; }),
        Do([&] {
            EXPECT_EQ(dialog.Count(WM_ACTIVATE), 0u);
            XSetInputFocus(fl_display, DefaultRootWindow(fl_display), RevertToParent, CurrentTime);
            XFlush(fl_display);
        }),
        WaitToSee(dialog, WM_ACTIVATE, WA_INACTIVE, 0),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
    EXPECT_EQ(dialog.Count(WM_ACTIVATE), 1u);
}

// SIGTERM, SIGINT and SIGHUP arrive as WM_CLOSE on every running window, here ending
// each dialog through the default handling of WM_CLOSE.
TEST(DesktopWindow, EndingSignalsCloseEveryRunningWindow) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        std::signal(signal, SIG_DFL);  // whatever the test runner left
        DesktopPlatform desktop;
        ScriptedDialog main(desktop);
        ScriptedDialog about(desktop, res::AboutDialogTemplate);
        constexpr int OpenAbout = 999;
        int nestedResult = 0;
        main.onMessage = [&](UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
            if (message == WM_COMMAND && CommandId(wParam) == OpenAbout)
                nestedResult = desktop.RunModal(about);
            return std::nullopt;
        };
        main.steps = {
            Do([&] {
                main.GetWindow().PostMessage(WM_COMMAND, MakeCommand(OpenAbout, BN_CLICKED), 0);
            }),
            WaitUntil([] { return false; }),
        };
        about.steps = {
            WaitUntil([&] { return Visible(about); }),
            Do([&] { std::raise(signal); }),
            WaitUntil([] { return false; }),
        };
        EXPECT_EQ(desktop.RunModal(main), IDCANCEL) << "signal " << signal;
        EXPECT_EQ(nestedResult, IDCANCEL) << "signal " << signal;
        EXPECT_TRUE(main.Saw(WM_CLOSE, 0, 0)) << "signal " << signal;
        EXPECT_TRUE(about.Saw(WM_CLOSE, 0, 0)) << "signal " << signal;
    }
}

// Started with the signal ignored, as nohup starts a program, it stays ignored.
TEST(DesktopWindow, AnEndingSignalIgnoredFromTheStartStaysIgnored) {
    std::signal(SIGHUP, SIG_IGN);
    {
        DesktopPlatform desktop;
        ScriptedDialog dialog(desktop);
        dialog.steps = {
            WaitUntil([&] { return Visible(dialog); }),
            Do([] {
                struct sigaction current {};
                sigaction(SIGHUP, nullptr, &current);
                EXPECT_EQ(current.sa_handler, SIG_IGN);
                std::raise(SIGHUP);
                std::raise(SIGTERM);  // one that closes the window
            }),
            WaitUntil([] { return false; }),
        };
        EXPECT_EQ(desktop.RunModal(dialog), IDCANCEL);
        EXPECT_EQ(dialog.Count(WM_CLOSE), 1u);
    }
    std::signal(SIGHUP, SIG_DFL);
}

}  // namespace
}  // namespace platform::desktop
