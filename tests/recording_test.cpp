// "Write" and "Write Stop": every note event that plays goes to midi.dat as it happens.
#include <gtest/gtest.h>

#include <string>

#include "app_fixture.h"
#include "tests/note_records.h"

namespace {

using namespace res;
using platform::MMSYSERR_NODRIVER;

constexpr const char* RecordingPath = "/home/player/midi.dat";

class RecordingTest : public AppTest {
protected:
    void SetUp() override { Start(); }
    void TearDown() override { StopAndDrain(); }

    void Press(int id) {
        ASSERT_TRUE(window->Click(id)) << "button " << id << " is disabled";
        sim.Pump();
    }
    void KeyDown(platform::WPARAM key) {
        sim.KeyDown(key);
        sim.Pump();
    }
    void KeyUp(platform::WPARAM key) {
        sim.KeyUp(key);
        sim.Pump();
    }
    std::string Recorded() { return sim.Files().Contents(RecordingPath).value_or("<no file>"); }
    bool ShowsRecording() {
        return !window->Enabled(IDC_WRITE) && window->Enabled(IDC_WRITE_STOP);
    }
    bool ShowsIdle() { return window->Enabled(IDC_WRITE) && !window->Enabled(IDC_WRITE_STOP); }
};

TEST_F(RecordingTest, AStrikeAndItsReleaseAreStoredAsEightLittleEndianBytesEach) {
    sim.SetTickCount(0x12345);
    Press(IDC_WRITE);
    KeyDown('Q');  // note 60
    sim.AdvanceTime(0x1F4);
    KeyUp('Q');
    Press(IDC_WRITE_STOP);
    EXPECT_EQ(Recorded(), std::string("\x3C\x7F\x00\x00\x45\x23\x01\x00"
                                      "\x3C\x00\x00\x00\x39\x25\x01\x00",
                                      16));
}

TEST_F(RecordingTest, OnlyTheLow8BitsOfNoteAndVelocityAreStored) {
    sim.SetTickCount(0xDEADBEEF);
    Press(IDC_WRITE);
    dialog->NoteEvent(300, 383);
    dialog->NoteEvent(-1, 256);
    EXPECT_EQ(Recorded(), NoteBytes(44, 127, 0xDEADBEEF) + NoteBytes(255, 0, 0xDEADBEEF));
}

TEST_F(RecordingTest, EachEventReachesTheFileAtOnceInOneWrite) {
    Press(IDC_WRITE);
    EXPECT_TRUE(sim.Files().IsOpen(RecordingPath));
    for (int i = 1; i <= 5; ++i) {
        dialog->NoteEvent(60 + i, i % 2 == 1 ? 100 : 0);
        EXPECT_EQ(Recorded().size(), 8u * i) << "event " << i;
        EXPECT_EQ(sim.Files().Writes(RecordingPath), i) << "event " << i;
    }
}

TEST_F(RecordingTest, TheButtonsShowTheStateAndTheFocusGoesToTheStatusField) {
    ASSERT_TRUE(ShowsIdle());
    Press(IDC_WRITE);
    EXPECT_TRUE(ShowsRecording());
    EXPECT_EQ(window->Focus(), IDC_STATUS);
    window->SetFocusTo(IDC_AMPLITUDE);
    Press(IDC_WRITE_STOP);
    EXPECT_TRUE(ShowsIdle());
    EXPECT_EQ(window->Focus(), IDC_STATUS);
    EXPECT_FALSE(sim.Files().IsOpen(RecordingPath));
    dialog->NoteEvent(60, 127);
    EXPECT_EQ(Recorded(), "") << "recorded after Write Stop";
}

TEST_F(RecordingTest, WriteStartsANewFileInPlaceOfTheOldOne) {
    ASSERT_TRUE(sim.Files().ReplaceWholeFile(RecordingPath, NoteBytes(1, 2, 3) + NoteBytes(4, 5, 6)));
    Press(IDC_WRITE);
    EXPECT_EQ(Recorded(), "");
    EXPECT_EQ(sim.Files().Writes(RecordingPath), 0) << "the old file was emptied, not deleted";
    sim.SetTickCount(77);
    dialog->NoteEvent(61, 10);
    Press(IDC_WRITE_STOP);
    Press(IDC_WRITE);
    EXPECT_EQ(Recorded(), "") << "a second Write starts over too";
}

TEST_F(RecordingTest, AFileThatCannotBeCreatedLeavesRecordingOff) {
    const std::string status = window->Text(IDC_STATUS);
    sim.Files().SetFile(RecordingPath, NoteBytes(1, 2, 3));
    sim.Files().HoldOpenElsewhere(RecordingPath);
    Press(IDC_WRITE);
    EXPECT_TRUE(ShowsIdle());
    EXPECT_EQ(window->Focus(), IDC_WRITE) << "the focus left the clicked button";
    sim.Files().HoldOpenElsewhere(RecordingPath, false);
    dialog->NoteEvent(60, 127);
    EXPECT_EQ(Recorded(), NoteBytes(1, 2, 3));
    EXPECT_EQ(window->Text(IDC_STATUS), status) << "a failed create is not reported";
}

TEST_F(RecordingTest, NothingIsRecordedWhileTheOutputIsClosed) {
    StopAndDrain();
    Press(IDC_WRITE);
    KeyDown('Q');
    KeyUp('Q');
    dialog->NoteEvent(70, 127);
    EXPECT_EQ(Recorded(), "");
    Press(IDC_GENERATE);
    sim.SetTickCount(5);
    KeyDown('W');
    EXPECT_EQ(Recorded(), NoteBytes(62, 127, 5));
}

TEST_F(RecordingTest, ThePlayedBackNotesAreNotRecordedButLiveOnesDuringPlaybackAre) {
    sim.Files().SetFile(RecordingPath, NoteBytes(50, 90, 0) + NoteBytes(50, 0, 3));
    Press(IDC_PLAY);
    Press(IDC_WRITE);  // the player holds its copy in memory, so the file can be replaced
    ASSERT_TRUE(ShowsRecording());
    sim.RunFor(10);
    ASSERT_EQ(Engine().VoiceTable[50].active, 1) << "the playback did not run";
    sim.SetTickCount(1000);
    dialog->NoteEvent(51, 64);
    EXPECT_EQ(Recorded(), NoteBytes(51, 64, 1000));
    Press(IDC_STOP_PLAYING);
}

TEST_F(RecordingTest, AFailedWriteStopsRecordingAndKeepsEveryWholeRecordBeforeIt) {
    sim.Files().LimitSize(RecordingPath, 20);  // room for two records and a half
    Press(IDC_WRITE);
    sim.SetTickCount(9);
    dialog->NoteEvent(60, 127);
    dialog->NoteEvent(60, 0);
    ASSERT_TRUE(ShowsRecording());
    window->Type(IDC_AMPLITUDE, "300");  // typed, not yet exchanged
    dialog->NoteEvent(62, 127);
    EXPECT_TRUE(ShowsIdle());
    EXPECT_EQ(window->Focus(), IDC_STATUS);
    EXPECT_EQ(window->Text(IDC_STATUS), "Recording write failed");
    EXPECT_EQ(window->Text(IDC_AMPLITUDE), "300") << "the report overwrote what the user typed";
    EXPECT_EQ(Engine().VoiceTable[62].active, 1) << "the note itself still plays";
    EXPECT_EQ(Recorded(), NoteBytes(60, 127, 9) + NoteBytes(60, 0, 9));
    EXPECT_FALSE(sim.Files().IsOpen(RecordingPath));

    sim.Files().LimitSize(RecordingPath, 100);
    dialog->NoteEvent(63, 127);
    EXPECT_EQ(Recorded().size(), 16u) << "recording went on after the failure";
}

TEST_F(RecordingTest, EndingTheProgramWhileRecordingKeepsTheRecordsAndClosesTheFile) {
    Press(IDC_WRITE);
    sim.SetTickCount(400);
    KeyDown('Q');
    EXPECT_EQ(Recorded(), NoteBytes(60, 127, 400)) << "before the program ends";
    sim.Click(IDC_ABORT);
    sim.Pump();
    ASSERT_TRUE(sim.Ended());
    Start();  // the next run finds the file whole and free
    EXPECT_EQ(Recorded(), NoteBytes(60, 127, 400));
    EXPECT_FALSE(sim.Files().IsOpen(RecordingPath));
}

}  // namespace
