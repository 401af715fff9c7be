// The output with fewer blocks in flight than the designed 60, for live playing: the
// device renders each block just before it plays it, so a note sounds in the next block
// it plays however many are queued, and the window shows what the device played.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "tests/note_records.h"

using namespace res;
using platform::IDOK;

namespace {

int16_t ExpectedSample(double level, double frequency, int n) {
    const double phase = static_cast<double>(2 * n) * 3.1415926 / 44100.0;
    return static_cast<int16_t>(level * std::sin(frequency * phase));
}

size_t Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

}  // namespace

class ShortQueueTest : public AppTest {
protected:
    void Begin(int32_t blocks = 2) {
        Start(blocks);
        Tick();  // the fundamental's weight reaches the program
    }
    // The samples of every block rendered so far, in the order rendered: by the window
    // for the designed queue, by the device as it played them for a short one.
    std::vector<int16_t> Rendered(size_t fromBlock = 0) {
        std::vector<int16_t> samples;
        const auto& blocks = sim.Wave().Blocks();
        for (size_t i = fromBlock; i < blocks.size(); ++i)
            if (blocks[i].user == 98) samples.insert(samples.end(), blocks[i].samples.begin(), blocks[i].samples.end());
        return samples;
    }
    // Stops, lets the queue drain and closes: this run of the program has ended.
    void EndRun() {
        StopAndDrain();
        sim.Post(platform::WM_CLOSE);
        sim.Pump();
    }
    const std::vector<int16_t>& LastPlayed() {
        const auto& blocks = sim.Wave().Blocks();
        return std::find_if(blocks.rbegin(), blocks.rend(), [](const auto& b) { return b.returned; })->samples;
    }
    bool Silent(const std::vector<int16_t>& samples) {
        return std::all_of(samples.begin(), samples.end(), [](int16_t s) { return s == 0; });
    }
    // Every kind of change to the notes and weights, with blocks played between them.
    void PlayScript() {
        SetWeight(IDC_SLIDER_2, 40);
        Tick();
        dialog->NoteEvent(57, 100);
        dialog->NoteEvent(64, 127);
        Complete(5);
        dialog->NoteEvent(57, 0);
        Complete(30);
        dialog->ResetSound();
        Complete(2);
        window->LButtonDown(415, 250);  // note 60, struck by the mouse
        sim.Pump();
        Complete(4);
    }
};

TEST_F(ShortQueueTest, TwoSilentBlocksArePrimedAndEachReturnedOneIsReplacedByOneTheDeviceRenders) {
    Begin();
    ASSERT_EQ(sim.Wave().InFlight(), 2u);
    for (const sim::WrittenBlock& block : sim.Wave().Blocks()) {
        EXPECT_FALSE(block.rendered);
        EXPECT_EQ(block.length, 200u);
        EXPECT_TRUE(Silent(block.samples));
    }
    Complete(1);
    EXPECT_EQ(window->Text(IDC_BLOCKCOUNT), "1");
    ASSERT_EQ(sim.Wave().Blocks().size(), 3u);
    EXPECT_TRUE(sim.Wave().Blocks().back().rendered);
    EXPECT_EQ(sim.Wave().Blocks().back().user, 98);
    Complete(25);
    EXPECT_EQ(sim.Wave().InFlight(), 2u);
    EXPECT_EQ(window->Text(IDC_BLOCKCOUNT), "1");
    EXPECT_EQ(sim.Wave().Blocks().size(), 28u);
}

TEST_F(ShortQueueTest, AStruckNoteSoundsInTheNextBlockTheDevicePlaysThoughQueuedBefore) {
    Begin();
    Complete(2);  // the silence has played; two blocks for the device are queued
    dialog->NoteEvent(57, 127);
    Complete(1);
    for (int n = 0; n < 100; ++n) ASSERT_EQ(LastPlayed()[n], ExpectedSample(4000.0, 440.0, n)) << n;
    EXPECT_EQ(window->Text(IDC_FREQ), "440");
}

// The designed queue renders a block whenever one comes back; the short one has the
// device render one then. So the same play gives the same samples, block for block.
TEST_F(ShortQueueTest, TheDevicePlaysTheSamplesTheDesignedQueueRenders) {
    Begin(60);
    PlayScript();
    const std::vector<int16_t> designed = Rendered();
    EndRun();

    const size_t before = sim.Wave().Blocks().size();
    Begin(2);
    Complete(2);  // then each change comes as many blocks before its sound as above
    PlayScript();
    const std::vector<int16_t> live = Rendered(before);
    ASSERT_EQ(live.size(), designed.size());
    EXPECT_TRUE(live == designed);
    EXPECT_FALSE(Silent(live));
}

TEST_F(ShortQueueTest, ReplayedNotesReachTheDevice) {
    Begin();
    Complete(2);
    sim.Files().SetFile("/home/player/midi.dat", NoteBytes(57, 127, 0) + NoteBytes(57, 0, 1));
    ASSERT_TRUE(window->Click(IDC_PLAY));
    sim.Pump();
    sim.RunFor(1);
    Complete(1);
    for (int n = 0; n < 100; ++n) ASSERT_EQ(LastPlayed()[n], ExpectedSample(4000.0, 440.0, n)) << n;
    sim.RunFor(1);  // the release: the next block still plays 4000, the one after 3979
    Complete(2);
    EXPECT_NE(LastPlayed()[50], ExpectedSample(4000.0, 440.0, 250)) << "no fading";
    EXPECT_EQ(LastPlayed()[50], ExpectedSample(4000.0 - 21, 440.0, 250));
}

// The window's voices fade once per block as the device's do, so a released key goes
// dark with the block that played its last sound; Freq, the meter and the clip lamp
// show the block the device played last.
TEST_F(ShortQueueTest, TheWindowShowsWhatTheDevicePlayed) {
    Begin();
    ASSERT_TRUE(window->Type(IDC_AMPLITUDE, "40000"));
    Tick();
    Complete(2);
    dialog->NoteEvent(57, 127);
    EXPECT_EQ(Engine().ClipFlag, 0);
    Complete(1);
    EXPECT_EQ(Engine().ClipFlag, 1);
    EXPECT_EQ(Engine().PeakSample, 32767.0);
    EXPECT_EQ(window->Text(IDC_FREQ), "440");
    dialog->ResetSound();
    window->LButtonDown(415, 250);  // puts the lamp out and strikes note 60 at 3000
    sim.Pump();
    Complete(1);
    EXPECT_EQ(Engine().ClipFlag, 0);
    EXPECT_EQ(window->Text(IDC_FREQ), "523.251130601197");
    const int16_t peak = *std::max_element(LastPlayed().begin(), LastPlayed().end());
    EXPECT_EQ(static_cast<int16_t>(Engine().PeakSample), peak);

    dialog->ResetSound();
    ASSERT_TRUE(window->Type(IDC_AMPLITUDE, "4000"));
    Tick();
    dialog->NoteEvent(57, 127);
    Complete(1);
    dialog->NoteEvent(57, 0);  // falls by 21 a block: 4000 - 21 * 190 = 10 is its last level
    Complete(190);
    EXPECT_EQ(Voice(57).active, 1);
    Complete(1);
    EXPECT_EQ(Voice(57).active, 0);
    EXPECT_FALSE(Silent(LastPlayed()));
    Complete(1);
    EXPECT_TRUE(Silent(LastPlayed()));
    EXPECT_EQ(window->Text(IDC_FREQ), "0");
}

TEST_F(ShortQueueTest, NoChangeIsLostWhenTheyComeFasterThanTheDeviceTakesThem) {
    Begin();
    Complete(2);
    for (int i = 0; i < 4999; ++i) dialog->ResetSound();
    dialog->NoteEvent(57, 127);  // the last of 5000 changes, more than the device takes at once
    Complete(1);
    EXPECT_TRUE(Silent(LastPlayed()));
    Complete(1);
    for (int n = 0; n < 100; ++n) ASSERT_EQ(LastPlayed()[n], ExpectedSample(4000.0, 440.0, n)) << n;
}

// Changes still waiting for room when the output closes are not played once it opens
// again: the window's voices as they are then say all there is.
TEST_F(ShortQueueTest, ChangesLeftWaitingWhenTheOutputClosesAreNotPlayedWhenItOpens) {
    Begin();
    Complete(2);
    for (int i = 0; i < 4999; ++i) dialog->ResetSound();
    dialog->NoteEvent(57, 127);  // waits behind more changes than the device takes at once
    ASSERT_TRUE(sim.Click(IDC_STOP));
    sim.Pump();
    Complete(2);
    ASSERT_FALSE(sim.Wave().IsOpen());
    dialog->ResetSound();  // note 57 silenced while closed
    ASSERT_TRUE(sim.Click(IDOK));
    sim.Pump();
    Complete(3);
    EXPECT_TRUE(Silent(LastPlayed()));
}

TEST_F(ShortQueueTest, StopDrainsTheShortQueueAndNotesStruckWhileClosedSoundWhenItOpens) {
    Begin();
    dialog->NoteEvent(60, 127);
    ASSERT_TRUE(sim.Click(IDC_STOP));
    sim.Pump();
    EXPECT_EQ(window->Text(IDC_BLOCKCOUNT), "2");
    Complete(1);
    EXPECT_EQ(window->Text(IDC_BLOCKCOUNT), "1");
    EXPECT_TRUE(sim.Wave().IsOpen());
    Complete(1);
    EXPECT_FALSE(sim.Wave().IsOpen());
    EXPECT_TRUE(window->Enabled(IDOK));

    window->LButtonDown(415 + 28, 250);  // note 64, struck by the mouse while closed
    sim.Pump();
    ASSERT_TRUE(sim.Click(IDOK));
    sim.Pump();
    EXPECT_EQ(sim.Wave().InFlight(), 2u);
    Complete(3);
    EXPECT_FALSE(Silent(LastPlayed()));
    EXPECT_EQ(window->Text(IDC_FREQ), "659.25511382574");  // note 64 over the held 60

    sim.Click(IDC_CLOSE);
    sim.Pump();
    Complete(1);
    EXPECT_FALSE(sim.Ended());
    Complete(1);
    EXPECT_TRUE(sim.Ended());
    EXPECT_EQ(Settings().value_or("").find("Blocks"), std::string::npos) << "never written";
}

TEST_F(ShortQueueTest, OpeningSaysHowSoonANoteSoundsAndWhenThePeriodOutgrowsTheQueue) {
    testing::internal::CaptureStderr();
    Begin(60);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the designed queue says nothing";
    EndRun();

    sim.Wave().SetDeviceTiming({44100, 128, 0});
    testing::internal::CaptureStderr();
    Begin(2);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Lines(said), 1u) << said;
    // Up to one period for the next callback and one block already rendered.
    EXPECT_NE(said.find("a note sounds at most 5.2 ms after it is played"), std::string::npos) << said;
    EXPECT_EQ(said.find("grows"), std::string::npos) << said;
    EndRun();

    sim.Wave().SetDeviceTiming({44100, 8192, 0});
    testing::internal::CaptureStderr();
    Begin(2);
    said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Lines(said), 1u) << said;
    EXPECT_NE(said.find("8192 frames at 44100 Hz, longer than the queue, which grows"), std::string::npos)
        << said;
}

// A platform whose device has no thread to render on: the window renders the short
// queue's blocks itself.
TEST_F(ShortQueueTest, WithoutARenderingDeviceTheWindowRendersTheShortQueue) {
    sim.Wave().FailNext(sim::WaveCall::Open, platform::MMSYSERR_NOTSUPPORTED);
    sim.Wave().SetDeviceTiming({44100, 128, 0});  // known, yet no period bounds the wait
    testing::internal::CaptureStderr();
    Begin();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("a note sounds about 4.5 ms after it is played"), std::string::npos) << said;
    ASSERT_EQ(sim.Wave().InFlight(), 2u);
    dialog->NoteEvent(57, 127);
    Complete(1);
    const sim::WrittenBlock& block = sim.Wave().Blocks().back();
    EXPECT_FALSE(block.rendered);
    for (int n = 0; n < 100; ++n) ASSERT_EQ(block.samples[n], ExpectedSample(4000.0, 440.0, n)) << n;
    EXPECT_EQ(window->Text(IDC_BLOCKCOUNT), "1");
}
