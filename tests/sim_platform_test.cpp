// The simulated platform's own rules: the ones the program's tests lean on without
// seeing them.
#include "platform/sim/sim_platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "res/control_ids.h"
#include "res/dialog_template.h"

namespace {

using namespace platform;
using sim::SimPlatform;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::SizeIs;

constexpr UINT Ping = 0x0400;  // a message of our own, with no default meaning

// Records what reaches it; tests add behaviour through the hooks.
class RecordingDialog : public Dialog {
public:
    explicit RecordingDialog(const res::DialogTemplate& dialogTemplate = res::MainDialogTemplate)
        : Dialog(dialogTemplate) {}

    bool OnInitDialog() override {
        if (onInit) onInit(GetWindow());
        return true;
    }
    bool PreTranslateMessage(const Message& message) override {
        preTranslated.push_back(message.message);
        return false;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == Ping || message == WM_TIMER || message == MM_WOM_DONE)
            seen.push_back({message, wParam});
        if (onMessage) onMessage(message, wParam);
        return Dialog::WindowProc(message, wParam, lParam);
    }

    std::function<void(Window&)> onInit;
    std::function<void(UINT, WPARAM)> onMessage;
    std::vector<UINT> preTranslated;
    std::vector<std::pair<UINT, WPARAM>> seen;
};

// --- Message loop -------------------------------------------------------------------

TEST(SimMessageLoop, MessagesPostedWhilePumpingComeAfterThoseAlreadyWaiting) {
    SimPlatform sim;
    RecordingDialog dialog;
    dialog.onMessage = [&](UINT message, WPARAM wParam) {
        if (message == Ping && wParam == 1) dialog.GetWindow().PostMessage(Ping, 3, 0);
    };
    sim.Open(dialog);
    sim.Post(Ping, 1);
    sim.Post(Ping, 2);
    sim.Pump();
    EXPECT_THAT(dialog.seen, ElementsAre(std::pair{Ping, WPARAM{1}}, std::pair{Ping, WPARAM{2}},
                                         std::pair{Ping, WPARAM{3}}));
}

TEST(SimMessageLoop, EndingTheDialogStopsDispatchAndDetachesTheWindow) {
    SimPlatform sim;
    RecordingDialog dialog;
    dialog.onMessage = [&](UINT message, WPARAM) {
        if (message == Ping) dialog.GetWindow().EndDialog(7);
    };
    sim.Open(dialog);
    sim.Post(Ping, 1);
    sim.Post(Ping, 2);
    sim.Pump();
    EXPECT_THAT(dialog.seen, SizeIs(1));
    EXPECT_TRUE(sim.Ended());
    EXPECT_EQ(sim.Result(), 7);
    EXPECT_FALSE(dialog.HasWindow());
    EXPECT_EQ(sim.Queue().Size(), 0u);
}

TEST(SimMessageLoop, WindowStartsAsTheTemplateSaysAndShowsAfterInit) {
    SimPlatform sim;
    RecordingDialog dialog;
    sim::SimWindow& window = sim.Open(dialog);
    EXPECT_TRUE(window.Shown());
    EXPECT_EQ(window.Text(res::IDC_STOP), "Stop");
    EXPECT_FALSE(window.Enabled(res::IDC_STOP));
    EXPECT_EQ(window.Text(res::IDC_AMPLITUDE), "");
    EXPECT_EQ(window.SliderRange(res::IDC_SLIDER_BASE), std::pair(0, 0));
    // The first enabled tab stop, since OnInitDialog asked for it.
    EXPECT_EQ(window.Focus(), res::IDC_GENERATE);
    EXPECT_EQ(dialog.preTranslated, std::vector<UINT>{});
}

TEST(SimMessageLoop, DialogHiddenDuringInitStaysHidden) {
    SimPlatform sim;
    RecordingDialog dialog;
    dialog.onInit = [](Window& window) { window.ShowWindow(SW_HIDE); };
    EXPECT_FALSE(sim.Open(dialog).Shown());
}

TEST(SimMessageLoop, DisabledButtonIgnoresClicksAndEnabledOneTakesTheFocus) {
    SimPlatform sim;
    RecordingDialog dialog;
    sim.Open(dialog);
    EXPECT_FALSE(sim.Click(res::IDC_STOP));
    EXPECT_EQ(sim.Queue().Size(), 0u);
    EXPECT_TRUE(sim.Click(res::IDC_WRITE));
    EXPECT_EQ(sim.Main().Focus(), res::IDC_WRITE);
    EXPECT_EQ(sim.Queue().Pending().front().message.wParam, MakeCommand(res::IDC_WRITE, BN_CLICKED));
}

TEST(SimMessageLoop, SystemCloseBecomesWmCloseThroughDefaultProcessing) {
    SimPlatform sim;
    RecordingDialog dialog;
    std::vector<UINT> closes;
    dialog.onMessage = [&](UINT message, WPARAM) {
        if (message == WM_CLOSE) closes.push_back(message);
    };
    sim.Open(dialog);
    sim.SysCommand(SC_CLOSE);
    sim.Pump();
    EXPECT_THAT(closes, SizeIs(1));
}

// --- Default processing, the same code on every platform ------------------------------

TEST(DefaultProcessing, CloseQueuesCancelBehindWhatIsWaiting) {
    SimPlatform sim;
    RecordingDialog dialog;
    std::vector<UINT> order;
    dialog.onMessage = [&](UINT message, WPARAM wParam) {
        if (message == Ping || (message == WM_COMMAND && CommandId(wParam) == IDCANCEL))
            order.push_back(message);
    };
    Window& window = sim.Open(dialog);
    window.PostMessage(Ping, 0, 0);
    EXPECT_EQ(window.SendMessage(WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(sim.Ended());  // posted, not sent
    sim.Pump();
    EXPECT_THAT(order, ElementsAre(Ping, WM_COMMAND));
    EXPECT_TRUE(sim.Ended());
    EXPECT_EQ(sim.Result(), IDCANCEL);
}

TEST(DefaultProcessing, OkEndsTheDialogAndOtherCommandsDoNot) {
    SimPlatform sim;
    RecordingDialog dialog;
    Window& window = sim.Open(dialog);
    window.SendMessage(WM_COMMAND, MakeCommand(1000, BN_CLICKED), 0);
    window.SendMessage(WM_COMMAND, MakeCommand(IDOK, 1), 0);  // not a click
    window.SendMessage(WM_SYSCOMMAND, 0xF010, 0);             // a move, not a close
    sim.Pump();
    EXPECT_FALSE(sim.Ended());
    window.SendMessage(WM_COMMAND, MakeCommand(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(sim.Ended());
    EXPECT_EQ(sim.Result(), IDOK);
}

TEST(DefaultProcessing, PaintRunsAnEmptyPaintCycle) {
    SimPlatform sim;
    RecordingDialog dialog;
    sim.Open(dialog);
    sim.Graphics().ClearLog();
    sim.Main().Paint();
    sim.Pump();
    EXPECT_THAT(sim.Graphics().Kinds(), ElementsAre(sim::DrawKind::BeginPaint, sim::DrawKind::EndPaint));
    EXPECT_THAT(sim.Graphics().Problems(), IsEmpty());
}

TEST(SimMessageLoop, NestedModalLoopKeepsServingTheWindowBeneath) {
    SimPlatform sim;
    RecordingDialog main;
    RecordingDialog about(res::AboutDialogTemplate);
    main.onMessage = [&](UINT message, WPARAM wParam) {
        if (message == Ping && wParam == 1) sim.RunModal(about);
    };
    int idleCalls = 0;
    sim.SetIdleHook([&](SimPlatform& s) {
        // First the main window gets a message while the box is up, then OK is pressed.
        if (++idleCalls == 1) s.Post(Ping, 2);
        else s.Top().Click(IDOK);
        return true;
    });
    sim.Open(main);
    sim.Post(Ping, 1);
    sim.Pump();
    EXPECT_THAT(main.seen, ElementsAre(std::pair{Ping, WPARAM{1}}, std::pair{Ping, WPARAM{2}}));
    EXPECT_THAT(sim.ModalRuns(), ElementsAre(sim::ModalRun{res::AboutDialogId, IDOK, false}));
    EXPECT_FALSE(sim.Ended());
}

TEST(SimMessageLoop, ModalLoopWithNothingToDoGivesUpAsIfOkWasPressed) {
    SimPlatform sim;
    RecordingDialog about(res::AboutDialogTemplate);
    EXPECT_EQ(sim.RunModal(about), IDOK);
    EXPECT_THAT(sim.ModalRuns(), ElementsAre(sim::ModalRun{res::AboutDialogId, IDOK, true}));
}

TEST(SimMessageLoop, IdleHookThatOnlyMovesTimeKeepsTheLoopWaiting) {
    SimPlatform sim;
    RecordingDialog box(res::AboutDialogTemplate);
    box.onInit = [](Window& window) { window.SetTimer(1, 100); };
    box.onMessage = [&](UINT message, WPARAM) {
        if (message == WM_TIMER) box.GetWindow().EndDialog(5);
    };
    sim.SetIdleHook([](SimPlatform& s) {
        s.AdvanceTime(1);
        return true;
    });
    EXPECT_EQ(sim.RunModal(box), 5);
    EXPECT_EQ(sim.GetTickCount(), 100u);
}

// --- Timers ----------------------------------------------------------------------------

TEST(SimTimers, AtMostOneTimerMessageWaitsPerTimer) {
    SimPlatform sim;
    RecordingDialog dialog;
    dialog.onInit = [](Window& window) {
        window.SetTimer(0, 500);
        window.SetTimer(1, 100);
    };
    sim.Open(dialog);
    sim.AdvanceTime(1000);
    sim.FireTimer(1);
    sim.Pump();
    // Timer 1 came due first; ten periods passed but it is owed one message.
    EXPECT_THAT(dialog.seen, ElementsAre(std::pair{WM_TIMER, WPARAM{1}}, std::pair{WM_TIMER, WPARAM{0}}));
    dialog.seen.clear();
    sim.AdvanceTime(99);
    sim.Pump();
    EXPECT_THAT(dialog.seen, IsEmpty());
    sim.AdvanceTime(1);
    sim.Pump();
    EXPECT_THAT(dialog.seen, ElementsAre(std::pair{WM_TIMER, WPARAM{1}}));
}

TEST(SimTimers, ProcedureTimerCallsItsProcedureAndKillingDropsTheWaitingMessage) {
    SimPlatform sim;
    RecordingDialog dialog;
    int ticks = 0;
    dialog.onInit = [&](Window& window) { window.SetTimer(5555, 1, [&] { ++ticks; }); };
    sim.Open(dialog);
    sim.RunFor(3);
    EXPECT_EQ(ticks, 3);
    EXPECT_THAT(dialog.seen, IsEmpty());
    EXPECT_THAT(dialog.preTranslated, ElementsAre(WM_TIMER, WM_TIMER, WM_TIMER));
    sim.AdvanceTime(1);
    sim.Main().KillTimer(5555);
    sim.Pump();
    EXPECT_EQ(ticks, 3);
}

TEST(SimTimers, TickCountWrapsLikeTheSystems) {
    SimPlatform sim;
    sim.SetTickCount(0xFFFFFFF0u);
    sim.AdvanceTime(0x20);
    EXPECT_EQ(sim.GetTickCount(), 0x10u);
}

// --- Controls --------------------------------------------------------------------------

TEST(SimControls, SliderKeepsItsThumbInsideItsRange) {
    SimPlatform sim;
    RecordingDialog dialog;
    Window& window = sim.Open(dialog);
    window.SetSliderPos(res::IDC_SLIDER_2, 50, true);
    EXPECT_EQ(window.GetSliderPos(res::IDC_SLIDER_2), 0);
    window.SetSliderRange(res::IDC_SLIDER_2, 0, 100, true);
    window.SetSliderPos(res::IDC_SLIDER_2, 150, true);
    EXPECT_EQ(window.GetSliderPos(res::IDC_SLIDER_2), 100);
    window.SetSliderRange(res::IDC_SLIDER_2, 0, 40, true);
    EXPECT_EQ(window.GetSliderPos(res::IDC_SLIDER_2), 40);
}

TEST(SimControls, ARightClickOnASliderReachesTheDialogWithItsIdAndMovesNothing) {
    SimPlatform sim;
    RecordingDialog dialog;
    std::vector<WPARAM> clicked;
    dialog.onMessage = [&](UINT message, WPARAM wParam) {
        if (message == WM_CONTEXTMENU) clicked.push_back(wParam);
    };
    sim::SimWindow& window = sim.Open(dialog);
    window.SetSliderRange(res::IDC_SLIDER_RELEASE, 0, 100, true);
    window.SetSliderPos(res::IDC_SLIDER_RELEASE, 30, true);
    EXPECT_TRUE(window.RightClickSlider(res::IDC_SLIDER_RELEASE));
    EXPECT_THROW(window.RightClickSlider(res::IDC_STOP), std::invalid_argument);
    window.EnableDlgItem(res::IDC_SLIDER_3, false);
    EXPECT_FALSE(window.RightClickSlider(res::IDC_SLIDER_3));
    sim.Pump();
    EXPECT_THAT(clicked, ElementsAre(WPARAM{res::IDC_SLIDER_RELEASE}));
    EXPECT_EQ(window.SliderPos(res::IDC_SLIDER_RELEASE), 30);
    // The colour a slider is drawn on, and back to the usual.
    window.SetSliderColor(res::IDC_SLIDER_2, Rgb(0, 250, 200));
    EXPECT_EQ(window.SliderColor(res::IDC_SLIDER_2), Rgb(0, 250, 200));
    EXPECT_EQ(window.SliderColor(res::IDC_SLIDER_3), std::nullopt);
    window.SetSliderColor(res::IDC_SLIDER_2, std::nullopt);
    EXPECT_EQ(window.SliderColor(res::IDC_SLIDER_2), std::nullopt);
    window.SetSliderColor(res::IDC_STOP, Rgb(1, 2, 3));
    EXPECT_THAT(window.Problems(), SizeIs(1));
}

TEST(SimControls, UserCannotTypeIntoReadOnlyEditAndUnknownIdsAreReported) {
    SimPlatform sim;
    RecordingDialog dialog;
    sim::SimWindow& window = sim.Open(dialog);
    EXPECT_FALSE(window.Type(res::IDC_STATUS, "typed"));
    EXPECT_TRUE(window.Type(res::IDC_AMPLITUDE, "3000"));
    EXPECT_EQ(window.GetDlgItemText(res::IDC_AMPLITUDE), "3000");
    window.SetDlgItemText(4242, "nowhere");
    EXPECT_THAT(window.Problems(), SizeIs(1));
}

// --- Wave output -------------------------------------------------------------------------

struct Block {
    std::vector<int16_t> samples;
    WaveHeader header{};
    explicit Block(int16_t value, intptr_t user) : samples(100, value) {
        header.data = reinterpret_cast<uint8_t*>(samples.data());
        header.bufferLength = 200;
        header.user = user;
    }
};

class SimWaveOutTest : public testing::Test {
protected:
    void SetUp() override {
        window_ = &sim_.Open(dialog_);
        ASSERT_EQ(wave().Open(handle_, format_, *window_), MMSYSERR_NOERROR);
    }
    sim::SimWaveOut& wave() { return sim_.Wave(); }
    MmResult Queue(Block& block) {
        wave().PrepareHeader(handle_, &block.header);
        return wave().Write(handle_, &block.header);
    }

    SimPlatform sim_;
    RecordingDialog dialog_;
    sim::SimWindow* window_ = nullptr;
    WaveOutHandle handle_ = nullptr;
    WaveFormat format_{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16};
};

TEST_F(SimWaveOutTest, BlocksComeBackOldestFirstAndFailedWritesNever) {
    Block a(1, 10), b(2, 20), c(3, 30);
    Queue(a);
    wave().FailNext(sim::WaveCall::Write, MMSYSERR_NOMEM);
    EXPECT_EQ(Queue(b), MMSYSERR_NOMEM);
    Queue(c);
    EXPECT_EQ(wave().InFlight(), 2u);
    EXPECT_EQ(wave().CompleteBlocks(5), 2u);
    sim_.Pump();
    EXPECT_THAT(dialog_.seen, ElementsAre(std::pair{MM_WOM_DONE, reinterpret_cast<WPARAM>(handle_)},
                                          std::pair{MM_WOM_DONE, reinterpret_cast<WPARAM>(handle_)}));
    ASSERT_THAT(wave().Blocks(), SizeIs(2));
    EXPECT_EQ(wave().Blocks()[0].user, 10);
    EXPECT_EQ(wave().Blocks()[1].samples[99], 3);
    EXPECT_EQ(wave().FailedWrites(), 1);
    EXPECT_EQ(wave().Format()->samplesPerSec, 44100u);
}

TEST_F(SimWaveOutTest, CompletionCarriesTheHeaderAndBlocksAreCopiedWhenWritten) {
    Block a(5, 0);
    Queue(a);
    a.samples[0] = 99;
    wave().CompleteBlocks(1);
    EXPECT_EQ(sim_.Queue().Pending().front().message.lParam, reinterpret_cast<LPARAM>(&a.header));
    EXPECT_EQ(wave().Samples()[0], 5);
}

TEST_F(SimWaveOutTest, CloseWhileBlocksAreInFlightFailsAndClosesNothing) {
    Block a(0, 0);
    Queue(a);
    EXPECT_EQ(wave().Close(handle_), platform::WAVERR_STILLPLAYING);
    EXPECT_EQ(wave().UnprepareHeader(handle_, &a.header), platform::WAVERR_STILLPLAYING);
    EXPECT_TRUE(wave().IsOpen());
    wave().CompleteAll();
    EXPECT_EQ(wave().UnprepareHeader(handle_, &a.header), MMSYSERR_NOERROR);
    EXPECT_EQ(wave().Close(handle_), MMSYSERR_NOERROR);
    EXPECT_FALSE(wave().IsOpen());
}

TEST_F(SimWaveOutTest, FailureUntilClearedHitsEveryCall) {
    Block a(0, 0), b(0, 0);
    wave().FailAlways(sim::WaveCall::Prepare, MMSYSERR_ERROR);
    EXPECT_EQ(wave().PrepareHeader(handle_, &a.header), MMSYSERR_ERROR);
    EXPECT_EQ(wave().PrepareHeader(handle_, &b.header), MMSYSERR_ERROR);
    EXPECT_EQ(wave().Write(handle_, &a.header), WAVERR_UNPREPARED);
    wave().ClearFailures();
    EXPECT_EQ(Queue(a), MMSYSERR_NOERROR);
}

// --- Files -------------------------------------------------------------------------------

TEST(SimFiles, OpenFileIsHeldExclusivelyUntilClosed) {
    sim::SimFileSystem files;
    auto writer = files.OpenExclusive("midi.dat", OpenMode::CreateWrite);
    ASSERT_NE(writer, nullptr);
    EXPECT_TRUE(writer->Write("abcd", 4));
    EXPECT_EQ(files.OpenExclusive("/home/player/midi.dat", OpenMode::Read), nullptr);
    EXPECT_EQ(files.ReadWholeFile("midi.dat"), std::nullopt);
    EXPECT_FALSE(files.DeleteFile("midi.dat"));
    writer.reset();
    auto reader = files.OpenExclusive("midi.dat", OpenMode::Read);
    ASSERT_NE(reader, nullptr);
    char buffer[8] = {};
    EXPECT_EQ(reader->Read(buffer, sizeof buffer), 4u);
    EXPECT_EQ(std::string(buffer), "abcd");
}

TEST(SimFiles, FileHeldByAnotherProcessOrUnwritableIsLeftAlone) {
    sim::SimFileSystem files;
    files.SetFile("Kelvarin.ini", "[Kelvarin]\n");
    files.HoldOpenElsewhere("Kelvarin.ini");
    EXPECT_EQ(files.OpenExclusive("Kelvarin.ini", OpenMode::Read), nullptr);
    EXPECT_FALSE(files.ReplaceWholeFile("Kelvarin.ini", "x"));
    files.HoldOpenElsewhere("Kelvarin.ini", false);
    files.SetUnwritable("Kelvarin.ini");
    EXPECT_FALSE(files.ReplaceWholeFile("Kelvarin.ini", "x"));
    EXPECT_FALSE(files.DeleteFile("Kelvarin.ini"));
    EXPECT_EQ(files.Contents("/home/player/Kelvarin.ini"), "[Kelvarin]\n");
    EXPECT_EQ(files.Writes("Kelvarin.ini"), 0);
}

TEST(SimFiles, AFullDiskRefusesAWriteThatDoesNotFitWholeAndKeepsTheFile) {
    sim::SimFileSystem files;
    files.LimitSize("midi.dat", 6);
    auto writer = files.OpenExclusive("midi.dat", OpenMode::CreateWrite);
    ASSERT_NE(writer, nullptr);
    EXPECT_TRUE(writer->Write("abcd", 4));
    EXPECT_FALSE(writer->Write("efg", 3));
    EXPECT_TRUE(writer->Write("ef", 2));
    EXPECT_EQ(files.Contents("midi.dat"), "abcdef");
    files.LimitSize("midi.dat", 4);  // the disk fills up under an open file
    EXPECT_FALSE(writer->Write("g", 1));
    EXPECT_EQ(files.Writes("midi.dat"), 2);
}

// --- Drawing -----------------------------------------------------------------------------

TEST(SimDrawing, RecordsFillsAndCatchesMisuse) {
    SimPlatform sim;
    RecordingDialog dialog;
    Window& window = sim.Open(dialog);
    DeviceContext* dc = window.GetDC();
    const BrushHandle red = dc->CreateSolidBrush(Rgb(255, 0, 0));
    dc->Rectangle(0, 0, 4, 4);
    const BrushHandle old = dc->SelectObject(red);
    dc->Ellipse(1, 2, 3, 4);
    EXPECT_THAT(sim.Graphics().Problems(), ElementsAre("dc1 from GetDC never released"));
    dc->DeleteObject(red);  // still selected
    window.ReleaseDC(dc);
    dc->Rectangle(0, 0, 1, 1);  // after release
    EXPECT_EQ(old, 0u);
    EXPECT_THAT(sim.Graphics().Rectangles(),
                ElementsAre(sim::Shape{0, 0, 4, 4, std::nullopt}, sim::Shape{0, 0, 1, 1, Rgb(255, 0, 0)}));
    EXPECT_THAT(sim.Graphics().Ellipses(), ElementsAre(sim::Shape{1, 2, 3, 4, Rgb(255, 0, 0)}));
    EXPECT_THAT(sim.Graphics().Problems(), SizeIs(3));
}

TEST(SimDrawing, BrushNotDeletedByReleaseIsALeakAndCreationCanFail) {
    SimPlatform sim;
    RecordingDialog dialog;
    Window& window = sim.Open(dialog);
    DeviceContext* dc = window.GetDC();
    dc->CreateSolidBrush(Rgb(0, 0, 255));
    sim.Graphics().SetBrushCreationFails(true);
    EXPECT_EQ(dc->CreateSolidBrush(Rgb(0, 255, 0)), 0u);
    window.ReleaseDC(dc);
    EXPECT_THAT(sim.Graphics().Problems(), ElementsAre("brush 1 created on dc1 leaked"));
    EXPECT_EQ(sim.Graphics().LiveBrushes(), 1);
}

}  // namespace
