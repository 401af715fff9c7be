// The simulated platform's own rules, beyond the contract that every platform keeps
// (platform_contract.h): its step-by-step loop, its hooks for tests, and the misuse it
// catches.
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

// As on screen: a button takes a second click before the first is handled, and a
// command posted for a disabled button still arrives. PumpOne takes one message at a time.
TEST(SimMessageLoop, ClicksWaitToBeHandledAndPostedCommandsArriveWhateverTheButton) {
    SimPlatform sim;
    RecordingDialog dialog;
    std::vector<WPARAM> commands;
    dialog.onMessage = [&](UINT message, WPARAM wParam) {
        if (message == WM_COMMAND) commands.push_back(wParam);
    };
    sim.Open(dialog);
    EXPECT_TRUE(sim.Click(res::IDC_WRITE));
    EXPECT_TRUE(sim.Click(res::IDC_WRITE));
    sim.Post(WM_COMMAND, MakeCommand(res::IDC_STOP, BN_CLICKED));
    EXPECT_TRUE(sim.PumpOne());
    EXPECT_THAT(commands, SizeIs(1));
    sim.Pump();
    const WPARAM write = MakeCommand(res::IDC_WRITE, BN_CLICKED);
    EXPECT_THAT(commands, ElementsAre(write, write, MakeCommand(res::IDC_STOP, BN_CLICKED)));
    EXPECT_FALSE(sim.PumpOne());
}

// --- Default processing, the same code on every platform ------------------------------

// A real system would start moving the window, which no test can end.
TEST(DefaultProcessing, ASystemCommandOtherThanCloseDoesNotClose) {
    SimPlatform sim;
    RecordingDialog dialog;
    Window& window = sim.Open(dialog);
    window.SendMessage(WM_SYSCOMMAND, 0xF010, 0);  // a move
    sim.Pump();
    EXPECT_FALSE(sim.Ended());
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

TEST(SimMessageLoop, AModalBoxKeepsEveryInputFromTheWindowBeneath) {
    SimPlatform sim;
    RecordingDialog main;
    RecordingDialog about(res::AboutDialogTemplate);
    sim::SimWindow& window = sim.Open(main);
    sim.SetIdleHook([&](SimPlatform&) {
        EXPECT_FALSE(window.Click(res::IDC_RESET_SOUND));
        EXPECT_FALSE(window.Type(res::IDC_AMPLITUDE, "1"));
        EXPECT_FALSE(window.DragSlider(res::IDC_SLIDER_2, 5));
        window.KeyDown('Q');
        window.KeyUp('Q');
        window.SysKeyDown('Q');
        window.SysKeyUp('Q');
        window.LButtonDown(500, 230);
        window.MouseMove(500, 231, MK_LBUTTON);
        window.SysCommand(SC_CLOSE);
        EXPECT_EQ(sim.Queue().Size(), 0u);
        return false;
    });
    sim.RunModal(about);
    EXPECT_TRUE(window.Click(res::IDC_RESET_SOUND)) << "the box has gone";
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

TEST(SimTimers, TickCountWrapsLikeTheSystems) {
    SimPlatform sim;
    sim.SetTickCount(0xFFFFFFF0u);
    sim.AdvanceTime(0x20);
    EXPECT_EQ(sim.GetTickCount(), 0x10u);
}

// --- Controls --------------------------------------------------------------------------

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

TEST(SimControls, ACallNamingAControlTheWindowLacksIsReported) {
    SimPlatform sim;
    RecordingDialog dialog;
    sim::SimWindow& window = sim.Open(dialog);
    window.SetDlgItemText(4242, "nowhere");
    window.SetSliderPos(res::IDC_STATUS, 1, true);
    EXPECT_THAT(window.Problems(), ElementsAre("SetDlgItemText: no control 4242",
                                               "SetSliderPos: control 1063 is not a slider"));
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

TEST(SimFiles, FilesAreMadeOnlyInFoldersThatExist) {
    sim::SimFileSystem files;
    files.SetCurrentDirectory("/home/player/music");
    files.SetFile("/srv/data/old.dat", "");
    EXPECT_TRUE(files.ReplaceWholeFile("new.ini", "x"));
    EXPECT_TRUE(files.ReplaceWholeFile("/home/new.ini", "x")) << "a folder above the current one";
    EXPECT_NE(files.OpenExclusive("/srv/data/new.dat", OpenMode::CreateWrite), nullptr)
        << "a folder that holds a file";
    EXPECT_EQ(files.OpenExclusive("/srv/other/new.dat", OpenMode::CreateWrite), nullptr);
    EXPECT_FALSE(files.ReplaceWholeFile("/home/player/mus/new.ini", "x"));
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
