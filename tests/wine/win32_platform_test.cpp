// The Windows platform for real, in a Wine session with an X server and a sound server
// (wine_session.sh): dialogs made by the dialog manager and run by the program's own
// loop, their controls, timers and drawing, and the wave output's blocks coming back.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/win32/dialog_window.h"
#include "platform/win32/win32_platform.h"
#include "res/control_ids.h"
#include "res/dialog_template.h"

namespace {

using platform::Message;
using platform::MakeCommand;
using namespace res;

constexpr int Marker = 4321;  // a command id no control has

// A dialog whose behaviour each test writes: what it does once started, which messages
// its filter swallows, and what its window procedure does; it records what it saw.
class ScriptedDialog : public platform::Dialog {
public:
    explicit ScriptedDialog(const DialogTemplate& dialogTemplate = MainDialogTemplate)
        : Dialog(dialogTemplate) {}

    bool OnInitDialog() override {
        initialised = true;
        if (onInit) onInit();
        return false;
    }
    bool PreTranslateMessage(const Message& message) override {
        filtered.push_back(message);
        return swallow && swallow(message);
    }
    platform::LRESULT WindowProc(platform::UINT message, platform::WPARAM wParam,
                                 platform::LPARAM lParam) override {
        handled.push_back({message, wParam, lParam});
        if (message == WM_CREATE) {
            createdWithControls = IsWindow(Item(IDC_STATUS)) != 0;
            return refuseCreate ? -1 : 0;
        }
        if (onMessage) {
            if (const auto result = onMessage(message, wParam, lParam)) return *result;
        }
        return GetWindow().DefWindowProc(message, wParam, lParam);
    }

    HWND Handle() const { return static_cast<platform::win32::DialogWindow&>(GetWindow()).Handle(); }
    HWND Item(int id) const { return GetDlgItem(Handle(), id); }
    bool IsCommand(const Message& m, int id) const {
        return m.message == WM_COMMAND && platform::CommandId(m.wParam) == id;
    }
    int Handled(platform::UINT message, platform::WPARAM wParam) const {
        int count = 0;
        for (const Message& m : handled) count += m.message == message && m.wParam == wParam;
        return count;
    }

    std::function<void()> onInit;
    std::function<bool(const Message&)> swallow;
    std::function<std::optional<platform::LRESULT>(platform::UINT, platform::WPARAM, platform::LPARAM)>
        onMessage;
    bool refuseCreate = false;
    bool initialised = false;
    bool createdWithControls = false;
    std::vector<Message> filtered;
    std::vector<Message> handled;
};

// Ends the dialog with result when the marker command arrives, after whatever the
// test posted before it.
void EndAtMarker(ScriptedDialog& dialog, int result, std::function<void()> check = nullptr) {
    dialog.onMessage = [&dialog, result, check](platform::UINT message, platform::WPARAM wParam,
                                                platform::LPARAM) -> std::optional<platform::LRESULT> {
        if (message != WM_COMMAND || platform::CommandId(wParam) != Marker) return std::nullopt;
        if (check) check();
        dialog.GetWindow().EndDialog(result);
        return 0;
    };
}

void PostMarker(ScriptedDialog& dialog) {
    dialog.GetWindow().PostMessage(WM_COMMAND, MakeCommand(Marker, BN_CLICKED), 0);
}

class Win32Dialogs : public testing::Test {
protected:
    platform::win32::Win32Platform platform;
};

TEST_F(Win32Dialogs, ADialogStartsWithItsControlsAndEndsWithTheResultItWasGiven) {
    ScriptedDialog dialog;
    dialog.onInit = [&] { PostMarker(dialog); };
    EndAtMarker(dialog, 42);
    EXPECT_EQ(platform.RunModal(dialog), 42);
    ASSERT_FALSE(dialog.handled.empty());
    EXPECT_EQ(dialog.handled.front().message, WM_CREATE);
    EXPECT_TRUE(dialog.createdWithControls);
    EXPECT_TRUE(dialog.initialised);
    EXPECT_FALSE(dialog.HasWindow());
}

TEST_F(Win32Dialogs, ADialogThatRefusesCreationNeverStarts) {
    ScriptedDialog dialog;
    dialog.refuseCreate = true;
    EXPECT_EQ(platform.RunModal(dialog), -1);
    EXPECT_FALSE(dialog.initialised);
}

TEST_F(Win32Dialogs, PostedMessagesPassTheFilterFirstAndASwallowedOneGoesNoFurther) {
    ScriptedDialog dialog;
    dialog.swallow = [&](const Message& m) { return dialog.IsCommand(m, 77); };
    dialog.onInit = [&] {
        dialog.GetWindow().PostMessage(WM_COMMAND, MakeCommand(77, BN_CLICKED), 0);
        dialog.GetWindow().PostMessage(WM_COMMAND, MakeCommand(78, BN_CLICKED), 5);
        PostMarker(dialog);
    };
    EndAtMarker(dialog, 1);
    platform.RunModal(dialog);
    EXPECT_EQ(dialog.Handled(WM_COMMAND, MakeCommand(77, BN_CLICKED)), 0);
    EXPECT_EQ(dialog.Handled(WM_COMMAND, MakeCommand(78, BN_CLICKED)), 1);
    int seen = 0;
    for (const Message& m : dialog.filtered) seen += dialog.IsCommand(m, 77) || dialog.IsCommand(m, 78);
    EXPECT_EQ(seen, 2);
}

// Without IsDialogMessage, Enter does not press the default button, Esc does not cancel
// and Tab does not move the focus: the keys reach the filter and the focused control.
TEST_F(Win32Dialogs, EnterEscAndTabDoNotOperateTheDialog) {
    ScriptedDialog dialog;
    int focusAfter = 0;
    dialog.onInit = [&] {
        dialog.GetWindow().SetFocusTo(IDC_GENERATE);
        for (const WPARAM key : {VK_RETURN, VK_ESCAPE, VK_TAB}) {
            PostMessageW(dialog.Item(IDC_GENERATE), WM_KEYDOWN, key, 1);
            PostMessageW(dialog.Item(IDC_GENERATE), WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
        }
        PostMarker(dialog);
    };
    EndAtMarker(dialog, 9, [&] { focusAfter = GetDlgCtrlID(GetFocus()); });
    EXPECT_EQ(platform.RunModal(dialog), 9);
    EXPECT_EQ(dialog.Handled(WM_COMMAND, MakeCommand(IDOK, BN_CLICKED)), 0);
    EXPECT_EQ(dialog.Handled(WM_COMMAND, MakeCommand(IDCANCEL, BN_CLICKED)), 0);
    int keys = 0;
    for (const Message& m : dialog.filtered) keys += m.message == WM_KEYDOWN;
    EXPECT_EQ(keys, 3);
    EXPECT_EQ(focusAfter, IDC_GENERATE);
}

// The mouse's right button on a trackbar: the dialog hears of it with the slider's id,
// and the thumb stays. The keyboard's menu key is left to the system.
TEST_F(Win32Dialogs, ARightClickOnASliderReachesTheDialogWithItsIdAndASliderShowsItsColour) {
    ScriptedDialog dialog;
    constexpr platform::ColorRef Teal = platform::Rgb(0, 250, 200);
    std::vector<COLORREF> corners;  // slider "2", then "3", then "2" again
    // Paints what waits to be painted: a new colour shows without more ado.
    const auto corner = [&](int id) {
        const HWND item = dialog.Item(id);
        RedrawWindow(item, nullptr, nullptr, RDW_UPDATENOW);
        const HDC dc = GetDC(item);
        corners.push_back(GetPixel(dc, 1, 1));
        ReleaseDC(item, dc);
    };
    dialog.onInit = [&] {
        platform::Window& window = dialog.GetWindow();
        window.SetSliderRange(IDC_SLIDER_2, 0, 100, true);
        window.SetSliderPos(IDC_SLIDER_2, 50, true);
        PostMessageW(dialog.Item(IDC_SLIDER_2), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(3, 3));
        PostMessageW(dialog.Item(IDC_SLIDER_2), WM_RBUTTONUP, 0, MAKELPARAM(3, 3));
        SendMessageW(dialog.Item(IDC_SLIDER_3), WM_CONTEXTMENU,
                     reinterpret_cast<WPARAM>(dialog.Item(IDC_SLIDER_3)), -1);
        PostMarker(dialog);
    };
    EndAtMarker(dialog, 0, [&] {
        platform::Window& window = dialog.GetWindow();
        EXPECT_EQ(window.GetSliderPos(IDC_SLIDER_2), 50);
        RedrawWindow(dialog.Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        window.SetSliderColor(IDC_SLIDER_2, Teal);
        corner(IDC_SLIDER_2);
        corner(IDC_SLIDER_3);
        window.SetSliderColor(IDC_SLIDER_2, std::nullopt);
        corner(IDC_SLIDER_2);
    });
    platform.RunModal(dialog);
    EXPECT_EQ(dialog.Handled(WM_CONTEXTMENU, IDC_SLIDER_2), 1);
    EXPECT_EQ(dialog.Handled(WM_CONTEXTMENU, IDC_SLIDER_3), 0);
    ASSERT_EQ(corners.size(), 3u);
    EXPECT_EQ(corners[0], Teal);
    EXPECT_NE(corners[1], Teal);
    EXPECT_EQ(corners[2], corners[1]);
}

TEST_F(Win32Dialogs, ATimerWithAProcedureCallsItAndAPlainOneReachesTheWindowProcedure) {
    ScriptedDialog dialog;
    int procCalls = 0;
    dialog.onInit = [&] {
        dialog.GetWindow().SetTimer(5, 10, [&] {
            if (++procCalls == 3) {
                dialog.GetWindow().KillTimer(5);
                dialog.GetWindow().SetTimer(6, 10);
            }
        });
    };
    dialog.onMessage = [&](platform::UINT message, platform::WPARAM wParam,
                           platform::LPARAM) -> std::optional<platform::LRESULT> {
        if (message == WM_TIMER && wParam == 6) {
            dialog.GetWindow().KillTimer(6);
            // Time for the killed timer to fire again, were it still running.
            dialog.GetWindow().SetTimer(7, 100);
        }
        if (message == WM_TIMER && wParam == 7) dialog.GetWindow().EndDialog(0);
        return std::nullopt;
    };
    platform.RunModal(dialog);
    EXPECT_EQ(procCalls, 3);
    EXPECT_EQ(dialog.Handled(WM_TIMER, 5), 0);
    EXPECT_EQ(dialog.Handled(WM_TIMER, 6), 1);
    int filteredFive = 0;
    for (const Message& m : dialog.filtered) filteredFive += m.message == WM_TIMER && m.wParam == 5;
    EXPECT_EQ(filteredFive, 3);
}

TEST_F(Win32Dialogs, ControlsKeepTextsInUtf8AndSlidersStayInTheirRange) {
    ScriptedDialog dialog;
    dialog.onInit = [&] {
        platform::Window& window = dialog.GetWindow();
        window.SetDlgItemText(IDC_STATUS, "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0 MidiInOpen");
        EXPECT_EQ(window.GetDlgItemText(IDC_STATUS), "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0 MidiInOpen");
        window.SetDlgItemText(IDC_MIDILOG, "9,0\t60\t100\t0\r\n");
        EXPECT_EQ(window.GetDlgItemText(IDC_MIDILOG), "9,0\t60\t100\t0\r\n");
        window.SetWindowText("Kelvarin");
        wchar_t title[32] = {};
        GetWindowTextW(dialog.Handle(), title, 32);
        EXPECT_STREQ(title, L"Kelvarin");
        window.SetSliderRange(IDC_SLIDER_2, 10, 100, true);
        window.SetSliderPos(IDC_SLIDER_2, 40, true);
        EXPECT_EQ(window.GetSliderPos(IDC_SLIDER_2), 40);
        window.SetSliderPos(IDC_SLIDER_2, 150, true);
        EXPECT_EQ(window.GetSliderPos(IDC_SLIDER_2), 100);
        window.SetSliderPos(IDC_SLIDER_2, -5, true);
        EXPECT_EQ(window.GetSliderPos(IDC_SLIDER_2), 10);
        EXPECT_FALSE(window.IsDlgItemEnabled(IDC_STOP));
        window.EnableDlgItem(IDC_STOP, true);
        EXPECT_TRUE(window.IsDlgItemEnabled(IDC_STOP));
        window.EnableDlgItem(IDC_GENERATE, false);
        EXPECT_FALSE(window.IsDlgItemEnabled(IDC_GENERATE));
        window.EndDialog(0);
    };
    platform.RunModal(dialog);
    EXPECT_TRUE(dialog.initialised);
}

// The window and its controls measure what the dialog manager makes of the template's
// dialog units in the template's own font.
TEST_F(Win32Dialogs, SizesFollowTheTemplatesDialogUnitsInItsFont) {
    ScriptedDialog dialog;
    dialog.onInit = [&] {
        RECT size{0, 0, MainDialogTemplate.cx, MainDialogTemplate.cy};
        ASSERT_TRUE(MapDialogRect(dialog.Handle(), &size));
        const platform::Rect client = dialog.GetWindow().GetClientRect();
        EXPECT_EQ(client.right - client.left, size.right);
        EXPECT_EQ(client.bottom - client.top, size.bottom);
        for (const ControlTemplate& control : MainDialogTemplate.controls) {
            if (control.id < 0) continue;
            // Place and size convert apart, as the dialog manager converts them.
            RECT want{control.x, control.y, control.cx, control.cy};
            MapDialogRect(dialog.Handle(), &want);
            RECT got{};
            GetWindowRect(dialog.Item(control.id), &got);
            MapWindowPoints(nullptr, dialog.Handle(), reinterpret_cast<POINT*>(&got), 2);
            EXPECT_EQ(got.left, want.left) << control.id;
            EXPECT_EQ(got.top, want.top) << control.id;
            EXPECT_EQ(got.right - got.left, want.right) << control.id;
            EXPECT_EQ(got.bottom - got.top, want.bottom) << control.id;
        }
        dialog.GetWindow().EndDialog(0);
    };
    platform.RunModal(dialog);
    EXPECT_TRUE(dialog.initialised);
}

TEST_F(Win32Dialogs, ShapesAreFilledWithTheSelectedBrushAndOutlinedInBlack) {
    ScriptedDialog dialog;
    constexpr platform::ColorRef Teal = platform::Rgb(0, 250, 200);
    constexpr platform::ColorRef Red = platform::Rgb(255, 0, 0);
    dialog.onInit = [&] { PostMarker(dialog); };  // drawn once the window is shown
    EndAtMarker(dialog, 0, [&] {
        platform::Window& window = dialog.GetWindow();
        platform::DeviceContext* dc = window.GetDC();
        ASSERT_NE(dc, nullptr);
        const HDC hdc = static_cast<platform::win32::GdiContext*>(dc)->Handle();
        const platform::BrushHandle teal = dc->CreateSolidBrush(Teal);
        const platform::BrushHandle red = dc->CreateSolidBrush(Red);
        ASSERT_NE(teal, 0u);
        const platform::BrushHandle original = dc->SelectObject(teal);
        dc->Rectangle(10, 200, 30, 220);
        EXPECT_EQ(dc->SelectObject(red), teal);
        dc->Ellipse(40, 200, 60, 220);
        EXPECT_EQ(GetPixel(hdc, 20, 210), Teal);
        EXPECT_EQ(GetPixel(hdc, 10, 210), platform::Rgb(0, 0, 0));   // the left edge is drawn
        EXPECT_NE(GetPixel(hdc, 30, 210), Teal);                      // the right one is not
        EXPECT_EQ(GetPixel(hdc, 50, 210), Red);
        EXPECT_NE(GetPixel(hdc, 41, 201), Red);                       // the box's corner is outside
        // Brush 0 is none: a shape is outlined only, what was there shows through.
        EXPECT_EQ(dc->SelectObject(0), red);
        dc->Rectangle(12, 202, 28, 218);
        EXPECT_EQ(GetPixel(hdc, 20, 210), Teal);
        EXPECT_EQ(GetPixel(hdc, 12, 210), platform::Rgb(0, 0, 0));
        dc->SelectObject(original);
        EXPECT_TRUE(dc->DeleteObject(teal));
        EXPECT_TRUE(dc->DeleteObject(red));
        window.ReleaseDC(dc);
    });
    platform.RunModal(dialog);
}

TEST_F(Win32Dialogs, AModalBoxKeepsInputFromTheWindowBelowWhoseMessagesStillArrive) {
    ScriptedDialog main;
    ScriptedDialog about(AboutDialogTemplate);
    bool mainEnabledDuringAbout = true;
    int aboutResult = 0;
    about.onInit = [&] {
        mainEnabledDuringAbout = IsWindowEnabled(main.Handle()) != 0;
        main.GetWindow().PostMessage(WM_COMMAND, MakeCommand(55, BN_CLICKED), 0);
    };
    main.onInit = [&] { main.GetWindow().PostMessage(WM_COMMAND, MakeCommand(Marker, 0), 0); };
    main.onMessage = [&](platform::UINT message, platform::WPARAM wParam,
                         platform::LPARAM) -> std::optional<platform::LRESULT> {
        if (message != WM_COMMAND) return std::nullopt;
        if (platform::CommandId(wParam) == Marker) {
            aboutResult = platform.RunModal(about);
            EXPECT_TRUE(IsWindowEnabled(main.Handle()));
            main.GetWindow().EndDialog(3);
            return 0;
        }
        if (platform::CommandId(wParam) == 55) {  // the main window's message, during the box
            about.GetWindow().EndDialog(8);
            return 0;
        }
        return std::nullopt;
    };
    EXPECT_EQ(platform.RunModal(main), 3);
    EXPECT_EQ(aboutResult, 8);
    EXPECT_FALSE(mainEnabledDuringAbout);
}

TEST_F(Win32Dialogs, EveryWrittenBlockComesBackOnceAsMmWomDoneWithTheProgramsHeader) {
    ScriptedDialog dialog;
    constexpr int Blocks = 8;
    std::vector<int16_t> samples(441 * Blocks);
    std::vector<platform::WaveHeader> headers(Blocks);
    std::vector<int> returned(Blocks);
    platform::WaveOutHandle device = nullptr;
    platform::WaveOut& waveOut = platform.GetWaveOut();
    int done = 0;
    dialog.onInit = [&] {
        const platform::WaveFormat format{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16};
        ASSERT_EQ(waveOut.Open(device, format, dialog.GetWindow()), 0u);
        for (int i = 0; i < Blocks; ++i) {
            headers[i].data = reinterpret_cast<uint8_t*>(&samples[static_cast<size_t>(i) * 441]);
            headers[i].bufferLength = 441 * 2;
            ASSERT_EQ(waveOut.PrepareHeader(device, &headers[i]), 0u);
            ASSERT_EQ(waveOut.Write(device, &headers[i]), 0u);
        }
        dialog.GetWindow().SetTimer(9, 3000);  // a deadline, should blocks never come back
    };
    dialog.swallow = [&](const Message& m) {
        if (m.message != MM_WOM_DONE) return false;
        for (int i = 0; i < Blocks; ++i)
            if (m.lParam == reinterpret_cast<platform::LPARAM>(&headers[i])) ++returned[i];
        if (++done == Blocks) {
            // Time for a block to come back twice, were that to happen.
            dialog.GetWindow().SetTimer(10, 200);
        }
        return true;
    };
    dialog.onMessage = [&](platform::UINT message, platform::WPARAM, platform::LPARAM)
        -> std::optional<platform::LRESULT> {
        if (message == WM_TIMER) dialog.GetWindow().EndDialog(0);
        return std::nullopt;
    };
    platform.RunModal(dialog);
    EXPECT_EQ(returned, std::vector<int>(Blocks, 1));
    for (auto& header : headers) EXPECT_EQ(waveOut.UnprepareHeader(device, &header), 0u);
    EXPECT_EQ(waveOut.Close(device), 0u);
}

TEST_F(Win32Dialogs, ABlockPreparedForAClosedDeviceMustBePreparedAgain) {
    ScriptedDialog dialog;
    std::vector<int16_t> samples(441);
    platform::WaveHeader header{};
    header.data = reinterpret_cast<uint8_t*>(samples.data());
    header.bufferLength = 441 * 2;
    platform::WaveOut& waveOut = platform.GetWaveOut();
    dialog.onInit = [&] {
        const platform::WaveFormat format{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16};
        platform::WaveOutHandle first = nullptr;
        ASSERT_EQ(waveOut.Open(first, format, dialog.GetWindow()), 0u);
        ASSERT_EQ(waveOut.PrepareHeader(first, &header), 0u);
        ASSERT_EQ(waveOut.Close(first), 0u);
        platform::WaveOutHandle second = nullptr;
        ASSERT_EQ(waveOut.Open(second, format, dialog.GetWindow()), 0u);
        EXPECT_EQ(waveOut.Write(second, &header), static_cast<platform::MmResult>(WAVERR_UNPREPARED));
        EXPECT_EQ(waveOut.Close(second), 0u);
        dialog.GetWindow().EndDialog(0);
    };
    platform.RunModal(dialog);
    EXPECT_TRUE(dialog.initialised);
}

// What the system does with the messages a dialog leaves alone: OK and Cancel end it,
// and closing it from its system menu is a Cancel.
TEST_F(Win32Dialogs, OkAndCancelEndTheDialogAndACloseRequestIsACancel) {
    for (const auto& [message, wParam, result] :
         {std::tuple{WM_COMMAND, MakeCommand(IDOK, BN_CLICKED), IDOK},
          std::tuple{WM_COMMAND, MakeCommand(IDCANCEL, BN_CLICKED), IDCANCEL},
          std::tuple{WM_SYSCOMMAND, platform::WPARAM{SC_CLOSE}, IDCANCEL}}) {
        ScriptedDialog dialog;
        dialog.onInit = [&, message = message, wParam = wParam] {
            dialog.GetWindow().SetTimer(1, 3000);  // a deadline: ends with 0
            dialog.GetWindow().PostMessage(message, wParam, 0);
        };
        dialog.onMessage = [&](platform::UINT m, platform::WPARAM, platform::LPARAM)
            -> std::optional<platform::LRESULT> {
            if (m == WM_TIMER) dialog.GetWindow().EndDialog(0);
            return std::nullopt;
        };
        EXPECT_EQ(platform.RunModal(dialog), result) << message << " " << wParam;
    }
}

// A dialog that has ended hears nothing more, though a box it opened on its way out
// keeps the loop running.
TEST_F(Win32Dialogs, AnEndedDialogsTimersAndMessagesGoUnheard) {
    ScriptedDialog main;
    ScriptedDialog about(AboutDialogTemplate);
    int procCalls = 0;
    size_t handledAtEnd = 0;
    main.onInit = [&] {
        main.GetWindow().SetTimer(3, 10, [&] { ++procCalls; });
        main.GetWindow().SetTimer(4, 10);
        PostMarker(main);
    };
    EndAtMarker(main, 5, [&] {
        main.GetWindow().EndDialog(5);
        handledAtEnd = main.handled.size();
        procCalls = 0;
        about.onInit = [&] { about.GetWindow().SetTimer(1, 200); };
        about.onMessage = [&](platform::UINT m, platform::WPARAM, platform::LPARAM)
            -> std::optional<platform::LRESULT> {
            if (m == WM_TIMER) about.GetWindow().EndDialog(0);
            return std::nullopt;
        };
        platform.RunModal(about);
    });
    EXPECT_EQ(platform.RunModal(main), 5);
    EXPECT_EQ(procCalls, 0);
    EXPECT_EQ(main.handled.size(), handledAtEnd);
}

TEST_F(Win32Dialogs, TheTickCountMovesOnInMilliseconds) {
    const uint32_t start = platform.GetTickCount();
    Sleep(50);
    const uint32_t elapsed = platform.GetTickCount() - start;
    EXPECT_GE(elapsed, 40u);
    EXPECT_LT(elapsed, 5000u);
}

}  // namespace
