// The desktop platform for real: windows on an X server, sound through a JACK server,
// files on disk. Run through tests/with_desktop_session.sh, which starts a virtual X
// server and a JACK server on its dummy backend.
#include <gtest/gtest.h>

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Slider.H>
#include <FL/Fl_Text_Display.H>
#include <jack/jack.h>
#include <signal.h>
#include <sys/prctl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "platform/desktop/audio/block_queue.h"
#include "platform/desktop/desktop_platform.h"
#include "platform/desktop/window/dialog_window.h"
#include "platform/desktop/window/key_translation.h"
#include "platform/desktop/files/posix_file_system.h"
#include "platform/desktop/audio/sample_fifo.h"
#include "platform/desktop/window/window_timers.h"
#include "res/control_ids.h"
#include "res/dialog_template.h"
#include "tests/gap_finder.h"

// X11 last: its macros (None, Status, Bool) stay out of the headers above.
#include <FL/x.H>

// Inside the platform's namespace, Window is the platform's; the X server's is ::Window.
namespace platform::desktop {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// ---------------------------------------------------------------------------------
// A dialog that runs a script of steps from a timer while its modal loop runs, and
// records every message it is given.

constexpr uint32_t ScriptTimer = 0x5C17;
constexpr int ScriptTimedOut = -2;

class ScriptedDialog : public Dialog {
public:
    using Step = std::function<bool()>;  // true once the step is done

    explicit ScriptedDialog(const res::DialogTemplate& dialogTemplate) : Dialog(dialogTemplate) {}

    std::vector<Step> steps;
    std::function<void()> onInit;
    std::function<void(UINT, WPARAM, LPARAM)> onWindowProc;
    std::vector<Message> filtered;    // seen by PreTranslateMessage, script ticks left out
    std::vector<Message> procedures;  // seen by WindowProc

    bool Finished() const { return next_ == steps.size(); }
    DialogWindow& Desktop() const { return dynamic_cast<DialogWindow&>(GetWindow()); }
    bool Saw(UINT message, WPARAM wParam, LPARAM lParam) const {
        return std::any_of(filtered.begin(), filtered.end(), [&](const Message& m) {
            return m.message == message && m.wParam == wParam && m.lParam == lParam;
        });
    }
    size_t Count(UINT message) const {
        return std::count_if(filtered.begin(), filtered.end(),
                             [&](const Message& m) { return m.message == message; });
    }

    bool OnInitDialog() override {
        deadline_ = Clock::now() + 30s;
        if (onInit) onInit();
        GetWindow().SetTimer(ScriptTimer, 10, [this] { Advance(); });
        return false;
    }
    bool PreTranslateMessage(const Message& message) override {
        if (!(message.message == WM_TIMER && message.wParam == ScriptTimer)) filtered.push_back(message);
        return false;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        procedures.push_back({message, wParam, lParam});
        if (onWindowProc) onWindowProc(message, wParam, lParam);
        return Dialog::WindowProc(message, wParam, lParam);
    }

private:
    void Advance() {
        while (next_ < steps.size() && steps[next_]()) ++next_;
        if (Finished()) {
            GetWindow().EndDialog(0);
        } else if (Clock::now() > deadline_) {
            std::string seen;
            for (const Message& m : filtered) {
                char text[64];
                std::snprintf(text, sizeof text, " %x:%lx:%lx", m.message,
                              static_cast<unsigned long>(m.wParam), static_cast<unsigned long>(m.lParam));
                seen += text;
            }
            ADD_FAILURE() << "script stuck at step " << next_ << "; seen" << seen;
            GetWindow().EndDialog(ScriptTimedOut);
        }
    }

    size_t next_ = 0;
    Clock::time_point deadline_;
};

ScriptedDialog::Step Do(std::function<void()> action) {
    return [action] {
        action();
        return true;
    };
}

ScriptedDialog::Step WaitUntil(std::function<bool()> condition) { return condition; }

ScriptedDialog::Step Pause(std::chrono::milliseconds length) {
    auto until = std::make_shared<Clock::time_point>();
    return [until, length] {
        if (*until == Clock::time_point{}) *until = Clock::now() + length;
        return Clock::now() >= *until;
    };
}

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

// The centre of a control of the main template, in screen pixels (the window is at 0, 0).
std::string CentreOf(const res::DialogTemplate& dialogTemplate, int id) {
    for (const auto& control : dialogTemplate.controls) {
        if (control.id != id) continue;
        return Point(res::DialogUnitsToPixelsX(control.x) + res::DialogUnitsToPixelsX(control.cx) / 2,
                     res::DialogUnitsToPixelsY(control.y) + res::DialogUnitsToPixelsY(control.cy) / 2);
    }
    ADD_FAILURE() << "no control " << id;
    return "0 0";
}

// ---------------------------------------------------------------------------------

TEST(KeyTranslation, KeysBecomeTheirVirtualKeyCodes) {
        EXPECT_EQ(VirtualKeyFor('q', 'q'), WPARAM{'Q'});
    EXPECT_EQ(VirtualKeyFor('m', 'm'), WPARAM{'M'});
    EXPECT_EQ(VirtualKeyFor('2', '2'), WPARAM{'2'});
    EXPECT_EQ(VirtualKeyFor(FL_Tab, FL_Tab), VK_TAB);
    EXPECT_EQ(VirtualKeyFor(FL_Enter, FL_Enter), VK_RETURN);
    EXPECT_EQ(VirtualKeyFor(FL_BackSpace, FL_BackSpace), VK_BACK);
    EXPECT_EQ(VirtualKeyFor(FL_Delete, FL_Delete), VK_DELETE);
    EXPECT_EQ(VirtualKeyFor(FL_End, FL_End), VK_END);
    EXPECT_EQ(VirtualKeyFor(FL_Home, FL_Home), VK_HOME);
    EXPECT_EQ(VirtualKeyFor(FL_Page_Down, FL_Page_Down), VK_NEXT);
    EXPECT_EQ(VirtualKeyFor(FL_Page_Up, FL_Page_Up), VK_PRIOR);
    EXPECT_EQ(VirtualKeyFor(FL_Left, FL_Left), VK_LEFT);
    EXPECT_EQ(VirtualKeyFor(FL_Right, FL_Right), VK_RIGHT);
    EXPECT_EQ(VirtualKeyFor('[', '['), VK_OEM_4);
    EXPECT_EQ(VirtualKeyFor('=', '='), VK_OEM_PLUS);
    EXPECT_EQ(VirtualKeyFor(']', ']'), VK_OEM_6);
    EXPECT_EQ(VirtualKeyFor('\\', '\\'), VK_OEM_5);
    EXPECT_EQ(VirtualKeyFor(FL_Escape, FL_Escape), VK_ESCAPE);
}

TEST(KeyTranslation, KeypadKeysKeepTheirCodesWithNumLockOff) {
        // With NumLock off, keypad 7 reports Home and only its original key tells it apart.
    EXPECT_EQ(VirtualKeyFor(FL_Home, FL_KP + '7'), VK_NUMPAD7);
    EXPECT_EQ(VirtualKeyFor(FL_Up, FL_KP + '8'), VK_NUMPAD8);
    EXPECT_EQ(VirtualKeyFor(FL_Page_Up, FL_KP + '9'), VK_NUMPAD9);
    EXPECT_EQ(VirtualKeyFor(FL_KP + '7', FL_KP + '7'), VK_NUMPAD7);
    EXPECT_EQ(VirtualKeyFor(FL_KP + '/', FL_KP + '/'), VK_DIVIDE);
    EXPECT_EQ(VirtualKeyFor(FL_KP + '*', FL_KP + '*'), VK_MULTIPLY);
    EXPECT_EQ(VirtualKeyFor(FL_KP + '+', FL_KP + '+'), VK_ADD);
    EXPECT_EQ(VirtualKeyFor(FL_KP + '-', FL_KP + '-'), VK_SUBTRACT);
}

TEST(WindowTimers, ALateTimerLeavesOneTickWaitingNotABurst) {
    std::vector<uint32_t> posted;
    WindowTimers timers([&](uint32_t id) { posted.push_back(id); });
    timers.Set(7, 1, nullptr);
    std::this_thread::sleep_for(30ms);  // about 30 periods pass with nobody serving
    for (int i = 0; i < 5; ++i) Fl::wait(0.005);
    EXPECT_EQ(posted, std::vector<uint32_t>{7});

    TimerProc proc;
    ASSERT_TRUE(timers.Take(7, proc));
    EXPECT_FALSE(proc);
    for (int i = 0; i < 100 && posted.size() < 2; ++i) Fl::wait(0.01);
    EXPECT_EQ(posted.size(), 2u) << "the timer asks again once its tick was taken";

    timers.Kill(7);
    EXPECT_FALSE(timers.Take(7, proc));
    posted.clear();
    for (int i = 0; i < 5; ++i) Fl::wait(0.005);
    EXPECT_TRUE(posted.empty());
}

// ---------------------------------------------------------------------------------

class PosixFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kelvarin-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }
    std::string PathOf(const std::string& name) const { return directory_ + "/" + name; }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(directory_)) {
            names.push_back(entry.path().filename());
        }
        return names;
    }

    PosixFileSystem files_;
    std::string directory_;
};

TEST_F(PosixFiles, AnOpenFileIsNotSharedEvenWithinTheProcess) {
    const std::string path = PathOf("midi.dat");
    EXPECT_EQ(files_.OpenExclusive(path, OpenMode::Read), nullptr) << "a missing file";

    auto writer = files_.OpenExclusive(path, OpenMode::CreateWrite);
    ASSERT_NE(writer, nullptr);
    ASSERT_TRUE(writer->Write("12345678", 8));
    EXPECT_EQ(files_.OpenExclusive(path, OpenMode::Read), nullptr);
    EXPECT_EQ(files_.OpenExclusive(path, OpenMode::CreateWrite), nullptr);
    EXPECT_EQ(files_.ReadWholeFile(path), std::nullopt);
    EXPECT_FALSE(files_.ReplaceWholeFile(path, "x"));
    EXPECT_FALSE(files_.DeleteFile(path));
    EXPECT_EQ(writer->Length(), 8u) << "a refused open must not truncate the held file";
    writer.reset();

    auto reader = files_.OpenExclusive(path, OpenMode::Read);
    ASSERT_NE(reader, nullptr);
    char bytes[16] = {};
    EXPECT_EQ(reader->Read(bytes, sizeof bytes), 8u);
    EXPECT_EQ(std::string(bytes), "12345678");
    reader.reset();

    auto truncating = files_.OpenExclusive(path, OpenMode::CreateWrite);
    ASSERT_NE(truncating, nullptr);
    EXPECT_EQ(truncating->Length(), 0u);
    truncating.reset();
    EXPECT_TRUE(files_.DeleteFile(path));
    EXPECT_FALSE(files_.Exists(path));
    EXPECT_FALSE(files_.DeleteFile(path));
}

TEST_F(PosixFiles, ReplacingAFileLeavesOnlyTheWholeNewContents) {
    const std::string path = PathOf("Kelvarin.ini");
    EXPECT_EQ(files_.ReadWholeFile(path), std::nullopt);
    ASSERT_TRUE(files_.ReplaceWholeFile(path, "[Kelvarin]\nsl1=100\n"));
    EXPECT_EQ(files_.ReadWholeFile(path), "[Kelvarin]\nsl1=100\n");
    ASSERT_TRUE(files_.ReplaceWholeFile(path, "[Kelvarin]\n"));
    EXPECT_EQ(files_.ReadWholeFile(path), "[Kelvarin]\n");
    EXPECT_EQ(Names(), std::vector<std::string>{"Kelvarin.ini"}) << "no temporary file is left";
    EXPECT_FALSE(files_.ReplaceWholeFile(PathOf("missing/Kelvarin.ini"), "x"));
}

TEST_F(PosixFiles, TheCurrentDirectoryIsTheProcessOne) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(directory_);
    EXPECT_EQ(files_.GetCurrentDirectory(), std::filesystem::current_path().string());
    EXPECT_EQ(files_.PathSeparator(), '/');
    std::filesystem::current_path(previous);
}

// ---------------------------------------------------------------------------------

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
    ScriptedDialog dialog(res::MainDialogTemplate);
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

            const Fl_Double_Window& toplevel = dialog.Desktop().Toplevel();
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
    EXPECT_EQ(dialog.procedures.front().message, WM_CREATE);
}

TEST(DesktopWindow, UserInputArrivesAsWindowsMessages) {
    DesktopPlatform desktop;
    const auto& main = res::MainDialogTemplate;
    ScriptedDialog dialog(main);
    // Before the window is shown, as the program does during start-up.
    dialog.onInit = [&] { dialog.GetWindow().SetFocusTo(res::IDC_STATUS); };
    auto widget = [&](int id) { return dialog.Desktop().ControlWidget(id); };
    auto focusedOn = [&](int id) { return Fl::focus() == widget(id); };
    auto saw = [&](UINT message, WPARAM wParam, LPARAM lParam) {
        return [&dialog, message, wParam, lParam] { return dialog.Saw(message, wParam, lParam); };
    };
    dialog.steps = {
        WaitUntil([&] { return dialog.Desktop().Toplevel().visible() && dialog.Count(WM_PAINT) > 0; }),
        Do([&] { EXPECT_TRUE(focusedOn(res::IDC_STATUS)); }),

        // Buttons post their commands; a disabled one does nothing, not even a click.
        Do([&] { Xdo("mousemove " + CentreOf(main, res::IDC_RESET_SOUND) + " click 1"); }),
        WaitUntil(saw(WM_COMMAND, MakeCommand(res::IDC_RESET_SOUND, BN_CLICKED), 0)),
        Do([&] { Xdo("mousemove " + CentreOf(main, res::IDC_HIDE) + " click 1"); }),
        // Mouse presses and drags on the client area, away from the controls.
        // (FLTK folds motion into the next event, so each move gets a step of its own.)
        Do([&] { Xdo("mousemove 500 230 mousedown 1"); }),
        WaitUntil(saw(WM_LBUTTONDOWN, MK_LBUTTON, MakePointLParam(500, 230))),
        Do([&] { Xdo("mousemove 520 235"); }),
        WaitUntil(saw(WM_MOUSEMOVE, MK_LBUTTON, MakePointLParam(520, 235))),
        Do([&] { Xdo("mouseup 1 mousemove 530 240"); }),
        WaitUntil(saw(WM_MOUSEMOVE, 0, MakePointLParam(530, 240))),
        Do([&] {
            EXPECT_FALSE(dialog.Saw(WM_COMMAND, MakeCommand(res::IDC_HIDE, BN_CLICKED), 0));
            EXPECT_EQ(dialog.Count(WM_LBUTTONDOWN), 1u);
        }),

        // Keys reach the filter with their virtual-key codes. Tab, Enter and Esc do
        // nothing to the dialog, even with the focus on the default button.
        Do([&] { dialog.GetWindow().SetFocusTo(res::IDC_STATUS); }),
        Do([&] { Xdo("key q Tab Return Escape KP_Home bracketleft"); }),
        WaitUntil(saw(WM_KEYUP, VK_OEM_4, 0xC0000001)),
        Do([&] {
            for (WPARAM key : {WPARAM{'Q'}, VK_TAB, VK_RETURN, VK_ESCAPE, VK_NUMPAD7, VK_OEM_4}) {
                EXPECT_TRUE(dialog.Saw(WM_KEYDOWN, key, 1)) << key;
                EXPECT_TRUE(dialog.Saw(WM_KEYUP, key, 0xC0000001)) << key;
            }
            EXPECT_TRUE(focusedOn(res::IDC_STATUS)) << "Tab moved the focus";
            dialog.GetWindow().SetFocusTo(IDOK);
        }),
        Do([&] { Xdo("key Return Tab"); }),
        WaitUntil([&] { return dialog.Count(WM_KEYUP) == 8; }),
        Do([&] {
            EXPECT_TRUE(focusedOn(IDOK));
            EXPECT_EQ(dialog.Count(WM_COMMAND), 1u) << "Enter pressed a button";
        }),

        // Typing into an edit still works, and rewriting the same text leaves the caret.
        Do([&] {
            dialog.GetWindow().SetDlgItemText(res::IDC_AMPLITUDE, "4000");
            dialog.GetWindow().SetFocusTo(res::IDC_AMPLITUDE);
            Xdo("key End 5");
        }),
        WaitUntil([&] { return dialog.GetWindow().GetDlgItemText(res::IDC_AMPLITUDE) == "40005"; }),
        Do([&] {
            auto* amplitude = static_cast<Fl_Input*>(widget(res::IDC_AMPLITUDE));
            amplitude->position(2);
            dialog.GetWindow().SetDlgItemText(res::IDC_AMPLITUDE, "40005");
            EXPECT_EQ(amplitude->position(), 2);
            dialog.GetWindow().SetDlgItemText(res::IDC_MIDILOG, "9,0\t60\t100\t0\r\n");
            EXPECT_EQ(dialog.GetWindow().GetDlgItemText(res::IDC_MIDILOG), "9,0\t60\t100\t0\r\n");
        }),

        // A weight slider is at 0 at its top; the user moves it, the dialog reads it.
        Do([&] {
            dialog.GetWindow().SetSliderPos(res::IDC_SLIDER_BASE, 250, true);
            EXPECT_EQ(dialog.GetWindow().GetSliderPos(res::IDC_SLIDER_BASE), 100) << "clamped";
            const Fl_Widget* slider = widget(res::IDC_SLIDER_BASE);
            Xdo("mousemove " + Point(slider->x() + 6, slider->y() + 4) + " mousedown 1");
        }),
        WaitUntil([&] { return dialog.GetWindow().GetSliderPos(res::IDC_SLIDER_BASE) < 10; }),
        Do([&] { Xdo("mouseup 1"); }),

        // The window manager's close request: WM_SYSCOMMAND, whose default handling
        // sends WM_CLOSE, whose default handling cancels the dialog.
        Do([&] {
            const ::Window xid = fl_xid(&dialog.Desktop().Toplevel());
            XEvent event{};
            event.xclient.type = ClientMessage;
            event.xclient.window = xid;
            event.xclient.message_type = XInternAtom(fl_display, "WM_PROTOCOLS", False);
            event.xclient.format = 32;
            event.xclient.data.l[0] = static_cast<long>(XInternAtom(fl_display, "WM_DELETE_WINDOW", False));
            event.xclient.data.l[1] = CurrentTime;
            XSendEvent(fl_display, xid, False, NoEventMask, &event);
            XFlush(fl_display);
        }),
        WaitUntil([] { return false; }),  // the close ends the dialog
    };
    EXPECT_EQ(desktop.RunModal(dialog), IDCANCEL);
    std::vector<UINT> closing;
    for (const Message& m : dialog.procedures) {
        if (m.message == WM_SYSCOMMAND || m.message == WM_CLOSE ||
            (m.message == WM_COMMAND && CommandId(m.wParam) == IDCANCEL)) {
            closing.push_back(m.message);
        }
    }
    EXPECT_EQ(closing, (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_COMMAND}));
}

TEST(DesktopWindow, DrawingFollowsTheDeviceContextRulesAndStaysShown) {
    DesktopPlatform desktop;
    ScriptedDialog dialog(res::MainDialogTemplate);
    const ColorRef red = Rgb(255, 0, 0), green = Rgb(0, 250, 200), blue = Rgb(0, 0, 255);
    const ColorRef black = Rgb(0, 0, 0), white = Rgb(255, 255, 255);
    auto pixel = [&](int x, int y) { return ScreenPixel(dialog.Desktop().Toplevel(), x, y); };
    dialog.steps = {
        WaitUntil([&] { return dialog.Desktop().Toplevel().visible() && dialog.Count(WM_PAINT) > 0; }),
        Do([&] {
            Window& window = dialog.GetWindow();
            DeviceContext* dc = window.GetDC();
            dc->Rectangle(40, 180, 50, 190);  // no brush selected yet: white
            const BrushHandle redBrush = dc->CreateSolidBrush(red);
            const BrushHandle greenBrush = dc->CreateSolidBrush(green);
            const BrushHandle blueBrush = dc->CreateSolidBrush(blue);
            EXPECT_EQ(dc->SelectObject(redBrush), 0u);
            dc->Rectangle(10, 180, 20, 190);
            EXPECT_EQ(dc->SelectObject(greenBrush), redBrush);
            dc->Ellipse(396, 264, 391, 257);  // corners in any order
            EXPECT_FALSE(dc->DeleteObject(greenBrush)) << "a selected brush stays";
            dc->SelectObject(blueBrush);
            dc->Rectangle(30, 180, 30, 190);  // zero wide: nothing
            dc->DrawIcon(600, 200);
            dc->SelectObject(0);
            EXPECT_TRUE(dc->DeleteObject(redBrush));
            EXPECT_TRUE(dc->DeleteObject(greenBrush));
            EXPECT_TRUE(dc->DeleteObject(blueBrush));
            window.ReleaseDC(dc);
        }),
        WaitUntil([&] { return pixel(15, 185) == red; }),
        Do([&] {
            // The rectangle covers [10, 20) x [180, 190), its border in black.
            EXPECT_EQ(pixel(10, 185), black);
            EXPECT_EQ(pixel(19, 185), black);
            EXPECT_EQ(pixel(15, 180), black);
            EXPECT_EQ(pixel(15, 189), black);
            EXPECT_EQ(pixel(11, 181), red);
            EXPECT_EQ(pixel(18, 188), red);
            EXPECT_EQ(pixel(20, 185), Background());
            EXPECT_EQ(pixel(15, 190), Background());
            EXPECT_EQ(pixel(9, 185), Background());
            EXPECT_EQ(pixel(41, 181), white);
            EXPECT_EQ(pixel(30, 185), Background());
            // The ellipse fills [391, 396) x [257, 264) and is outlined at its edges.
            EXPECT_EQ(pixel(393, 260), green);
            EXPECT_EQ(pixel(391, 260), black);
            EXPECT_EQ(pixel(395, 260), black);
            EXPECT_EQ(pixel(393, 257), black);
            EXPECT_EQ(pixel(393, 263), black);
            EXPECT_EQ(pixel(396, 260), Background());
            EXPECT_EQ(pixel(393, 264), Background());
            EXPECT_EQ(pixel(391, 257), Background()) << "a corner outside the ellipse";
            // The icon, from its top-left corner.
            EXPECT_EQ(pixel(600, 200), Rgb(0x1C, 0x2A, 0x4A));
            EXPECT_EQ(pixel(631, 231), Rgb(0xFA, 0xFA, 0xFA));
            dialog.GetWindow().ShowWindow(SW_HIDE);
            EXPECT_FALSE(dialog.GetWindow().IsIconic());
        }),
        Pause(50ms),
        Do([&] {
            EXPECT_EQ(Output("xwininfo -name KelvarinDrawing 2>/dev/null"), "") << "still shown";
            dialog.filtered.clear();
            dialog.GetWindow().ShowWindow(SW_SHOW);
        }),
        // Shown again, the window asks for a paint and still shows what was drawn.
        WaitUntil([&] { return dialog.Count(WM_PAINT) > 0; }),
        WaitUntil([&] { return pixel(15, 185) == red; }),
    };
    dialog.onInit = [&] { dialog.GetWindow().SetWindowText("KelvarinDrawing"); };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
    EXPECT_TRUE(dialog.Finished());
}

TEST(DesktopWindow, TimersRunAndTheMainWindowIsServedUnderANestedDialog) {
    DesktopPlatform desktop;
    ScriptedDialog main(res::MainDialogTemplate);
    constexpr uint32_t MessageTimer = 3, ProcTimer = 4;
    constexpr int OpenAbout = 999;
    int procCalls = 0;
    int nestedResult = 0;
    auto timerTicks = [&] {
        return std::count_if(main.procedures.begin(), main.procedures.end(), [](const Message& m) {
            return m.message == WM_TIMER;
        });
    };
    ScriptedDialog about(res::AboutDialogTemplate);
    long ticksBefore = 0;
    int callsBefore = 0;
    about.onInit = [&] {
        ticksBefore = timerTicks();
        callsBefore = procCalls;
    };
    about.steps = {
        WaitUntil([&] { return about.Desktop().Toplevel().visible(); }),
        WaitUntil([&] { return timerTicks() >= ticksBefore + 3 && procCalls >= callsBefore + 3; }),
        Do([&] {
            const Fl_Double_Window& box = about.Desktop().Toplevel();
            EXPECT_STREQ(box.label(), "About Sonderel");
            EXPECT_NE(box.border(), 0);
            EXPECT_NE(box.modal(), 0);
            const Fl_Widget* ok = about.Desktop().ControlWidget(IDOK);
            ASSERT_NE(ok, nullptr);
            Xdo("mousemove " + Point(box.x() + ok->x() + ok->w() / 2, box.y() + ok->y() + ok->h() / 2) +
                " click 1");
        }),
        WaitUntil([] { return false; }),  // OK ends the box through default handling
    };
    main.onInit = [&] {
        main.GetWindow().SetTimer(MessageTimer, 20);
        main.GetWindow().SetTimer(ProcTimer, 20, [&] { ++procCalls; });
    };
    main.onWindowProc = [&](UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_COMMAND && CommandId(wParam) == OpenAbout) nestedResult = desktop.RunModal(about);
    };
    long ticksAtKill = 0;
    int callsAtKill = 0;
    main.steps = {
        WaitUntil([&] { return timerTicks() >= 2 && procCalls >= 2; }),
        Do([&] { main.GetWindow().PostMessage(WM_COMMAND, MakeCommand(OpenAbout, BN_CLICKED), 0); }),
        WaitUntil([&] { return nestedResult != 0; }),
        Do([&] {
            main.GetWindow().KillTimer(MessageTimer);
            main.GetWindow().KillTimer(ProcTimer);
            ticksAtKill = timerTicks();
            callsAtKill = procCalls;
        }),
        Pause(100ms),
    };
    EXPECT_EQ(desktop.RunModal(main), 0);
    EXPECT_EQ(nestedResult, IDOK);
    EXPECT_EQ(timerTicks(), ticksAtKill);
    EXPECT_EQ(procCalls, callsAtKill);
    for (const Message& m : main.procedures) {
        if (m.message != WM_TIMER) continue;
        EXPECT_EQ(m.wParam, MessageTimer) << "a procedure's tick went to WindowProc";
    }
}

TEST(DesktopWindow, AltKeysAreSystemKeysAndTheFocusLeavingIsADeactivation) {
    DesktopPlatform desktop;
    const auto& main = res::MainDialogTemplate;
    ScriptedDialog dialog(main);
    auto saw = [&](UINT message, WPARAM wParam, LPARAM lParam) {
        return [&dialog, message, wParam, lParam] { return dialog.Saw(message, wParam, lParam); };
    };
    auto focusOn = [](::Window window) {
        XSetInputFocus(fl_display, window, RevertToParent, CurrentTime);
        XFlush(fl_display);
    };
    dialog.steps = {
        WaitUntil([&] { return dialog.Desktop().Toplevel().visible() && dialog.Count(WM_PAINT) > 0; }),
        Do([&] { focusOn(fl_xid(&dialog.Desktop().Toplevel())); }),
        Pause(100ms),
        Do([&] { Xdo("keydown alt+q keyup q keyup alt key w"); }),
        WaitUntil(saw(WM_KEYUP, 'W', 0xC0000001)),
        Do([&] {
            EXPECT_TRUE(dialog.Saw(WM_SYSKEYDOWN, 'Q', 0x20000001));
            EXPECT_TRUE(dialog.Saw(WM_SYSKEYUP, 'Q', 0xE0000001));
            EXPECT_FALSE(dialog.Saw(WM_KEYDOWN, 'Q', 1));
            EXPECT_FALSE(dialog.Saw(WM_KEYUP, 'Q', 0xC0000001));
            EXPECT_TRUE(dialog.Saw(WM_KEYDOWN, 'W', 1)) << "W came after Alt went up";
            // The focus moving between the window's own controls is no deactivation.
            dialog.GetWindow().SetFocusTo(res::IDC_AMPLITUDE);
            dialog.GetWindow().SetFocusTo(res::IDC_STATUS);
            Xdo("mousemove " + CentreOf(main, res::IDC_RESET_SOUND) + " click 1");
        }),
        WaitUntil(saw(WM_COMMAND, MakeCommand(res::IDC_RESET_SOUND, BN_CLICKED), 0)),
        Do([&] {
            EXPECT_EQ(dialog.Count(WM_ACTIVATE), 0u);
            focusOn(DefaultRootWindow(fl_display));
        }),
        WaitUntil(saw(WM_ACTIVATE, WA_INACTIVE, 0)),
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
        ScriptedDialog main(res::MainDialogTemplate);
        ScriptedDialog about(res::AboutDialogTemplate);
        constexpr int OpenAbout = 999;
        int nestedResult = 0;
        main.onWindowProc = [&](UINT message, WPARAM wParam, LPARAM) {
            if (message == WM_COMMAND && CommandId(wParam) == OpenAbout)
                nestedResult = desktop.RunModal(about);
        };
        main.steps = {
            Do([&] {
                main.GetWindow().PostMessage(WM_COMMAND, MakeCommand(OpenAbout, BN_CLICKED), 0);
            }),
            WaitUntil([] { return false; }),
        };
        about.steps = {
            WaitUntil([&] { return about.Desktop().Toplevel().visible(); }),
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
        ScriptedDialog dialog(res::MainDialogTemplate);
        dialog.steps = {
            WaitUntil([&] { return dialog.Desktop().Toplevel().visible(); }),
            Do([] { std::raise(SIGHUP); }),
            Pause(200ms),
        };
        EXPECT_EQ(desktop.RunModal(dialog), 0);
        EXPECT_FALSE(dialog.Saw(WM_CLOSE, 0, 0));
    }
    std::signal(SIGHUP, SIG_DFL);
}

// ---------------------------------------------------------------------------------
// The handover of samples between the UI thread and the audio thread.

std::vector<uint8_t> LittleEndian(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes;
    for (const int16_t sample : samples) {
        const auto bits = static_cast<uint16_t>(sample);
        bytes.push_back(static_cast<uint8_t>(bits & 0xFF));
        bytes.push_back(static_cast<uint8_t>(bits >> 8));
    }
    return bytes;
}

TEST(SampleFifo, TheAudioThreadGetsEverySampleInOrderAndSilencePastTheEnd) {
    auto fifo = std::make_unique<SampleFifo>();
    constexpr size_t Total = 3 * SampleFifo::Capacity + 12345;  // wraps round several times
    std::atomic<bool> wrong{false};
    std::thread audio([&] {
        std::vector<float> out(333);
        size_t next = 0;
        while (next < Total) {
            const size_t taken = fifo->Read(out.data(), out.size());
            for (size_t i = 0; i < out.size(); ++i) {
                const float expected = i < taken ? static_cast<int16_t>((next + i) * 7919) / 32768.0f : 0.0f;
                if (out[i] != expected) wrong = true;
            }
            next += taken;
        }
    });
    for (size_t written = 0; written < Total;) {
        const size_t count = std::min<size_t>({fifo->Space(), Total - written, 1000});
        std::vector<int16_t> samples(count);
        for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>((written + i) * 7919);
        fifo->Write(LittleEndian(samples).data(), count);
        written += count;
        if (count == 0) std::this_thread::yield();
    }
    audio.join();
    EXPECT_FALSE(wrong);
    EXPECT_EQ(fifo->ReadPosition(), Total);
    EXPECT_EQ(fifo->Space(), SampleFifo::Capacity);
}

struct Blocks {
    explicit Blocks(const std::vector<size_t>& lengths) {
        for (const size_t length : lengths) {
            data.emplace_back(LittleEndian(std::vector<int16_t>(length, static_cast<int16_t>(data.size() + 1))));
            headers.push_back({data.back().data(), static_cast<uint32_t>(2 * length), 0, 0, 1});
        }
        for (WaveHeader& header : headers) pointers.push_back(&header);
    }
    std::vector<std::vector<uint8_t>> data;
    std::vector<WaveHeader> headers;
    std::vector<WaveHeader*> pointers;
};

std::vector<WaveHeader*> DoneBy(BlockQueue& queue, uint64_t position) {
    std::vector<WaveHeader*> done;
    while (WaveHeader* header = queue.PopDone(position)) done.push_back(header);
    return done;
}

TEST(BlockQueue, ABlockIsDoneOnceItsLastSampleIsInTheFifoAndPassed) {
    auto fifo = std::make_unique<SampleFifo>();
    Blocks blocks({100, 100, 0, 100});
    BlockQueue queue(4);
    for (WaveHeader* header : blocks.pointers) EXPECT_TRUE(queue.Push(header));
    WaveHeader extra = blocks.headers[0];
    EXPECT_FALSE(queue.Push(&extra)) << "the queue is full";
    EXPECT_TRUE(DoneBy(queue, 1000).empty()) << "nothing is in the FIFO yet";
    queue.Feed(*fifo);
    EXPECT_EQ(fifo->Space(), SampleFifo::Capacity - 300);
    EXPECT_TRUE(DoneBy(queue, 99).empty());
    EXPECT_EQ(DoneBy(queue, 100), std::vector<WaveHeader*>{blocks.pointers[0]});
    // An empty block is done with the one before it.
    EXPECT_EQ(DoneBy(queue, 299), (std::vector<WaveHeader*>{blocks.pointers[1], blocks.pointers[2]}));
    EXPECT_EQ(queue.Outstanding(), 1u);
    EXPECT_EQ(DoneBy(queue, 300), std::vector<WaveHeader*>{blocks.pointers[3]});
    EXPECT_EQ(queue.Outstanding(), 0u);
    EXPECT_EQ(queue.PopAny(), nullptr);

    std::vector<float> heard(300);
    EXPECT_EQ(fifo->Read(heard.data(), heard.size()), 300u);
    EXPECT_EQ(heard[99], 1 / 32768.0f);
    EXPECT_EQ(heard[100], 2 / 32768.0f);
    EXPECT_EQ(heard[299], 4 / 32768.0f) << "the empty block adds no sample";
}

TEST(BlockQueue, BlocksLongerThanTheFifoGoInAsItEmptiesAndAnEndedStreamGivesAllBack) {
    auto fifo = std::make_unique<SampleFifo>();
    Blocks blocks({SampleFifo::Capacity - 50, 100, 100});
    BlockQueue queue(8);
    for (WaveHeader* header : blocks.pointers) queue.Push(header);
    queue.Feed(*fifo);
    EXPECT_EQ(fifo->Space(), 0u);
    EXPECT_EQ(DoneBy(queue, SampleFifo::Capacity + 1000), std::vector<WaveHeader*>{blocks.pointers[0]})
        << "the second block is only half in";
    std::vector<float> heard(SampleFifo::Capacity);
    fifo->Read(heard.data(), 60);
    queue.Feed(*fifo);
    EXPECT_EQ(DoneBy(queue, SampleFifo::Capacity + 1000), std::vector<WaveHeader*>{blocks.pointers[1]});
    const size_t taken = fifo->Read(heard.data(), heard.size());
    ASSERT_EQ(taken, SampleFifo::Capacity) << "refilled as far as there was room";
    EXPECT_EQ(heard[taken - 11], 2 / 32768.0f) << "the second block's last sample";
    EXPECT_EQ(heard[taken - 10], 3 / 32768.0f) << "the part of the third that fitted";
    queue.Feed(*fifo);
    EXPECT_EQ(queue.PopAny(), blocks.pointers[2]);
    EXPECT_EQ(queue.Outstanding(), 0u);
}

// ---------------------------------------------------------------------------------
// The wave output through the session's JACK server, heard by a JACK client of our own.

// The frequency of a tone, from its rising zero crossings.
double FrequencyOf(const std::vector<float>& recording, unsigned rate) {
    const size_t lookAhead = rate / 441 / 2;
    std::vector<double> crossings;
    for (size_t i = 1; i + lookAhead < recording.size(); ++i) {
        if (!(recording[i - 1] < 0.0f && recording[i] >= 0.0f)) continue;
        const auto peak = std::max_element(recording.begin() + i, recording.begin() + i + lookAhead);
        if (*peak < 0.1f) continue;  // the resampler's ripple, not the tone
        crossings.push_back(i - 1 + recording[i - 1] / (recording[i - 1] - recording[i]));
    }
    if (crossings.size() < 2) return 0.0;
    return rate * (crossings.size() - 1) / (crossings.back() - crossings.front());
}

// What a recording holds from its first to its last sounding sample.
struct Hearing {
    size_t sounding = 0;        // samples from the first sounding one to the last
    size_t longestSilence = 0;  // the longest run of exact zeros among them
    double frequency = 0.0;
    float peak = 0.0f;
};

Hearing Hear(const std::vector<float>& recording, unsigned rate) {
    const auto span = FindGaps(recording.begin(), recording.end(), 0.01);
    if (span.first == recording.end()) return {};
    Hearing heard;
    heard.sounding = static_cast<size_t>(span.last - span.first);
    heard.longestSilence = span.longestSilence;
    for (auto it = span.first; it != span.last; ++it) heard.peak = std::max(heard.peak, std::fabs(*it));
    heard.frequency = FrequencyOf({span.first, span.last}, rate);
    return heard;
}

class JackListener {
public:
    JackListener() {
        client_ = jack_client_open("kelvarin-listener", JackNoStartServer, nullptr);
        if (!client_) return;
        rate_ = jack_get_sample_rate(client_);
        recording_.resize(rate_ * 20);
        port_ = jack_port_register(client_, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client_, &Process, this);
        jack_activate(client_);
        // A stream that an earlier test closed may still be leaving; the next one must
        // get its name.
        for (int i = 0; i < 100 && StreamPortsLeft(); ++i) std::this_thread::sleep_for(100ms);
    }
    ~JackListener() {
        if (client_) jack_client_close(client_);
    }
    bool Ready() const { return client_ && port_; }
    unsigned Rate() const { return rate_; }
    bool Listen(const std::string& source) {
        return jack_connect(client_, source.c_str(), jack_port_name(port_)) == 0;
    }
    // Whether the port named source feeds the one named sink.
    bool Joined(const std::string& source, const std::string& sink) const {
        jack_port_t* port = jack_port_by_name(client_, source.c_str());
        return port && jack_port_connected_to(port, sink.c_str());
    }
    std::vector<float> Recording() const {
        return {recording_.begin(), recording_.begin() + static_cast<std::ptrdiff_t>(recorded_.load())};
    }
    // Between the first and the last sounding sample: the resampler's ripple before
    // the sound would cross zero too.
    double HeardFrequency() const { return Hear(Recording(), rate_).frequency; }

private:
    bool StreamPortsLeft() const {
        const char** ports = jack_get_ports(client_, "^Kelvarin", nullptr, 0);
        if (!ports) return false;
        jack_free(ports);
        return true;
    }

    // The port's buffer is filled from another client's by the JACK server, in an order
    // that ThreadSanitizer cannot see, so its reads are left unchecked.
    __attribute__((no_sanitize("thread"))) static int Process(jack_nframes_t frames, void* data) {
        auto* self = static_cast<JackListener*>(data);
        const auto* in = static_cast<const float*>(jack_port_get_buffer(self->port_, frames));
        const size_t at = self->recorded_.load();
        const size_t count = std::min<size_t>(frames, self->recording_.size() - at);
        for (size_t i = 0; i < count; ++i) self->recording_[at + i] = in[i];
        self->recorded_.store(at + count);
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    unsigned rate_ = 0;
    std::vector<float> recording_;
    std::atomic<size_t> recorded_{0};
};

constexpr WaveFormat CdMono = {WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16};
constexpr int SamplesPerBlock = 100;
constexpr uint32_t WHDR_DONE = 0x01;

// Blocks of one period each of a 441 Hz tone at 44100 Hz.
struct ToneBlocks {
    explicit ToneBlocks(size_t count) : samples(count * SamplesPerBlock), headers(count) {
        for (size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<int16_t>(16000 * std::sin(2 * std::numbers::pi * (i % SamplesPerBlock) / SamplesPerBlock));
        }
        for (size_t i = 0; i < count; ++i) {
            headers[i] = {reinterpret_cast<uint8_t*>(&samples[i * SamplesPerBlock]), 2 * SamplesPerBlock, 0, 0, 1};
        }
    }
    std::vector<int16_t> samples;
    std::vector<WaveHeader> headers;
};

// Writes every block on init and takes them back as they come, checking each.
class PlayingDialog : public ScriptedDialog {
public:
    PlayingDialog(WaveOut& waveOut, ToneBlocks& blocks)
        : ScriptedDialog(res::MainDialogTemplate), waveOut_(waveOut), blocks_(blocks) {}

    WaveOutHandle handle = nullptr;
    std::vector<WaveHeader*> returned;
    std::function<void()> afterOpen;

    bool OnInitDialog() override {
        EXPECT_EQ(waveOut_.Open(handle, CdMono, GetWindow()), MMSYSERR_NOERROR);
        if (afterOpen) afterOpen();
        for (WaveHeader& header : blocks_.headers) {
            EXPECT_EQ(waveOut_.PrepareHeader(handle, &header), MMSYSERR_NOERROR);
            EXPECT_EQ(waveOut_.Write(handle, &header), MMSYSERR_NOERROR);
        }
        return ScriptedDialog::OnInitDialog();
    }
    bool PreTranslateMessage(const Message& message) override {
        if (message.message == MM_WOM_DONE) {
            auto* header = reinterpret_cast<WaveHeader*>(message.lParam);
            EXPECT_EQ(message.wParam, reinterpret_cast<WPARAM>(handle));
            EXPECT_NE(header->flags & WHDR_DONE, 0u);
            EXPECT_EQ(waveOut_.UnprepareHeader(handle, header), MMSYSERR_NOERROR);
            returned.push_back(header);
        }
        return ScriptedDialog::PreTranslateMessage(message);
    }
    bool AllReturned() const { return returned.size() >= blocks_.headers.size(); }
    std::vector<WaveHeader*> Written() const {
        std::vector<WaveHeader*> written;
        for (WaveHeader& header : blocks_.headers) written.push_back(&header);
        return written;
    }

private:
    WaveOut& waveOut_;
    ToneBlocks& blocks_;
};

TEST(WaveOut, EveryBlockComesBackOnceInOrderAndSoundsAtItsPitch) {
    DesktopPlatform desktop;
    WaveOut& waveOut = desktop.GetWaveOut();
    JackListener listener;
    ASSERT_TRUE(listener.Ready()) << "no JACK server; run through with_desktop_session.sh";
    ToneBlocks blocks(700);  // more than the FIFO holds at once
    PlayingDialog dialog(waveOut, blocks);
    dialog.afterOpen = [&] { EXPECT_TRUE(listener.Listen("Kelvarin:outport 0")); };
    WaveHeader unprepared = {blocks.headers[0].data, 200, 0, 0, 1};
    dialog.steps = {
        Do([&] {
            EXPECT_EQ(waveOut.Write(dialog.handle, &unprepared), WAVERR_UNPREPARED);
            EXPECT_EQ(waveOut.Close(dialog.handle), WAVERR_STILLPLAYING);
        }),
        WaitUntil([&] { return dialog.AllReturned(); }),
        Pause(100ms),  // nothing more may come back
        Do([&] {
            EXPECT_EQ(waveOut.Close(dialog.handle), MMSYSERR_NOERROR);
            WaveHeader late = {blocks.headers[0].data, 200, 0, 0, 1};
            EXPECT_NE(waveOut.PrepareHeader(dialog.handle, &late), MMSYSERR_NOERROR);
            EXPECT_NE(waveOut.Write(dialog.handle, &late), MMSYSERR_NOERROR);
        }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
    EXPECT_EQ(dialog.returned, dialog.Written());
    EXPECT_NEAR(listener.HeardFrequency(), 441.0, 441.0 * 0.005) << "at " << listener.Rate() << " Hz";
}

// The session's dummy system is stereo: both of its speakers play the mono signal.
TEST(WaveOut, BothSidesOfAStereoSystemPlayTheNote) {
    DesktopPlatform desktop;
    WaveOut& waveOut = desktop.GetWaveOut();
    JackListener right;
    ASSERT_TRUE(right.Ready()) << "no JACK server; run through with_desktop_session.sh";
    ToneBlocks blocks(200);
    PlayingDialog dialog(waveOut, blocks);
    dialog.afterOpen = [&] {
        EXPECT_TRUE(right.Listen("Kelvarin:outport 1"));
        EXPECT_TRUE(right.Joined("Kelvarin:outport 0", "system:playback_1"));
        EXPECT_TRUE(right.Joined("Kelvarin:outport 1", "system:playback_2"));
    };
    dialog.steps = {
        WaitUntil([&] { return dialog.AllReturned(); }),
        Pause(100ms),  // blocks come back a device period before they are heard
        Do([&] { EXPECT_EQ(waveOut.Close(dialog.handle), MMSYSERR_NOERROR); }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
    const Hearing heard = Hear(right.Recording(), right.Rate());
    EXPECT_NEAR(heard.frequency, 441.0, 441.0 * 0.005) << "at " << right.Rate() << " Hz";
    EXPECT_NEAR(heard.peak, 16000 / 32768.0, 0.02);
}

TEST(WaveOut, OnlySixteenBitMonoPcmOpens) {
    DesktopPlatform desktop;
    ScriptedDialog dialog(res::MainDialogTemplate);
    dialog.steps = {Do([&] {
        WaveFormat stereo = CdMono;
        stereo.channels = 2;
        stereo.blockAlign = 4;
        WaveOutHandle handle = reinterpret_cast<WaveOutHandle>(1);
        EXPECT_EQ(desktop.GetWaveOut().Open(handle, stereo, dialog.GetWindow()), WAVERR_BADFORMAT);
        EXPECT_EQ(handle, nullptr);
    })};
    EXPECT_EQ(desktop.RunModal(dialog), 0);
}

// Stops the session's JACK server, so it runs in a session of its own.
TEST(WaveOut, WhenTheServerVanishesEveryQueuedBlockComesBack) {
    const char* jackd = std::getenv("KELVARIN_TEST_JACKD_PID");
    if (!std::getenv("KELVARIN_TEST_MAY_STOP_JACKD") || !jackd) {
        GTEST_SKIP() << "needs a JACK server of its own to stop";
    }
    DesktopPlatform desktop;
    WaveOut& waveOut = desktop.GetWaveOut();
    ToneBlocks blocks(2000);  // about 4.5 s of sound
    PlayingDialog dialog(waveOut, blocks);
    dialog.steps = {
        WaitUntil([&] { return dialog.returned.size() >= 10; }),
        Do([&] { EXPECT_EQ(kill(static_cast<pid_t>(std::atoll(jackd)), SIGKILL), 0); }),
        WaitUntil([&] { return dialog.AllReturned(); }),
        Do([&] {
            WaveHeader late = {blocks.headers[0].data, 200, 0, 0, 1};
            EXPECT_EQ(waveOut.PrepareHeader(dialog.handle, &late), MMSYSERR_NOERROR);
            const MmResult refused = waveOut.Write(dialog.handle, &late);
            EXPECT_NE(refused, MMSYSERR_NOERROR) << "the device is gone";
            EXPECT_NE(waveOut.GetErrorText(refused).find("lost: the sound server ended the stream"),
                      std::string::npos) << waveOut.GetErrorText(refused);
            EXPECT_EQ(waveOut.Close(dialog.handle), MMSYSERR_NOERROR);
        }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
    EXPECT_EQ(dialog.returned, dialog.Written());
}


// ---------------------------------------------------------------------------------
// The wave output fed as the program feeds it, through every sound system and period.

// Records the left side of the private PulseAudio server's null sink
// (with_desktop_session.sh --pulse or --pipewire): PipeWire would sum both to mono.
class PulseRecorder {
public:
    static constexpr unsigned Rate = 44100;

    PulseRecorder() {
        char pattern[] = "/tmp/kelvarin-parec-XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd < 0) return;
        path_ = pattern;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fd, STDOUT_FILENO);
        const char* const argv[] = {"parec", "--latency-msec=20", "--device=null.monitor", "--format=float32le",
                                    "--rate=44100", "--channels=1", "--channel-map=front-left", "--raw", nullptr};
        if (posix_spawnp(&pid_, "parec", &actions, nullptr, const_cast<char* const*>(argv), environ) != 0) pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
        close(fd);
        std::this_thread::sleep_for(500ms);  // connected before the sound starts
    }
    ~PulseRecorder() {
        Stop();
        if (!path_.empty()) std::filesystem::remove(path_);
    }
    bool Running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
    std::vector<float> Stop() {
        if (pid_ > 0) {
            kill(pid_, SIGINT);
            waitpid(pid_, nullptr, 0);
            pid_ = 0;
        }
        std::ifstream file(path_, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::vector<float> samples(bytes.size() / sizeof(float));
        std::copy_n(bytes.data(), samples.size() * sizeof(float), reinterpret_cast<char*>(samples.data()));
        return samples;
    }

private:
    std::string path_;
    pid_t pid_ = 0;
};

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec * 1e-9;
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Renders blocks of the tone on the device's thread, then silence: as many as are
// queued, whether the device plays them in their places or fills in with them.
class ToneRenderer final : public BlockRenderer {
public:
    explicit ToneRenderer(size_t toneBlocks) : toneBlocks_(toneBlocks) {}
    void RenderBlock(int16_t* samples, size_t count) override {
        const bool tone = rendered_.fetch_add(1, std::memory_order_relaxed) < toneBlocks_;
        for (size_t i = 0; i < count; ++i) samples[i] = tone ? tone_.samples[i % SamplesPerBlock] : 0;
    }
    size_t Rendered() const { return rendered_.load(std::memory_order_relaxed); }

private:
    size_t toneBlocks_;
    std::atomic<size_t> rendered_{0};
    ToneBlocks tone_{1};
};

// Feeds the wave output as the program does: 60 blocks in flight, silent ones first,
// and one new block for each that comes back, taking its time over each, until
// toneBlocks blocks of the tone have gone out. Checks that the blocks come back in the
// order written. With a renderer, as the program does for live playing: fewer blocks
// in flight, whose tone the device renders.
class StreamingDialog : public ScriptedDialog {
public:
    static constexpr auto BlockWork = 300us;

    StreamingDialog(WaveOut& waveOut, size_t toneBlocks, size_t inFlight = 60, BlockRenderer* renderer = nullptr)
        : ScriptedDialog(res::MainDialogTemplate), waveOut_(waveOut), inFlight_(inFlight),
          total_(inFlight + toneBlocks), renderer_(renderer), silence_(SamplesPerBlock, 0), tone_(1),
          headers_(inFlight + 4) {}

    WaveOutHandle handle = nullptr;
    std::function<void()> afterOpen;
    size_t written = 0;
    size_t returned = 0;
    bool inOrder = true;
    MmResult refusal = MMSYSERR_NOERROR;  // of the first write that failed

    bool OnInitDialog() override {
        EXPECT_EQ(renderer_ ? waveOut_.OpenRendered(handle, CdMono, GetWindow(), *renderer_)
                            : waveOut_.Open(handle, CdMono, GetWindow()),
                  MMSYSERR_NOERROR);
        if (afterOpen) afterOpen();
        for (size_t i = 0; i < inFlight_; ++i) WriteNext();
        return ScriptedDialog::OnInitDialog();
    }
    bool PreTranslateMessage(const Message& message) override {
        if (message.message == MM_WOM_DONE) {
            auto* header = reinterpret_cast<WaveHeader*>(message.lParam);
            inOrder = inOrder && header == &headers_[returned % headers_.size()];
            EXPECT_EQ(waveOut_.UnprepareHeader(handle, header), MMSYSERR_NOERROR);
            ++returned;
            // As long as the program takes to render a block and show its fields.
            const Clock::time_point busyUntil = Clock::now() + BlockWork;
            while (Clock::now() < busyUntil) {
            }
            if (refusal == MMSYSERR_NOERROR && written < total_) WriteNext();
        }
        return ScriptedDialog::PreTranslateMessage(message);
    }
    bool Drained() const { return written == total_ && returned == written; }
    bool Lost() const { return refusal != MMSYSERR_NOERROR && returned == written; }

private:
    void WriteNext() {
        // A header comes back before the ring wraps round to it: at most inFlight_ are out.
        WaveHeader& header = headers_[written % headers_.size()];
        const bool silent = written < inFlight_;
        const int16_t* samples = silent ? silence_.data() : tone_.samples.data();
        const uint32_t flags = renderer_ && !silent ? WHDR_RENDER : 0;
        header = {reinterpret_cast<uint8_t*>(const_cast<int16_t*>(samples)), 2 * SamplesPerBlock, 0, flags, 1};
        EXPECT_EQ(waveOut_.PrepareHeader(handle, &header), MMSYSERR_NOERROR);
        const MmResult result = waveOut_.Write(handle, &header);
        if (result == MMSYSERR_NOERROR) {
            ++written;
        } else {
            refusal = result;
        }
    }

    WaveOut& waveOut_;
    size_t inFlight_;
    size_t total_;
    BlockRenderer* renderer_;
    std::vector<int16_t> silence_;
    ToneBlocks tone_;
    std::vector<WaveHeader> headers_;
};

constexpr size_t HeldNoteBlocks = 882;  // 2 s

void ExpectAHeldNoteWithoutGaps(size_t inFlight, ToneRenderer* renderer) {
    constexpr size_t ToneBlocks = HeldNoteBlocks;
    std::unique_ptr<PulseRecorder> pulse;
    std::unique_ptr<JackListener> jack;
    if (std::getenv("KELVARIN_TEST_PULSE_PID")) {
        pulse = std::make_unique<PulseRecorder>();
        ASSERT_TRUE(pulse->Running()) << "parec did not start";
    } else {
        jack = std::make_unique<JackListener>();
        ASSERT_TRUE(jack->Ready()) << "no JACK server; run through with_desktop_session.sh";
    }
    DesktopPlatform desktop;
    StreamingDialog dialog(desktop.GetWaveOut(), ToneBlocks, inFlight, renderer);
    if (jack) dialog.afterOpen = [&] { EXPECT_TRUE(jack->Listen("Kelvarin:outport 0")); };
    size_t renderedByThen = 0;
    dialog.steps = {
        WaitUntil([&] { return dialog.Drained(); }),
        Do([&] { renderedByThen = renderer ? renderer->Rendered() : 0; }),
        Pause(600ms),  // blocks come back up to a device period before they are heard
        Do([&] { EXPECT_EQ(desktop.GetWaveOut().Close(dialog.handle), MMSYSERR_NOERROR); }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
    EXPECT_TRUE(dialog.inOrder);
    // Blocks the device filled in for a late window are rendered too; most must have
    // played in their places, the queue having grown to cover the device's period.
    EXPECT_LT(renderedByThen, ToneBlocks * 3 / 2) << "the device filled in for most blocks";

    const unsigned rate = pulse ? PulseRecorder::Rate : jack->Rate();
    const Hearing heard = Hear(pulse ? pulse->Stop() : jack->Recording(), rate);
    const double toneLength = ToneBlocks * SamplesPerBlock * rate / 44100.0;
    EXPECT_LT(heard.longestSilence, 64u) << "a gap in the sound";
    EXPECT_NEAR(heard.sounding, toneLength, toneLength * 0.01) << "the tone is cut or stretched";
    EXPECT_NEAR(heard.frequency, 441.0, 441.0 * 0.005);
    EXPECT_NEAR(heard.peak, 16000 / 32768.0, 0.02);
}

TEST(WaveOut, AHeldNoteSoundsWithoutGapsAtItsPitchAndLevel) { ExpectAHeldNoteWithoutGaps(60, nullptr); }

// Two blocks in flight, rendered on the device's thread; the device's period may be
// longer than they are.
TEST(WaveOut, AHeldNoteRenderedByTheDeviceFromTwoBlocksSoundsWithoutGaps) {
    ToneRenderer renderer(HeldNoteBlocks);
    ExpectAHeldNoteWithoutGaps(2, &renderer);
}

// Stops the session's JACK server, so it runs in a session of its own.
TEST(WaveOut, WhenTheServerHangsNothingWaitsOnItForLong) {
    const char* jackd = std::getenv("KELVARIN_TEST_JACKD_PID");
    if (!std::getenv("KELVARIN_TEST_MAY_STOP_JACKD") || !jackd) {
        GTEST_SKIP() << "needs a JACK server of its own to stop";
    }
    const auto server = static_cast<pid_t>(std::atoll(jackd));
    // The server goes on in the end, and the streams given up on close by themselves.
    struct ResumeServer {
        pid_t pid;
        ~ResumeServer() {
            kill(pid, SIGCONT);
            std::this_thread::sleep_for(1500ms);
        }
    } resumeServer{server};
    DesktopPlatform desktop;
    WaveOut& waveOut = desktop.GetWaveOut();
    StreamingDialog dialog(waveOut, 1000000);
    Clock::time_point stopped;
    double cpuAtStop = 0.0;
    dialog.steps = {
        WaitUntil([&] { return dialog.returned >= 100; }),
        Do([&] {
            ASSERT_EQ(kill(server, SIGSTOP), 0);
            stopped = Clock::now();
            cpuAtStop = ProcessCpuSeconds();
        }),
        // A drain would wait for these blocks, so they come back: the device is lost.
        WaitUntil([&] { return dialog.Lost(); }),
        Do([&] {
            EXPECT_LT(SecondsSince(stopped), 10.0) << "the stall was noticed late";
            EXPECT_LT(ProcessCpuSeconds() - cpuAtStop, 0.5 * SecondsSince(stopped)) << "spinning";
            EXPECT_NE(waveOut.GetErrorText(dialog.refusal).find("stopped answering"), std::string::npos)
                << waveOut.GetErrorText(dialog.refusal);
            const Clock::time_point closing = Clock::now();
            EXPECT_EQ(waveOut.Close(dialog.handle), MMSYSERR_NOERROR);
            EXPECT_LT(SecondsSince(closing), 3.0);
            // Opening gives up too, and the program goes on silent.
            const Clock::time_point opening = Clock::now();
            WaveOutHandle handle = nullptr;
            EXPECT_NE(waveOut.Open(handle, CdMono, dialog.GetWindow()), MMSYSERR_NOERROR);
            EXPECT_EQ(handle, nullptr);
            EXPECT_LT(SecondsSince(opening), 5.0);
        }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
    EXPECT_TRUE(dialog.inOrder);
}

// Kills the private PulseAudio server, so it runs in a session of its own.
TEST(WaveOut, WhenPulseAudioDiesEveryQueuedBlockComesBackAndNothingSpins) {
    const char* pulseaudio = std::getenv("KELVARIN_TEST_PULSE_PID");
    if (!std::getenv("KELVARIN_TEST_MAY_STOP_PULSE") || !pulseaudio) {
        GTEST_SKIP() << "needs a PulseAudio server of its own to kill";
    }
    DesktopPlatform desktop;
    WaveOut& waveOut = desktop.GetWaveOut();
    StreamingDialog dialog(waveOut, 1000000);
    Clock::time_point killed;
    double cpuAtLoss = 0.0;
    dialog.steps = {
        WaitUntil([&] { return dialog.returned >= 200; }),
        Do([&] {
            ASSERT_EQ(kill(static_cast<pid_t>(std::atoll(pulseaudio)), SIGKILL), 0);
            killed = Clock::now();
        }),
        WaitUntil([&] { return dialog.Lost(); }),
        Do([&] {
            EXPECT_LT(SecondsSince(killed), 3.0);
            EXPECT_NE(waveOut.GetErrorText(dialog.refusal).find("RtApiPulse"), std::string::npos)
                << "the library's reason: " << waveOut.GetErrorText(dialog.refusal);
            cpuAtLoss = ProcessCpuSeconds();
        }),
        Pause(1000ms),
        Do([&] {
            EXPECT_LT(ProcessCpuSeconds() - cpuAtLoss, 0.3) << "spinning after the loss";
            EXPECT_EQ(waveOut.Close(dialog.handle), MMSYSERR_NOERROR);
        }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
    EXPECT_TRUE(dialog.inOrder);
}

// A sound server started as with_desktop_session.sh starts the session's, in its place.
// The session knows only the server it started, so this one is stopped here, and dies
// with the test if the test dies first.
class OwnServer {
public:
    // settings ("NAME=value") replace the environment's own, and unset leaves some out.
    OwnServer(std::vector<std::string> arguments, const std::vector<std::string>& settings,
              const std::vector<std::string>& unset = {}) {
        char pattern[] = "/tmp/kelvarin-server-XXXXXX";
        const int log = mkstemp(pattern);
        if (log < 0) return;
        log_ = pattern;
        std::vector<std::string> environment = settings;
        for (char** variable = environ; *variable; ++variable) {
            const std::string text = *variable;
            const std::string name = text.substr(0, text.find('=') + 1);
            const auto named = [&](const std::string& other) { return other.starts_with(name); };
            if (std::none_of(settings.begin(), settings.end(), named) &&
                std::find(unset.begin(), unset.end(), name.substr(0, name.size() - 1)) == unset.end()) {
                environment.push_back(text);
            }
        }
        // Built before the fork: the child of a threaded process only execs.
        std::vector<char*> argv, envp;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        for (std::string& variable : environment) envp.push_back(variable.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            dup2(log, STDOUT_FILENO);
            dup2(log, STDERR_FILENO);
            execvpe(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        close(log);
    }
    ~OwnServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            for (int i = 0; i < 50 && waitpid(pid_, &status, WNOHANG) == 0; ++i) std::this_thread::sleep_for(100ms);
            if (kill(pid_, SIGKILL) == 0) waitpid(pid_, &status, 0);
        }
        if (!log_.empty()) std::filesystem::remove(log_);
    }
    // A client that comes during start-up may be turned away, so it asks again.
    bool WaitReady(const std::function<bool()>& answers) {
        for (int i = 0; i < 100 && pid_ > 0; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) != 0) {
                pid_ = 0;
                break;
            }
            if (answers()) return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }
    std::string Log() const {
        std::ifstream file(log_);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

private:
    pid_t pid_ = 0;
    std::string log_;
};

// The session's shell reaps the killed server; until then its name or socket is taken.
bool Reaped(pid_t server) {
    for (int i = 0; i < 100 && kill(server, 0) == 0; ++i) std::this_thread::sleep_for(100ms);
    return kill(server, 0) != 0;
}

// Plays until afterBlocks have come back, kills the server, and waits until every block
// is back and the write refused, as "Stop" would then close the device. Gives the refusal.
MmResult PlayUntilTheServerDies(DesktopPlatform& desktop, WaveOut& waveOut, pid_t server,
                                size_t afterBlocks) {
    StreamingDialog lost(waveOut, 1000000);
    lost.steps = {
        WaitUntil([&] { return lost.returned >= afterBlocks; }),
        Do([&] { ASSERT_EQ(kill(server, SIGKILL), 0); }),
        WaitUntil([&] { return lost.Lost(); }),
        Do([&] { EXPECT_EQ(waveOut.Close(lost.handle), MMSYSERR_NOERROR); }),
    };
    EXPECT_EQ(desktop.RunModal(lost), 0);
    return lost.refusal;
}

constexpr size_t AgainBlocks = 882;  // 2 s

// "Generate Mode" again: a new open plays a held note whole, in order, with no refusal.
void PlayAgain(DesktopPlatform& desktop, WaveOut& waveOut, std::function<void()> afterOpen) {
    StreamingDialog again(waveOut, AgainBlocks);
    if (afterOpen) again.afterOpen = std::move(afterOpen);
    again.steps = {
        WaitUntil([&] { return again.Drained(); }),
        Pause(600ms),  // blocks come back up to a device period before they are heard
        Do([&] { EXPECT_EQ(waveOut.Close(again.handle), MMSYSERR_NOERROR); }),
    };
    ASSERT_EQ(desktop.RunModal(again), 0);
    EXPECT_TRUE(again.inOrder);
    EXPECT_EQ(again.refusal, MMSYSERR_NOERROR) << waveOut.GetErrorText(again.refusal);
}

// Under ThreadSanitizer the program, and the listener inside it, run several times slower
// and on a busy machine miss a server period now and then, which cuts or stretches the
// note by a period or two: there the note must come back at about its length and pitch.
#if defined(__SANITIZE_THREAD__)
constexpr double LengthTolerance = 0.25;
constexpr double PitchTolerance = 0.1;
#else
constexpr double LengthTolerance = 0.01;
constexpr double PitchTolerance = 0.005;
#endif

void ExpectTheHeldNote(const Hearing& heard, unsigned rate) {
    const double toneLength = AgainBlocks * SamplesPerBlock * rate / 44100.0;
    EXPECT_NEAR(heard.sounding, toneLength, toneLength * LengthTolerance) << "the tone is cut or stretched";
    EXPECT_NEAR(heard.frequency, 441.0, 441.0 * PitchTolerance);
    EXPECT_NEAR(heard.peak, 16000 / 32768.0, 0.02);
}

// Kills the session's JACK server, so it runs in a session of its own.
TEST(WaveOut, OnceTheServerIsBackANewOpenPlaysAHeldNote) {
    const char* jackd = std::getenv("KELVARIN_TEST_JACKD_PID");
    const char* name = std::getenv("JACK_DEFAULT_SERVER");
    if (!std::getenv("KELVARIN_TEST_MAY_STOP_JACKD") || !jackd || !name) {
        GTEST_SKIP() << "needs a JACK server of its own to stop";
    }
    const auto server = static_cast<pid_t>(std::atoll(jackd));
    // The new server runs as the session's did.
    unsigned rate = 0, period = 0;
    {
        jack_client_t* client = jack_client_open("kelvarin-probe", JackNoStartServer, nullptr);
        ASSERT_NE(client, nullptr) << "no JACK server; run through with_desktop_session.sh";
        rate = jack_get_sample_rate(client);
        period = jack_get_buffer_size(client);
        jack_client_close(client);
    }
    DesktopPlatform desktop;
    WaveOut& waveOut = desktop.GetWaveOut();

    // Playing when the server dies: every block comes back, and "Stop" closes the device.
    const MmResult refusal = PlayUntilTheServerDies(desktop, waveOut, server, 100);
    EXPECT_NE(waveOut.GetErrorText(refusal).find("lost: the sound server ended the stream"),
              std::string::npos) << waveOut.GetErrorText(refusal);

    ASSERT_TRUE(Reaped(server)) << "the killed server was never reaped";
    // Semaphores that the killed server of this name left behind.
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm")) {
        const std::string file = entry.path().filename().string();
        if (file.starts_with("jack_sem.") && file.find(std::string("_") + name + "_") != std::string::npos) {
            std::filesystem::remove(entry.path());
        }
    }
    OwnServer restarted({"jackd", "--no-realtime", "--name", name, "-d", "dummy", "-r", std::to_string(rate),
                         "-p", std::to_string(period)},
                        {"JACK_NO_AUDIO_RESERVATION=1"});
    ASSERT_TRUE(restarted.WaitReady([] {
        jack_client_t* client = jack_client_open("kelvarin-probe", JackNoStartServer, nullptr);
        if (client) jack_client_close(client);
        return client != nullptr;
    })) << "jackd did not start again:\n" << restarted.Log();

    // "Generate Mode" again: a new open on the new server plays the held note.
    JackListener listener;
    ASSERT_TRUE(listener.Ready()) << "cannot listen on the new server";
    PlayAgain(desktop, waveOut, [&] { EXPECT_TRUE(listener.Listen("Kelvarin:outport 0")); });
    ExpectTheHeldNote(Hear(listener.Recording(), listener.Rate()), listener.Rate());
}


// Kills the private PulseAudio server, so it runs in a session of its own.
TEST(WaveOut, OncePulseAudioIsBackANewOpenPlaysAHeldNote) {
    const char* pulseaudio = std::getenv("KELVARIN_TEST_PULSE_PID");
    const char* address = std::getenv("PULSE_SERVER");
    if (!std::getenv("KELVARIN_TEST_MAY_STOP_PULSE") || !pulseaudio || !address ||
        !std::string(address).starts_with("unix:")) {
        GTEST_SKIP() << "needs a PulseAudio server of its own to kill";
    }
    const auto server = static_cast<pid_t>(std::atoll(pulseaudio));
    DesktopPlatform desktop;
    WaveOut& waveOut = desktop.GetWaveOut();

    PlayUntilTheServerDies(desktop, waveOut, server, 200);

    ASSERT_TRUE(Reaped(server)) << "the killed server was never reaped";
    const std::string socket = std::string(address).substr(5);
    OwnServer restarted({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                         "--log-target=stderr", "-L",
                         "module-native-protocol-unix socket=" + socket + " auth-anonymous=1", "-L",
                         "module-null-sink sink_name=null rate=44100"},
                        {"DBUS_SESSION_BUS_ADDRESS=disabled:"}, {"DISPLAY"});
    ASSERT_TRUE(restarted.WaitReady([] { return std::system("pactl info >/dev/null 2>&1") == 0; }))
        << "pulseaudio did not start again:\n" << restarted.Log();

    PulseRecorder recorder;
    ASSERT_TRUE(recorder.Running()) << "parec did not start";
    PlayAgain(desktop, waveOut, nullptr);
    ExpectTheHeldNote(Hear(recorder.Stop(), PulseRecorder::Rate), PulseRecorder::Rate);
}

}  // namespace
}  // namespace platform::desktop
