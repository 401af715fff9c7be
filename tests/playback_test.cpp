// "Play Writen" and "Stop Playing": midi.dat replayed in a loop on the 1 ms timer, one
// record per tick at most, at the recorded offsets from the first record.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app_fixture.h"
#include "tests/note_records.h"

namespace {

using namespace res;
using testing::ElementsAre;
using testing::IsEmpty;

constexpr const char* RecordingPath = "/home/player/midi.dat";
constexpr uint32_t PlaybackTimer = 5555;

class PlaybackTest : public AppTest {
protected:
    void SetUp() override {
        Start();
        Tick();  // the Amplitude field and the release slider reach the engine
    }
    void TearDown() override { StopAndDrain(); }

    void Record(const std::string& bytes) { sim.Files().SetFile(RecordingPath, bytes); }
    void Press(int id) {
        ASSERT_TRUE(window->Click(id)) << "button " << id << " is disabled";
        sim.Pump();
    }
    bool ShowsPlaying() { return !window->Enabled(IDC_PLAY) && window->Enabled(IDC_STOP_PLAYING); }
    bool ShowsIdle() { return window->Enabled(IDC_PLAY) && !window->Enabled(IDC_STOP_PLAYING); }
    const synth::Voice& Voice(int note) { return Engine().VoiceTable[note]; }
    void Silence() { Engine().VoiceTable = {}; }
    // Runs the playback timer's ticks one by one; after tick k, k ms have passed since
    // "Play Writen". Returns the ticks on which note was struck.
    std::vector<int> TicksStriking(int note, int ticks) {
        std::vector<int> struck;
        for (int k = 1; k <= ticks; ++k) {
            sim.RunFor(1);
            if (Voice(note).active != 0) struck.push_back(k);
            Engine().VoiceTable[note] = {};
        }
        return struck;
    }
};

// --- Timing -------------------------------------------------------------------------------

TEST_F(PlaybackTest, TheFirstRecordPlaysOnTheFirstTickAndTheRestAtTheirOffsets) {
    Record(NoteBytes(60, 127, 5000) + NoteBytes(60, 0, 5005) + NoteBytes(64, 127, 5005));
    sim.SetTickCount(123456);
    Press(IDC_PLAY);
    sim.RunFor(1);
    EXPECT_THAT(Sounding(), ElementsAre(60));
    EXPECT_EQ(Voice(60).releaseStep, 0.0);
    sim.RunFor(3);
    EXPECT_EQ(Voice(60).releaseStep, 0.0) << "released 4 ms in, not 5";
    sim.RunFor(1);
    EXPECT_EQ(Voice(60).releaseStep, 21.0) << "not released 5 ms in";
    EXPECT_THAT(Sounding(), ElementsAre(60)) << "two records on one tick";
    sim.RunFor(1);
    EXPECT_THAT(Sounding(), ElementsAre(60, 64));
}

TEST_F(PlaybackTest, AOneRecordFileIsAppliedOnEverySecondTick) {
    Record(NoteBytes(70, 127, 42));
    Press(IDC_PLAY);
    EXPECT_THAT(TicksStriking(70, 10), ElementsAre(1, 3, 5, 7, 9));
}

TEST_F(PlaybackTest, EachPassStartsOverFromTheTickThatEndedThePreviousOne) {
    Record(NoteBytes(60, 127, 0) + NoteBytes(61, 127, 10));
    Press(IDC_PLAY);
    // Pass 1: note 61 on tick 10, the end on tick 11; pass 2 begins at 11, so note 61
    // comes 10 ms later, on tick 21.
    EXPECT_THAT(TicksStriking(61, 40), ElementsAre(10, 21, 32));
}

TEST_F(PlaybackTest, OffsetsAcrossTheWrapOfTheTickCountStayRight) {
    // Recorded across the wrap, and played back across it too.
    Record(NoteBytes(60, 127, 0xFFFFFFF0) + NoteBytes(61, 127, 0x00000005));
    sim.SetTickCount(0xFFFFFFFA);
    Press(IDC_PLAY);
    EXPECT_THAT(TicksStriking(61, 25), ElementsAre(21));
}

TEST_F(PlaybackTest, LaterRecordsWaitWhileEarlierOnesArriveOnePerTick) {
    // Five records at the same moment, then one 3 ms later: the burst takes five
    // ticks, and the late one, already due, follows at once.
    std::string bytes;
    for (int note = 40; note < 45; ++note) bytes += NoteBytes(note, 127, 100);
    Record(bytes + NoteBytes(50, 127, 103));
    Press(IDC_PLAY);
    for (int k = 1; k <= 5; ++k) {
        sim.RunFor(1);
        EXPECT_EQ(Sounding().size(), static_cast<size_t>(k)) << "tick " << k;
    }
    EXPECT_EQ(Voice(50).active, 0);
    sim.RunFor(1);
    EXPECT_EQ(Voice(50).active, 1);
}

TEST_F(PlaybackTest, SeventyThousandRecordsAllPlayInTime) {
    // One record a millisecond; the ones past the first 65,536 are marked by their notes.
    constexpr int Count = 70000;
    std::string bytes;
    for (int i = 0; i < Count; ++i) {
        const uint8_t note = i == 65536 ? 20 : i == Count - 1 ? 30 : 10;
        bytes += NoteBytes(note, 127, 7 + i);
    }
    Record(bytes);
    Press(IDC_PLAY);
    sim.RunFor(65536);
    EXPECT_EQ(Voice(20).active, 0) << "record 65,536 came early";
    Silence();
    sim.RunFor(1);
    EXPECT_THAT(Sounding(), ElementsAre(20));
    sim.RunFor(Count - 65538);
    EXPECT_EQ(Voice(30).active, 0) << "the last record came early";
    sim.RunFor(1);
    EXPECT_THAT(Sounding(), ElementsAre(10, 20, 30));
    Silence();
    sim.RunFor(1);
    EXPECT_THAT(Sounding(), IsEmpty()) << "the pass should end here";
    sim.RunFor(1);
    EXPECT_THAT(Sounding(), ElementsAre(10)) << "the next pass should begin";
}

// --- Levels -------------------------------------------------------------------------------

TEST_F(PlaybackTest, AStrikeTakesTheTruncatedLevelOfTheAmplitudeSetting) {
    Record(NoteBytes(60, 100, 0) + NoteBytes(61, 1, 0) + NoteBytes(62, 255, 0));
    Press(IDC_PLAY);
    sim.RunFor(3);
    EXPECT_EQ(Voice(60).level, 3149.0);  // 400000 / 127 = 3149.6
    EXPECT_EQ(Voice(61).level, 31.0);
    EXPECT_EQ(Voice(62).level, 8031.0);
    EXPECT_EQ(Voice(62).releaseStep, 0.0);
    EXPECT_EQ(Voice(62).active, 1);
}

TEST_F(PlaybackTest, TheLevelFollowsTheSettingTheRefreshTickLastRead) {
    Record(NoteBytes(60, 100, 0));
    window->Type(IDC_AMPLITUDE, "-4000");
    Press(IDC_PLAY);
    sim.RunFor(1);
    EXPECT_EQ(Voice(60).level, 3149.0) << "the field before the tick";
    Tick();
    sim.RunFor(2);
    EXPECT_EQ(Voice(60).level, -3149.0) << "toward zero";
}

TEST_F(PlaybackTest, AHugeAmplitudeGivesTheExactQuotient) {
    Record(NoteBytes(60, 255, 0) + NoteBytes(61, 127, 0));
    window->Type(IDC_AMPLITUDE, "2000000000");
    Tick();
    Press(IDC_PLAY);
    sim.RunFor(2);
    EXPECT_EQ(Voice(60).level, 4015748031.0);  // 510,000,000,000 / 127
    EXPECT_EQ(Voice(61).level, 2000000000.0);
}

TEST_F(PlaybackTest, AReleaseSetsOnlyTheReleaseStep) {
    Record(NoteBytes(60, 0, 0));
    window->DragSlider(IDC_SLIDER_RELEASE, 12);
    Tick();
    Engine().VoiceTable[60] = {1, 0.0, 1234.0};
    Press(IDC_PLAY);
    sim.RunFor(1);
    EXPECT_EQ(Voice(60).releaseStep, 25.0);
    EXPECT_EQ(Voice(60).level, 1234.0);
    EXPECT_EQ(Voice(60).active, 1);
}

TEST_F(PlaybackTest, PlaybackNeitherRepaintsNorLooksAtTheOutput) {
    Record(NoteBytes(60, 127, 0));
    StopAndDrain();
    Press(IDC_PLAY);
    sim.Graphics().ClearLog();
    sim.RunFor(1);
    EXPECT_THAT(Sounding(), ElementsAre(60));
    EXPECT_THAT(sim.Graphics().Calls(), IsEmpty());
}

// --- Files --------------------------------------------------------------------------------

TEST_F(PlaybackTest, PlayWritenRunsTheOneMillisecondTimerAndShowsThePlayingState) {
    Record(NoteBytes(60, 127, 0));
    window->SetFocusTo(IDC_AMPLITUDE);
    Press(IDC_PLAY);
    EXPECT_TRUE(ShowsPlaying());
    EXPECT_EQ(window->Focus(), IDC_STATUS);
    ASSERT_TRUE(window->HasTimer(PlaybackTimer));
    EXPECT_EQ(window->Timer(PlaybackTimer).periodMs, 1u);
    EXPECT_TRUE(window->Timer(PlaybackTimer).proc) << "its ticks must not go to WM_TIMER";
    EXPECT_FALSE(sim.Files().IsOpen(RecordingPath)) << "the file stays open";
}

TEST_F(PlaybackTest, PlayWritenDuringARecordingDoesNothing) {
    Press(IDC_WRITE);
    Press(IDC_PLAY);
    EXPECT_TRUE(ShowsIdle());
    EXPECT_FALSE(window->HasTimer(PlaybackTimer));
    EXPECT_EQ(window->Focus(), IDC_PLAY) << "the focus left the clicked button";
    Press(IDC_WRITE_STOP);
}

TEST_F(PlaybackTest, AMissingOrUnreadableFileDoesNotStartAPlayback) {
    Press(IDC_PLAY);
    EXPECT_TRUE(ShowsIdle());
    Record(NoteBytes(60, 127, 0));
    sim.Files().SetUnreadable(RecordingPath);
    Press(IDC_PLAY);
    EXPECT_TRUE(ShowsIdle());
    EXPECT_FALSE(window->HasTimer(PlaybackTimer));
}

TEST_F(PlaybackTest, AnEmptyFilePlaysNothingUntilStopPlaying) {
    Press(IDC_WRITE);
    Press(IDC_WRITE_STOP);
    Press(IDC_PLAY);
    EXPECT_TRUE(ShowsPlaying());
    sim.RunFor(50);
    EXPECT_THAT(Sounding(), IsEmpty());
    Press(IDC_STOP_PLAYING);
    EXPECT_TRUE(ShowsIdle());
    EXPECT_FALSE(window->HasTimer(PlaybackTimer));
}

TEST_F(PlaybackTest, StrayBytesAfterTheLastWholeRecordAreIgnored) {
    // 13 bytes: one record, then the start of one that would strike note 70.
    Record(NoteBytes(60, 127, 0) + NoteBytes(70, 127, 0).substr(0, 5));
    Press(IDC_PLAY);
    EXPECT_THAT(TicksStriking(60, 6), ElementsAre(1, 3, 5));
    EXPECT_EQ(Voice(70).active, 0);
}

TEST_F(PlaybackTest, ASecondPlayWritenLeavesTheRunningPlaybackAlone) {
    Record(NoteBytes(60, 127, 0) + NoteBytes(61, 127, 10));
    Press(IDC_PLAY);
    sim.RunFor(5);
    Record(NoteBytes(90, 127, 0));
    sim.Post(platform::WM_COMMAND, platform::MakeCommand(IDC_PLAY, platform::BN_CLICKED));
    sim.Pump();
    sim.RunFor(5);
    EXPECT_THAT(Sounding(), ElementsAre(60, 61));
}

// --- Stopping -----------------------------------------------------------------------------

TEST_F(PlaybackTest, StopPlayingSilencesEveryVoiceIncludingLiveOnes) {
    Record(NoteBytes(60, 127, 0) + NoteBytes(62, 127, 1));
    Press(IDC_PLAY);
    sim.RunFor(2);
    sim.KeyDown('T');  // note 67, live
    sim.Pump();
    ASSERT_THAT(Sounding(), ElementsAre(60, 62, 67));
    window->SetFocusTo(IDC_AMPLITUDE);
    Press(IDC_STOP_PLAYING);
    EXPECT_THAT(Sounding(), IsEmpty());
    EXPECT_EQ(Voice(67).level, 0.0);
    EXPECT_TRUE(ShowsIdle());
    EXPECT_EQ(window->Focus(), IDC_STATUS);
    EXPECT_FALSE(window->HasTimer(PlaybackTimer));
    sim.RunFor(10);
    EXPECT_THAT(Sounding(), IsEmpty()) << "played on after Stop Playing";
}

TEST_F(PlaybackTest, PlayingAgainStartsFromTheFirstRecordOfTheFileAsItIsNow) {
    Record(NoteBytes(60, 127, 0) + NoteBytes(61, 127, 3) + NoteBytes(62, 127, 6));
    Press(IDC_PLAY);
    sim.RunFor(4);
    Press(IDC_STOP_PLAYING);
    Record(NoteBytes(70, 127, 0) + NoteBytes(71, 127, 3));
    sim.RunFor(100);
    Press(IDC_PLAY);
    sim.RunFor(1);
    EXPECT_THAT(Sounding(), ElementsAre(70));
    sim.RunFor(2);
    EXPECT_THAT(Sounding(), ElementsAre(70, 71));
}

}  // namespace
