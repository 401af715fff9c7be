// The audio stream as the user hears and sees it: one new block per returned block,
// the samples of the tone, BlockCount and Freq, and "Stop", "X" and "Abort".
#include <algorithm>
#include <cmath>

#include "app_fixture.h"
#include "synth/pitch.h"

using namespace res;
using platform::IDOK;
using platform::WM_CLOSE;

namespace {

int16_t ExpectedSample(double level, double frequency, int n) {
    const double phase = static_cast<double>(2 * n) * 3.1415926 / 44100.0;
    return static_cast<int16_t>(level * std::sin(frequency * phase));
}

}  // namespace

class OutputStreamTest : public AppTest {
protected:
    void SetUp() override {
        Start();
        Tick();  // the fundamental's weight reaches the engine
    }
    const sim::WrittenBlock& LastBlock() { return sim.Wave().Blocks().back(); }
};

TEST_F(OutputStreamTest, EachReturnedBlockIsReplacedByOneRenderedBlock) {
    Complete(1);
    ASSERT_EQ(sim.Wave().Blocks().size(), 61u);
    EXPECT_EQ(LastBlock().user, 98);
    EXPECT_EQ(LastBlock().length, 200u);
    EXPECT_EQ(sim.Wave().InFlight(), 60u);
    EXPECT_EQ(window->Text(IDC_BLOCKCOUNT), "59");
    Complete(25);
    EXPECT_EQ(sim.Wave().Blocks().size(), 86u);
    EXPECT_EQ(sim.Wave().InFlight(), 60u);
}

TEST_F(OutputStreamTest, AStruckNoteSoundsAsItsToneFromPhaseZero) {
    dialog->NoteEvent(57, 127);
    Complete(2);
    const auto samples = sim.Wave().Samples();
    ASSERT_EQ(samples.size(), 62u * 100);
    for (int n = 0; n < 200; ++n)
        ASSERT_EQ(samples[6000 + n], ExpectedSample(4000.0, 440.0, n)) << n;
    EXPECT_EQ(window->Text(IDC_FREQ), "440");
}

TEST_F(OutputStreamTest, FreqShowsTheHighestSoundingNote) {
    dialog->NoteEvent(57, 127);
    dialog->NoteEvent(60, 127);
    Complete(1);
    EXPECT_EQ(window->Text(IDC_FREQ), "523.251130601197");
    dialog->ResetSound();
    Complete(1);
    EXPECT_EQ(window->Text(IDC_FREQ), "0");
}

TEST_F(OutputStreamTest, ReleasedNotesFadeOutAndTheTimeBaseRestarts) {
    dialog->NoteEvent(57, 127);
    Complete(3);
    dialog->NoteEvent(57, 0);  // release step 21 after the tick
    const int blocksToSilence = static_cast<int>(std::ceil(4000.0 / 21));
    Complete(blocksToSilence);
    EXPECT_EQ(Engine().VoiceTable[57].active, 0);
    EXPECT_NE(Engine().SampleCounter, 0);  // the last fading block still counted
    Complete(1);
    EXPECT_EQ(Engine().SampleCounter, 0);
    // A new note starts at phase 0 of its sine.
    dialog->NoteEvent(57, 127);
    Complete(1);
    const auto& block = LastBlock().samples;
    for (int n = 0; n < 100; ++n) ASSERT_EQ(block[n], ExpectedSample(4000.0, 440.0, n)) << n;
}

TEST_F(OutputStreamTest, TheMeterFollowsEachBlocksLargestSample) {
    dialog->NoteEvent(57, 127);
    Complete(30);
    int16_t largest = 0;
    for (int16_t s : LastBlock().samples) largest = std::max(largest, s);
    EXPECT_EQ(static_cast<int16_t>(Engine().PeakSample), largest);
    dialog->ResetSound();
    Complete(1);
    EXPECT_EQ(Engine().PeakSample, 0.0);
}

TEST_F(OutputStreamTest, StopDrainsTheQueueThenClosesTheOutput) {
    dialog->NoteEvent(60, 127);
    ASSERT_TRUE(sim.Click(IDC_STOP));
    sim.Pump();
    EXPECT_TRUE(sim.Wave().IsOpen());
    Complete(10);
    EXPECT_EQ(sim.Wave().Blocks().size(), 60u);  // nothing more rendered
    EXPECT_EQ(window->Text(IDC_BLOCKCOUNT), "50");
    EXPECT_EQ(Engine().VoiceTable[60].level, 4000.0);  // no decay without rendering
    Complete(50);
    EXPECT_FALSE(sim.Wave().IsOpen());
    EXPECT_EQ(window->Text(IDC_BLOCKCOUNT), "0");
    EXPECT_TRUE(window->Enabled(IDOK));
    EXPECT_FALSE(window->Enabled(IDC_STOP));
    EXPECT_EQ(window->Focus(), IDC_STATUS);

    // "Generate Mode" starts a new stream, and the held note is heard again.
    ASSERT_TRUE(sim.Click(IDOK));
    sim.Pump();
    EXPECT_EQ(sim.Wave().InFlight(), 60u);
    Complete(1);
    EXPECT_NE(LastBlock().samples[50], 0);
}

TEST_F(OutputStreamTest, StopShowsTheBlocksStillInFlightAndCountsThemDown) {
    ASSERT_TRUE(sim.Click(IDC_STOP));
    sim.Pump();
    EXPECT_EQ(window->Text(IDC_BLOCKCOUNT), "60");
    Complete(15);
    EXPECT_EQ(window->Text(IDC_BLOCKCOUNT), "45");
    Complete(45);
    EXPECT_EQ(window->Text(IDC_BLOCKCOUNT), "0");
}

TEST_F(OutputStreamTest, AmplitudeTextBeingTypedSurvivesEveryReturnedBlock) {
    ASSERT_TRUE(window->Type(IDC_AMPLITUDE, "1234"));
    Complete(5);  // each completion shows the block count, and rewrites every field
    EXPECT_EQ(window->Text(IDC_AMPLITUDE), "1234");
    EXPECT_EQ(window->Text(IDC_BLOCKCOUNT), "59");  // the one just returned is not yet replaced
    Tick();
    EXPECT_EQ(Engine().AmplitudeSetting, 1234);
}

TEST_F(OutputStreamTest, CloseWaitsForTheQueueThenSavesAndEnds) {
    SetWeight(IDC_SLIDER_2, 40);
    window->DragSlider(IDC_SLIDER_RELEASE, 33);
    ASSERT_TRUE(sim.Click(IDC_CLOSE));
    sim.Pump();
    EXPECT_FALSE(sim.Ended());
    EXPECT_FALSE(Settings().has_value());
    Complete(59);
    EXPECT_FALSE(sim.Ended());
    Complete(1);
    ASSERT_TRUE(sim.Ended());
    EXPECT_EQ(sim.Result(), 0);
    EXPECT_FALSE(sim.Wave().IsOpen());  // closed before the program ends
    EXPECT_EQ(sim.Wave().Blocks().size(), 60u);
    const std::string saved = Settings().value_or("");
    EXPECT_NE(saved.find("sl1=100\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("sl2=40\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("sldecrement=67\n"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("HideWindow"), std::string::npos) << saved;
}

TEST_F(OutputStreamTest, PairedSlidersSaveTheHigherOnesValueAndBothLoadIt) {
    SetWeight(IDC_SLIDER_3, 30);
    SetWeight(IDC_SLIDER_5, 70);
    SetWeight(IDC_SLIDER_M4, 10);
    SetWeight(IDC_SLIDER_M6, 90);
    sim.Post(WM_CLOSE);
    sim.Pump();
    Complete(60);
    ASSERT_TRUE(sim.Ended());
    const std::string saved = Settings().value_or("");
    EXPECT_NE(saved.find("sl3=70\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("slm4=90\n"), std::string::npos) << saved;

    Start();  // the next run
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_3), 30);
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_5), 30);
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_M4), 10);
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_M6), 10);
}

TEST_F(OutputStreamTest, CloseWithTheOutputClosedEndsAtOnce) {
    sim.Click(IDC_STOP);
    sim.Pump();
    Complete(60);
    ASSERT_FALSE(sim.Wave().IsOpen());
    sim.Post(WM_CLOSE);
    sim.Pump();
    EXPECT_TRUE(sim.Ended());
    EXPECT_TRUE(Settings().has_value());
}

TEST_F(OutputStreamTest, AbortLeavesAtOnceWithoutSaving) {
    SetWeight(IDC_SLIDER_2, 40);
    ASSERT_TRUE(sim.Click(IDC_ABORT));
    sim.Pump();
    EXPECT_TRUE(sim.Ended());
    EXPECT_EQ(sim.Result(), platform::IDOK);
    EXPECT_EQ(sim.Wave().InFlight(), 60u);  // abandoned with the window
    EXPECT_FALSE(Settings().has_value());
}

TEST_F(OutputStreamTest, ABlockTheDeviceRefusesIsNotWaitedFor) {
    sim.Wave().FailNext(sim::WaveCall::Write, platform::MMSYSERR_NOMEM);
    Complete(1);
    EXPECT_EQ(sim.Wave().FailedWrites(), 1);
    EXPECT_EQ(sim.Wave().InFlight(), 59u);
    // The close still finishes once every accepted block is back.
    sim.Click(IDC_CLOSE);
    sim.Pump();
    Complete(59);
    EXPECT_TRUE(sim.Ended());
}

TEST_F(OutputStreamTest, ADeadDeviceDrainsToNothingAndStopStillCloses) {
    sim.Wave().FailAlways(sim::WaveCall::Write, platform::MMSYSERR_NODRIVER);
    Complete(60);
    EXPECT_EQ(sim.Wave().InFlight(), 0u);
    sim.Click(IDC_STOP);
    sim.Pump();
    EXPECT_FALSE(sim.Wave().IsOpen());
    EXPECT_TRUE(window->Enabled(IDOK));
    sim.Post(WM_CLOSE);
    sim.Pump();
    EXPECT_TRUE(sim.Ended());
}

TEST_F(OutputStreamTest, ADeadDeviceIsReportedOncePerGenerateModeNotForEveryRefusedBlock) {
    const auto lines = [](const std::string& text) { return std::count(text.begin(), text.end(), '\n'); };
    sim.Wave().FailAlways(sim::WaveCall::Write, platform::MMSYSERR_NODRIVER);
    testing::internal::CaptureStderr();
    Complete(60);
    EXPECT_EQ(lines(testing::internal::GetCapturedStderr()), 1);
    sim.Click(IDC_STOP);
    sim.Pump();
    testing::internal::CaptureStderr();
    sim.Click(IDOK);  // "Generate Mode": the device still refuses, and says so again
    sim.Pump();
    EXPECT_EQ(lines(testing::internal::GetCapturedStderr()), 1);
}

TEST_F(OutputStreamTest, ACompletionForNoBlockOfOursChangesNothing) {
    platform::WaveHeader stranger{};
    sim.Post(platform::MM_WOM_DONE, 0, reinterpret_cast<platform::LPARAM>(&stranger));
    sim.Pump();
    EXPECT_EQ(sim.Wave().Blocks().size(), 60u);
    EXPECT_EQ(window->Text(IDC_BLOCKCOUNT), "0");
    // The stream still drains to its end.
    sim.Click(IDC_CLOSE);
    sim.Pump();
    Complete(60);
    EXPECT_TRUE(sim.Ended());
}

// "Generate Mode" reads the fields itself: an Amplitude typed just before it counts,
// with no refresh tick between.
TEST_F(OutputStreamTest, GenerateTakesTheAmplitudeTypedJustBeforeIt) {
    StopAndDrain();
    ASSERT_TRUE(window->Type(IDC_AMPLITUDE, "8000"));
    ASSERT_TRUE(sim.Click(IDOK));
    sim.Pump();
    dialog->NoteEvent(57, 127);
    Complete(1);
    for (int n = 0; n < 100; ++n) ASSERT_EQ(LastBlock().samples[n], ExpectedSample(8000.0, 440.0, n)) << n;
    EXPECT_EQ(window->Text(IDC_AMPLITUDE), "8000");
}
