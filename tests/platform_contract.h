#pragma once
// What the dialog relies on from a platform, written once and run on every platform:
// timers and their ids, posted and sent messages, modal dialogs and their ending, the
// default handling of a dialog's messages and keys, enabling and focus, fields and
// sliders, drawing, and files. Each platform's program instantiates the suite with an
// adapter that drives that platform as its user and its system would:
//
//   Platform& GetPlatform();
//   void Click(Dialog&, int id);               // the left button pressed and released on a control
//   void PressKey(Dialog&, platform::WPARAM virtualKey);  // down and up, to whatever has the focus
//   void Type(Dialog&, int id, const std::string& text);  // clicks into a field and types
//   void DragSliderToTop(Dialog&, int id);     // the thumb dragged beyond the slider's top
//   void RequestClose(Dialog&);                // the window system asks the window to close
//   int Focus(const Dialog&);                  // the control with the focus, 0 for none
//   bool Shown(const Dialog&);
//   ColorRef Pixel(const Dialog&, int x, int y);  // what the window shows there
//   uint32_t Stall(uint32_t ms);               // the UI thread busy for ms; the ms that passed
//   uint32_t ClockMs();                        // a clock of the adapter's own
//   std::string PathOf(const std::string& name);  // in a private directory
//   std::vector<std::string> Names();          // what that directory holds
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "res/control_ids.h"
#include "res/dialog_template.h"
#include "scripted_dialog.h"

template <class Adapter>
class PlatformContract : public testing::Test {
protected:
    static constexpr platform::UINT Ping = 0x0400;  // a message of the test's own

    platform::Platform& Platform() { return user.GetPlatform(); }
    static platform::WPARAM Clicked(int id) {
        using namespace platform;
        return MakeCommand(id, BN_CLICKED);
    }

    Adapter user;
};

TYPED_TEST_SUITE_P(PlatformContract);

namespace contract {

using namespace platform;
using namespace res;

// What a window procedure of the test's answers, if it takes the message.
using Reply = std::optional<platform::LRESULT>;

// The messages of one kind that the window procedure saw, by wParam.
inline std::vector<platform::WPARAM> Handled(const ScriptedDialog& dialog, platform::UINT message) {
    std::vector<platform::WPARAM> seen;
    for (const Message& m : dialog.handled)
        if (m.message == message) seen.push_back(m.wParam);
    return seen;
}

// The buttons clicked, as the window procedure heard of them. Windows' edits notify the
// dialog with commands of their own too, which the program does not take.
inline std::vector<int> Clicks(const ScriptedDialog& dialog) {
    std::vector<int> ids;
    for (const Message& m : dialog.handled)
        if (m.message == WM_COMMAND && CommandCode(m.wParam) == BN_CLICKED)
            ids.push_back(CommandId(m.wParam));
    return ids;
}

inline std::vector<platform::WPARAM> Filtered(const ScriptedDialog& dialog, platform::UINT message) {
    std::vector<platform::WPARAM> seen;
    for (const Message& m : dialog.filtered)
        if (m.message == message) seen.push_back(m.wParam);
    return seen;
}

}  // namespace contract

// --- Modal dialogs ---------------------------------------------------------------------

TYPED_TEST_P(PlatformContract, ADialogStartsWithItsControlsAndEndsWithTheResultItIsGiven) {
    using namespace contract;
    ScriptedDialog dialog(this->Platform());
    std::string stopAtCreate;
    dialog.onMessage = [&](auto message, auto wParam, auto) -> Reply {
        if (message == WM_CREATE) stopAtCreate = dialog.GetWindow().GetDlgItemText(IDC_STOP);
        if (message != TestFixture::Ping || wParam != 1) return std::nullopt;
        dialog.GetWindow().EndDialog(42);
        return 0;
    };
    dialog.onInit = [&] {
        Window& window = dialog.GetWindow();
        EXPECT_EQ(dialog.handled.front().message, WM_CREATE);
        EXPECT_EQ(window.GetDlgItemText(IDC_PLAY), "Play Writen");
        EXPECT_EQ(window.GetDlgItemText(IDC_AMPLITUDE), "");
        EXPECT_FALSE(window.IsDlgItemEnabled(IDC_STOP));
        EXPECT_TRUE(window.IsDlgItemEnabled(IDC_GENERATE));
        EXPECT_EQ(window.GetSystemMetrics(SM_CXICON), 32);
        EXPECT_EQ(window.GetSystemMetrics(SM_CYICON), 32);
        window.PostMessage(TestFixture::Ping, 1, 0);
        window.PostMessage(TestFixture::Ping, 2, 0);  // waits behind the one that ends the dialog
    };
    EXPECT_EQ(this->Platform().RunModal(dialog), 42);
    EXPECT_EQ(stopAtCreate, "Stop") << "the controls exist at WM_CREATE";
    EXPECT_THAT(Filtered(dialog, TestFixture::Ping), testing::ElementsAre(1u));
    EXPECT_THAT(Handled(dialog, TestFixture::Ping), testing::ElementsAre(1u));
    EXPECT_FALSE(dialog.HasWindow());
}

TYPED_TEST_P(PlatformContract, ADialogThatRefusesCreationOrEndsWhileStartingRunsNoLoop) {
    using namespace contract;
    ScriptedDialog refusing(this->Platform());
    refusing.refuseCreate = true;
    EXPECT_EQ(this->Platform().RunModal(refusing), -1);
    EXPECT_FALSE(refusing.initialised);
    EXPECT_FALSE(refusing.HasWindow());

    ScriptedDialog quitting(this->Platform());
    quitting.onInit = [&] {
        quitting.GetWindow().PostMessage(TestFixture::Ping, 1, 0);
        quitting.GetWindow().EndDialog(4);
    };
    EXPECT_EQ(this->Platform().RunModal(quitting), 4);
    EXPECT_THAT(quitting.filtered, testing::IsEmpty());

    // Its message goes with it; the next dialog does not get it.
    ScriptedDialog next(this->Platform());
    next.steps = {Do([&] { next.GetWindow().PostMessage(TestFixture::Ping, 2, 0); }),
                  WaitUntil([&] { return next.Handled(TestFixture::Ping, 2) == 1; })};
    EXPECT_EQ(this->Platform().RunModal(next), 0);
    EXPECT_THAT(Filtered(next, TestFixture::Ping), testing::ElementsAre(2u));
}

TYPED_TEST_P(PlatformContract, PostedMessagesWaitTheirTurnAndSentOnesRunAtOnce) {
    using namespace contract;
    ScriptedDialog dialog(this->Platform());
    platform::LRESULT sent = 0;
    dialog.swallow = [](const Message& m) { return m.message == TestFixture::Ping && m.wParam == 4; };
    dialog.onInit = [&] {
        for (const platform::WPARAM n : {1, 2, 4}) dialog.GetWindow().PostMessage(TestFixture::Ping, n, 0);
    };
    dialog.onMessage = [&](auto message, auto wParam, auto) -> Reply {
        if (message != TestFixture::Ping) return std::nullopt;
        if (wParam == 1) {
            dialog.GetWindow().PostMessage(TestFixture::Ping, 3, 0);
            sent = dialog.GetWindow().SendMessage(TestFixture::Ping, 9, 0);
        }
        if (wParam == 3) dialog.GetWindow().EndDialog(0);
        return wParam == 9 ? 1234 : 0;
    };
    EXPECT_EQ(this->Platform().RunModal(dialog), 0);
    EXPECT_EQ(sent, 1234);
    EXPECT_THAT(Handled(dialog, TestFixture::Ping), testing::ElementsAre(1u, 9u, 2u, 3u));
    EXPECT_THAT(Filtered(dialog, TestFixture::Ping), testing::ElementsAre(1u, 2u, 4u, 3u))
        << "a sent message passes no filter; a swallowed one goes no further";
}

TYPED_TEST_P(PlatformContract, TheWindowBeneathAModalBoxIsServedButTakesNoInput) {
    using namespace contract;
    auto& user = this->user;
    ScriptedDialog main(this->Platform());
    ScriptedDialog about(this->Platform(), AboutDialogTemplate);
    const platform::WPARAM reset = TestFixture::Clicked(IDC_RESET_SOUND);
    int nested = 0;
    main.onMessage = [&](auto message, auto wParam, auto) -> Reply {
        if (message != TestFixture::Ping || wParam != 1) return std::nullopt;
        nested = this->Platform().RunModal(about);
        return 0;
    };
    about.steps = {
        WaitUntil([&] { return user.Shown(about); }),
        Do([&] { main.GetWindow().PostMessage(TestFixture::Ping, 2, 0); }),
        WaitUntil([&] { return main.Handled(TestFixture::Ping, 2) == 1; }),
        // Input is taken in order: the box's OK is handled after the click below it.
        Do([&] {
            user.Click(main, IDC_RESET_SOUND);
            user.Click(about, IDOK);
        }),
        WaitUntil([] { return false; }),  // OK ends the box through the default handling
    };
    main.steps = {
        WaitUntil([&] { return user.Shown(main); }),
        Do([&] { main.GetWindow().PostMessage(TestFixture::Ping, 1, 0); }),
        WaitUntil([&] { return nested != 0; }),
        Do([&] {
            EXPECT_EQ(main.Handled(WM_COMMAND, reset), 0u) << "a click went through the box";
            user.Click(main, IDC_RESET_SOUND);
        }),
        WaitUntil([&] { return main.Handled(WM_COMMAND, reset) > 0; }),
    };
    EXPECT_EQ(this->Platform().RunModal(main), 0);
    EXPECT_EQ(nested, IDOK);
    EXPECT_FALSE(about.HasWindow());
}

TYPED_TEST_P(PlatformContract, AnEndedDialogsTimersAndMessagesGoUnheard) {
    using namespace contract;
    ScriptedDialog main(this->Platform());
    ScriptedDialog box(this->Platform(), AboutDialogTemplate);
    int procCalls = 0;
    size_t handledAtEnd = 0;
    main.onInit = [&] {
        main.GetWindow().SetTimer(3, 5, [&] { ++procCalls; });
        main.GetWindow().SetTimer(4, 5);
        main.GetWindow().PostMessage(TestFixture::Ping, 1, 0);
    };
    // Ends, then keeps the loop running under a box of its own for twenty periods.
    main.onMessage = [&](auto message, auto, auto) -> Reply {
        if (message != TestFixture::Ping) return std::nullopt;
        main.GetWindow().EndDialog(5);
        main.GetWindow().PostMessage(TestFixture::Ping, 2, 0);
        handledAtEnd = main.handled.size();
        procCalls = 0;
        box.onInit = [&] { box.GetWindow().SetTimer(1, 100); };
        box.onMessage = [&](auto m, auto, auto) -> Reply {
            if (m == WM_TIMER) box.GetWindow().EndDialog(0);
            return std::nullopt;
        };
        this->Platform().RunModal(box);
        return 0;
    };
    EXPECT_EQ(this->Platform().RunModal(main), 5);
    EXPECT_EQ(procCalls, 0);
    EXPECT_EQ(main.handled.size(), handledAtEnd);
}

// --- Timers ----------------------------------------------------------------------------

// Each change follows from the last tick, so that no order of ticks is assumed: a
// procedure's timer ticks three times and is killed; timer 0 ticks once and is set
// again with a procedure, which is called twice before it is killed in turn; a slow
// timer then gives the killed ones time to tick again, were they still running.
TYPED_TEST_P(PlatformContract, TimersTickWithTheirIdsOrCallTheirProcedures) {
    using namespace contract;
    ScriptedDialog dialog(this->Platform());
    Window* window = nullptr;
    int playbackCalls = 0, refreshCalls = 0;
    dialog.onInit = [&] {
        window = &dialog.GetWindow();
        window->SetTimer(5555, 5, [&] {
            if (++playbackCalls != 3) return;
            window->KillTimer(5555);
            window->SetTimer(0, 5);
        });
    };
    dialog.onMessage = [&](auto message, auto wParam, auto) -> Reply {
        if (message != WM_TIMER) return std::nullopt;
        if (wParam == 0) {
            window->SetTimer(0, 5, [&] {
                if (++refreshCalls != 2) return;
                window->KillTimer(0);
                window->SetTimer(7, 60);
            });
        }
        if (wParam == 7) window->EndDialog(0);
        return 0;
    };
    EXPECT_EQ(this->Platform().RunModal(dialog), 0);
    EXPECT_EQ(playbackCalls, 3);
    EXPECT_EQ(refreshCalls, 2);
    EXPECT_THAT(Handled(dialog, WM_TIMER), testing::ElementsAre(0u, 7u));
    EXPECT_THAT(Filtered(dialog, WM_TIMER), testing::ElementsAre(5555u, 5555u, 5555u, 0u, 0u, 0u, 7u))
        << "a procedure's ticks pass the message filter too";
}

TYPED_TEST_P(PlatformContract, AWmTimerPostedByHandReachesTheWindowProcedure) {
    using namespace contract;
    ScriptedDialog dialog(this->Platform());
    int calls = 0;
    dialog.onInit = [&] {
        dialog.GetWindow().SetTimer(5555, 60000, [&] { ++calls; });
        dialog.GetWindow().PostMessage(WM_TIMER, 5555, 0);
        dialog.GetWindow().PostMessage(TestFixture::Ping, 0, 0);
    };
    dialog.onMessage = [&](auto message, auto, auto) -> Reply {
        if (message == TestFixture::Ping) dialog.GetWindow().EndDialog(0);
        return std::nullopt;
    };
    EXPECT_EQ(this->Platform().RunModal(dialog), 0);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(dialog.Handled(WM_TIMER, 5555), 1u);
}

// However long the window is kept busy, a timer owes it one tick: ticks then come no
// faster than the timer's period.
TYPED_TEST_P(PlatformContract, ABusyWindowGetsOneLateTickNotABurst) {
    using namespace contract;
    constexpr uint32_t Period = 10, Busy = 50 * Period;
    ScriptedDialog dialog(this->Platform());
    std::optional<uint32_t> stallEnd;
    uint32_t end = 0;
    std::vector<uint32_t> ticks;
    dialog.onInit = [&] {
        dialog.GetWindow().SetTimer(3, Period);
        dialog.GetWindow().PostMessage(TestFixture::Ping, 0, 0);
    };
    dialog.onMessage = [&](auto message, auto wParam, auto) -> Reply {
        if (message == TestFixture::Ping) {
            this->user.Stall(Busy);
            stallEnd = this->Platform().GetTickCount();
        }
        if (message == WM_TIMER && wParam == 3 && stallEnd) ticks.push_back(this->Platform().GetTickCount());
        return std::nullopt;
    };
    const auto since = [&](uint32_t start) { return this->Platform().GetTickCount() - start; };
    dialog.steps = {WaitUntil([&] { return stallEnd && since(*stallEnd) >= 3 * Period; }),
                    Do([&] { end = this->Platform().GetTickCount(); })};
    EXPECT_EQ(this->Platform().RunModal(dialog), 0);
    ASSERT_TRUE(stallEnd);
    EXPECT_GE(ticks.size(), 1u) << "the late tick";
    // One waiting tick, then one per period at most (and one more for a tick that
    // came due just as the last was taken).
    EXPECT_LE(ticks.size(), 2 + (end - *stallEnd) / Period) << "a burst after " << Busy << " ms";
}

TYPED_TEST_P(PlatformContract, TheTickCountCountsMilliseconds) {
    const uint32_t clockBefore = this->user.ClockMs();
    const uint32_t before = this->Platform().GetTickCount();
    const uint32_t stalled = this->user.Stall(50);
    const uint32_t counted = this->Platform().GetTickCount() - before;
    const uint32_t clocked = this->user.ClockMs() - clockBefore;
    constexpr uint32_t Granularity = 16;  // Windows counts in steps of up to 15.6 ms
    EXPECT_GE(counted + Granularity, stalled);
    EXPECT_LE(counted, clocked + Granularity);
}

// --- The default handling -------------------------------------------------------------

TYPED_TEST_P(PlatformContract, ACloseRequestCancelsTheDialogThroughTheDefaultHandling) {
    using namespace contract;
    ScriptedDialog dialog(this->Platform());
    dialog.steps = {
        WaitUntil([&] { return this->user.Shown(dialog); }),
        Do([&] { this->user.RequestClose(dialog); }),
        WaitUntil([] { return false; }),  // the close ends the dialog
    };
    EXPECT_EQ(this->Platform().RunModal(dialog), IDCANCEL);
    std::vector<Message> closing;
    for (const Message& m : dialog.handled)
        if (m.message == WM_SYSCOMMAND || m.message == WM_CLOSE ||
            (m.message == WM_COMMAND && CommandCode(m.wParam) == BN_CLICKED))
            closing.push_back({m.message, m.wParam, 0});
    ASSERT_EQ(closing.size(), 3u);
    EXPECT_EQ(closing[0].message, WM_SYSCOMMAND);
    EXPECT_EQ(closing[0].wParam & 0xFFF0, SC_CLOSE);
    EXPECT_EQ(closing[1].message, WM_CLOSE);
    EXPECT_EQ(closing[2].wParam, TestFixture::Clicked(IDCANCEL));
}

TYPED_TEST_P(PlatformContract, OkEndsTheDialogAndACloseWaitsBehindWhatIsQueued) {
    using namespace contract;
    ScriptedDialog dialog(this->Platform());
    bool endedBySending = true;
    dialog.onInit = [&] {
        Window& window = dialog.GetWindow();
        window.SendMessage(WM_COMMAND, TestFixture::Clicked(1000), 0);
        window.SendMessage(WM_COMMAND, MakeCommand(IDOK, 1), 0);  // not a click
        window.PostMessage(TestFixture::Ping, 0, 0);
        EXPECT_EQ(window.SendMessage(WM_CLOSE, 0, 0), 0);
    };
    dialog.onMessage = [&](auto message, auto, auto) -> Reply {
        if (message == TestFixture::Ping) endedBySending = false;
        return std::nullopt;
    };
    EXPECT_EQ(this->Platform().RunModal(dialog), IDCANCEL);
    EXPECT_FALSE(endedBySending) << "the cancel was posted behind the message waiting";

    ScriptedDialog ok(this->Platform());
    ok.onInit = [&] { ok.GetWindow().PostMessage(WM_COMMAND, TestFixture::Clicked(IDOK), 0); };
    EXPECT_EQ(this->Platform().RunModal(ok), IDOK);
}

// Without a dialog manager's key handling, Enter does not press the default button,
// Esc does not cancel and Tab does not move the focus: the keys reach the filter.
TYPED_TEST_P(PlatformContract, TabEnterAndEscDoNothingToTheDialog) {
    using namespace contract;
    auto& user = this->user;
    ScriptedDialog dialog(this->Platform());
    dialog.onInit = [&] { dialog.GetWindow().SetFocusTo(IDC_GENERATE); };  // the default button
    const platform::WPARAM keys[] = {VK_RETURN, VK_ESCAPE, VK_TAB, 'Q'};
    dialog.steps = {
        WaitUntil([&] { return user.Shown(dialog) && user.Focus(dialog) == IDC_GENERATE; }),
        Do([&] {
            for (const platform::WPARAM key : keys) user.PressKey(dialog, key);
        }),
        WaitUntil([&] { return dialog.Count(WM_KEYUP) >= std::size(keys); }),
        Do([&] { EXPECT_EQ(user.Focus(dialog), IDC_GENERATE); }),
    };
    EXPECT_EQ(this->Platform().RunModal(dialog), 0);
    std::vector<platform::WPARAM> downs, ups;
    for (const Message& m : dialog.filtered) {
        if (m.message == WM_KEYDOWN) {
            downs.push_back(m.wParam);
            EXPECT_EQ(static_cast<uint32_t>(m.lParam) & 0xE0000000u, 0u) << "a fresh press";
        }
        if (m.message == WM_KEYUP) {
            ups.push_back(m.wParam);
            EXPECT_EQ(static_cast<uint32_t>(m.lParam) & 0xE0000000u, 0xC0000000u) << "a release";
        }
    }
    EXPECT_THAT(downs, testing::ElementsAreArray(keys));
    EXPECT_THAT(ups, testing::ElementsAreArray(keys));
    EXPECT_THAT(Clicks(dialog), testing::IsEmpty());
}

// --- Controls --------------------------------------------------------------------------

TYPED_TEST_P(PlatformContract, OnlyAnEnabledButtonsClickReachesTheDialogAndTakesTheFocus) {
    using namespace contract;
    auto& user = this->user;
    ScriptedDialog dialog(this->Platform());
    const platform::WPARAM reset = TestFixture::Clicked(IDC_RESET_SOUND);
    const platform::WPARAM stop = TestFixture::Clicked(IDC_STOP);
    dialog.onInit = [&] { dialog.GetWindow().SetFocusTo(IDC_STATUS); };
    dialog.steps = {
        WaitUntil([&] { return user.Shown(dialog) && user.Focus(dialog) == IDC_STATUS; }),
        Do([&] {
            user.Click(dialog, IDC_STOP);  // disabled
            user.Click(dialog, IDC_RESET_SOUND);
        }),
        WaitUntil([&] { return dialog.Handled(WM_COMMAND, reset) == 1; }),
        Do([&] {
            EXPECT_EQ(dialog.Handled(WM_COMMAND, stop), 0u);
            EXPECT_EQ(user.Focus(dialog), IDC_RESET_SOUND);
            dialog.GetWindow().EnableDlgItem(IDC_STOP, true);
            EXPECT_TRUE(dialog.GetWindow().IsDlgItemEnabled(IDC_STOP));
            user.Click(dialog, IDC_STOP);
        }),
        WaitUntil([&] { return dialog.Handled(WM_COMMAND, stop) == 1; }),
        Do([&] {
            EXPECT_EQ(user.Focus(dialog), IDC_STOP);
            dialog.GetWindow().EnableDlgItem(IDC_STOP, false);
            EXPECT_FALSE(dialog.GetWindow().IsDlgItemEnabled(IDC_STOP));
            EXPECT_NE(user.Focus(dialog), IDC_STOP) << "a disabled control keeps no focus";
        }),
    };
    EXPECT_EQ(this->Platform().RunModal(dialog), 0);
    EXPECT_THAT(Clicks(dialog), testing::ElementsAre(IDC_RESET_SOUND, IDC_STOP));
}

TYPED_TEST_P(PlatformContract, TheFocusGoesToTheFirstTabStopOrWhereTheDialogPutsIt) {
    auto& user = this->user;
    ScriptedDialog first(this->Platform());
    first.focusFirstControl = true;
    first.steps = {WaitUntil([&] { return user.Shown(first); }),
                   Do([&] { EXPECT_EQ(user.Focus(first), res::IDC_GENERATE); })};
    EXPECT_EQ(this->Platform().RunModal(first), 0);

    ScriptedDialog placed(this->Platform());
    placed.onInit = [&] { placed.GetWindow().SetFocusTo(res::IDC_STATUS); };  // before it is shown
    placed.steps = {WaitUntil([&] { return user.Shown(placed); }),
                    Do([&] { EXPECT_EQ(user.Focus(placed), res::IDC_STATUS); })};
    EXPECT_EQ(this->Platform().RunModal(placed), 0);
}

TYPED_TEST_P(PlatformContract, AWindowHiddenWhileStartingStaysHiddenUntilShown) {
    using namespace contract;
    auto& user = this->user;
    ScriptedDialog dialog(this->Platform());
    dialog.onInit = [&] { dialog.GetWindow().ShowWindow(SW_HIDE); };
    dialog.steps = {
        Do([&] {
            EXPECT_FALSE(user.Shown(dialog));
            dialog.GetWindow().ShowWindow(SW_SHOW);
        }),
        WaitUntil([&] { return user.Shown(dialog); }),
        Do([&] { EXPECT_FALSE(dialog.GetWindow().IsIconic()); }),
    };
    EXPECT_EQ(this->Platform().RunModal(dialog), 0);
}

TYPED_TEST_P(PlatformContract, FieldsKeepTheirTextAndTakeTypingUnlessReadOnly) {
    using namespace contract;
    auto& user = this->user;
    ScriptedDialog dialog(this->Platform());
    const std::string status = "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0 MidiInOpen";
    const std::string log = "9,0\t60\t100\t0\r\n176,0\t1\t2\t0\r\n";
    dialog.onInit = [&] {
        Window& window = dialog.GetWindow();
        window.SetDlgItemText(IDC_STATUS, status);
        window.SetDlgItemText(IDC_MIDILOG, log);
        EXPECT_EQ(window.GetDlgItemText(IDC_STATUS), status);
        EXPECT_EQ(window.GetDlgItemText(IDC_MIDILOG), log);
    };
    dialog.steps = {
        WaitUntil([&] { return user.Shown(dialog); }),
        Do([&] {
            user.Type(dialog, IDC_STATUS, "typed");  // read-only
            user.Type(dialog, IDC_AMPLITUDE, "3000");
        }),
        WaitUntil([&] { return dialog.GetWindow().GetDlgItemText(IDC_AMPLITUDE) == "3000"; }),
        Do([&] { EXPECT_EQ(dialog.GetWindow().GetDlgItemText(IDC_STATUS), status); }),
    };
    EXPECT_EQ(this->Platform().RunModal(dialog), 0);
}

TYPED_TEST_P(PlatformContract, SlidersKeepTheirThumbInsideTheirRange) {
    using namespace contract;
    ScriptedDialog dialog(this->Platform());
    dialog.onInit = [&] {
        Window& window = dialog.GetWindow();
        EXPECT_EQ(window.GetSliderPos(IDC_SLIDER_2), 0);
        window.SetSliderPos(IDC_SLIDER_2, 50, true);
        EXPECT_EQ(window.GetSliderPos(IDC_SLIDER_2), 50) << "a new slider's range is 0 to 100";
        window.SetSliderPos(IDC_SLIDER_2, 150, true);
        EXPECT_EQ(window.GetSliderPos(IDC_SLIDER_2), 100);
        window.SetSliderRange(IDC_SLIDER_2, 10, 100, true);
        window.SetSliderPos(IDC_SLIDER_2, -5, true);
        EXPECT_EQ(window.GetSliderPos(IDC_SLIDER_2), 10);
        window.SetSliderPos(IDC_SLIDER_2, 40, true);
        window.SetSliderRange(IDC_SLIDER_2, 0, 30, true);
        EXPECT_EQ(window.GetSliderPos(IDC_SLIDER_2), 30);
        window.SetSliderRange(IDC_SLIDER_BASE, 0, 100, true);
        window.SetSliderPos(IDC_SLIDER_BASE, 60, true);
    };
    dialog.steps = {
        WaitUntil([&] { return this->user.Shown(dialog); }),
        Do([&] { this->user.DragSliderToTop(dialog, IDC_SLIDER_BASE); }),
        WaitUntil([&] { return dialog.GetWindow().GetSliderPos(IDC_SLIDER_BASE) == 0; }),
    };
    EXPECT_EQ(this->Platform().RunModal(dialog), 0);
}

// --- Drawing ---------------------------------------------------------------------------

// A shape covers [left, right) x [top, bottom), outlined in black and filled with the
// selected brush; before any is selected, with the context's own white one.
TYPED_TEST_P(PlatformContract, ShapesAreFilledWithTheSelectedBrushAndOutlinedInBlack) {
    using namespace contract;
    auto& user = this->user;
    ScriptedDialog dialog(this->Platform());
    const ColorRef red = Rgb(255, 0, 0), teal = Rgb(0, 250, 200), black = Rgb(0, 0, 0);
    const ColorRef white = Rgb(255, 255, 255);
    auto pixel = [&](int x, int y) { return user.Pixel(dialog, x, y); };
    size_t paints = 0;
    dialog.onMessage = [&](auto message, auto wParam, auto) -> Reply {
        if (message == WM_TIMER && wParam == 1 && paints == 0) paints = dialog.Count(WM_PAINT);
        return std::nullopt;
    };
    dialog.steps = {
        // A step runs on a timer's tick, which a window gets only once it has painted
        // what it had to: no paint comes later to paint over the drawing.
        WaitUntil([&] { return user.Shown(dialog); }),
        Do([&] {
            DeviceContext* dc = dialog.GetWindow().GetDC();
            dc->Rectangle(40, 180, 50, 190);
            const BrushHandle redBrush = dc->CreateSolidBrush(red);
            const BrushHandle tealBrush = dc->CreateSolidBrush(teal);
            ASSERT_NE(redBrush, 0u);
            const BrushHandle original = dc->SelectObject(redBrush);
            dc->Rectangle(10, 180, 20, 190);
            dc->Rectangle(30, 180, 30, 190);  // no width: nothing
            EXPECT_EQ(dc->SelectObject(tealBrush), redBrush);
            dc->Ellipse(396, 264, 391, 257);  // corners in any order
            EXPECT_EQ(dc->SelectObject(original), tealBrush);
            dc->Rectangle(60, 180, 70, 190);
            EXPECT_TRUE(dc->DeleteObject(redBrush));
            EXPECT_TRUE(dc->DeleteObject(tealBrush));
            dialog.GetWindow().ReleaseDC(dc);
        }),
        WaitUntil([&] { return pixel(15, 185) == red; }),
        Do([&] {
            for (const auto& [x, y] : {std::pair{10, 185}, {19, 185}, {15, 180}, {15, 189}})
                EXPECT_EQ(pixel(x, y), black) << x << "," << y;
            EXPECT_EQ(pixel(11, 181), red);
            EXPECT_EQ(pixel(18, 188), red);
            const ColorRef untouched = pixel(35, 185);
            EXPECT_NE(untouched, red);
            for (const auto& [x, y] : {std::pair{20, 185}, {15, 190}, {9, 185}, {30, 185}})
                EXPECT_EQ(pixel(x, y), untouched) << x << "," << y;
            EXPECT_EQ(pixel(45, 185), white);
            EXPECT_EQ(pixel(65, 185), white) << "the original brush selected again";
            EXPECT_EQ(pixel(393, 260), teal);
            EXPECT_EQ(pixel(391, 257), untouched) << "a corner outside the ellipse";
            dialog.GetWindow().SetTimer(1, 50);
        }),
        // An endless paint cycle would bring paints between two ticks of a timer.
        WaitUntil([&] { return dialog.Handled(WM_TIMER, 1) >= 2; }),
    };
    EXPECT_EQ(this->Platform().RunModal(dialog), 0);
    EXPECT_EQ(dialog.Count(WM_PAINT), paints);
}

// --- Files -----------------------------------------------------------------------------

TYPED_TEST_P(PlatformContract, AnOpenFileIsSharedWithNobodyUntilItIsClosed) {
    using namespace contract;
    FileSystem& files = this->Platform().GetFiles();
    const std::string path = this->user.PathOf("midi.dat");
    EXPECT_EQ(files.OpenExclusive(path, OpenMode::Read), nullptr) << "a missing file";
    EXPECT_EQ(files.ReadWholeFile(path), std::nullopt);
    EXPECT_EQ(files.Stamp(path), std::nullopt);
    EXPECT_FALSE(files.Exists(path));
    EXPECT_FALSE(files.DeleteFile(path));

    auto writer = files.OpenExclusive(path, OpenMode::CreateWrite);
    ASSERT_NE(writer, nullptr);
    EXPECT_TRUE(writer->Write("1234", 4));
    EXPECT_TRUE(writer->Write("5678", 4));
    EXPECT_EQ(files.OpenExclusive(path, OpenMode::Read), nullptr);
    EXPECT_EQ(files.OpenExclusive(path, OpenMode::CreateWrite), nullptr);
    EXPECT_EQ(files.ReadWholeFile(path), std::nullopt);
    EXPECT_FALSE(files.ReplaceWholeFile(path, "x"));
    EXPECT_FALSE(files.DeleteFile(path));
    EXPECT_EQ(writer->Length(), 8u) << "a refused open must not truncate the held file";
    writer.reset();

    auto reader = files.OpenExclusive(path, OpenMode::Read);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(files.OpenExclusive(path, OpenMode::Read), nullptr);
    char bytes[16] = {};
    EXPECT_EQ(reader->Read(bytes, sizeof bytes), 8u);
    EXPECT_EQ(std::string(bytes), "12345678");
    EXPECT_EQ(reader->Length(), 8u);
    reader.reset();

    auto truncating = files.OpenExclusive(path, OpenMode::CreateWrite);
    ASSERT_NE(truncating, nullptr);
    EXPECT_EQ(truncating->Length(), 0u);
    truncating.reset();
    EXPECT_TRUE(files.Exists(path));
    EXPECT_TRUE(files.DeleteFile(path));
    EXPECT_FALSE(files.Exists(path));
}

TYPED_TEST_P(PlatformContract, AReplacementIsWholeAndLeavesNoTemporaryFileBehind) {
    using namespace contract;
    FileSystem& files = this->Platform().GetFiles();
    const std::string path = this->user.PathOf("Kelvarin.ini");
    ASSERT_TRUE(files.ReplaceWholeFile(path, "[Kelvarin]\nsl1=100\n"));
    EXPECT_EQ(files.ReadWholeFile(path), "[Kelvarin]\nsl1=100\n");
    const std::optional<FileStamp> first = files.Stamp(path);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size, 19u);
    EXPECT_EQ(files.Stamp(path), first);
    ASSERT_TRUE(files.ReplaceWholeFile(path, "[Kelvarin]\nsl1=200\n"));  // the same size
    EXPECT_EQ(files.ReadWholeFile(path), "[Kelvarin]\nsl1=200\n");
    EXPECT_NE(files.Stamp(path), first);
    EXPECT_THAT(this->user.Names(), testing::ElementsAre("Kelvarin.ini"));

    const std::string elsewhere =
        this->user.PathOf("missing") + files.PathSeparator() + "Kelvarin.ini";
    EXPECT_FALSE(files.ReplaceWholeFile(elsewhere, "x")) << "a folder that does not exist";
    EXPECT_EQ(files.OpenExclusive(elsewhere, OpenMode::CreateWrite), nullptr);
    EXPECT_THAT(this->user.Names(), testing::ElementsAre("Kelvarin.ini"));
}

REGISTER_TYPED_TEST_SUITE_P(PlatformContract,
                            ADialogStartsWithItsControlsAndEndsWithTheResultItIsGiven,
                            ADialogThatRefusesCreationOrEndsWhileStartingRunsNoLoop,
                            PostedMessagesWaitTheirTurnAndSentOnesRunAtOnce,
                            TheWindowBeneathAModalBoxIsServedButTakesNoInput,
                            AnEndedDialogsTimersAndMessagesGoUnheard,
                            TimersTickWithTheirIdsOrCallTheirProcedures,
                            AWmTimerPostedByHandReachesTheWindowProcedure,
                            ABusyWindowGetsOneLateTickNotABurst,
                            TheTickCountCountsMilliseconds,
                            ACloseRequestCancelsTheDialogThroughTheDefaultHandling,
                            OkEndsTheDialogAndACloseWaitsBehindWhatIsQueued,
                            TabEnterAndEscDoNothingToTheDialog,
                            OnlyAnEnabledButtonsClickReachesTheDialogAndTakesTheFocus,
                            TheFocusGoesToTheFirstTabStopOrWhereTheDialogPutsIt,
                            AWindowHiddenWhileStartingStaysHiddenUntilShown,
                            FieldsKeepTheirTextAndTakeTypingUnlessReadOnly,
                            SlidersKeepTheirThumbInsideTheirRange,
                            ShapesAreFilledWithTheSelectedBrushAndOutlinedInBlack,
                            AnOpenFileIsSharedWithNobodyUntilItIsClosed,
                            AReplacementIsWholeAndLeavesNoTemporaryFileBehind);
