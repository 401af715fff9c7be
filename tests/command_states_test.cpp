// Commands that come after the state has changed under them: a second click taken in
// before the first was handled, or a command posted from outside. A command whose
// button is disabled when it comes does nothing; an enabled one does what it always does.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "app_fixture.h"
#include "res/dialog_template.h"
#include "tests/note_records.h"

namespace {

using namespace res;
using platform::BN_CLICKED;
using platform::MakeCommand;
using platform::WM_COMMAND;

constexpr const char* RecordingPath = "/home/player/midi.dat";
constexpr int PairButtons[] = {IDC_GENERATE, IDC_STOP, IDC_MIDI_OPEN, IDC_MIDI_CLOSE,
                               IDC_WRITE, IDC_WRITE_STOP, IDC_PLAY, IDC_STOP_PLAYING};

class CommandStatesTest : public AppTest {
protected:
    // A keyboard to open and a recording to replay, so that every button has its turn.
    void SetUp() override {
        sim.Midi().AddDevice("Keys");
        sim.Files().SetFile(RecordingPath, NoteBytes(64, 100, 0) + NoteBytes(64, 0, 50));
        Start();
    }
    void Press(int id) {
        ASSERT_TRUE(window->Click(id)) << "button " << id << " is disabled";
        sim.Pump();
    }
    // Everything a command could change that a user or a test can see.
    auto Seen() {
        std::string buttons;
        for (int id : PairButtons) buttons += window->Enabled(id) ? '1' : '0';
        return std::tuple{buttons, window->Focus(), window->Text(IDC_STATUS), Sounding(),
                          sim.Wave().Opens(), sim.Wave().InFlight(),
                          sim.Wave().ErrorTextLookups().size(), sim.Midi().Calls().size(),
                          sim.Files().Contents(RecordingPath), sim.Files().IsOpen(RecordingPath),
                          window->TimerCalls().size()};
    }
    void ExpectPostedCommandChangesNothing(int id) {
        ASSERT_FALSE(window->Enabled(id)) << id;
        const auto before = Seen();
        sim.Post(WM_COMMAND, MakeCommand(id, BN_CLICKED));
        sim.Pump();
        EXPECT_EQ(Seen(), before) << "command " << id;
    }
};

TEST_F(CommandStatesTest, ACommandPostedWhileItsButtonIsDisabledChangesNothing) {
    dialog->NoteEvent(70, 100);  // a sounding note, which "Stop Playing" would silence
    // Streaming, the keyboard open, neither recording nor playing.
    for (int id : {IDC_GENERATE, IDC_MIDI_OPEN, IDC_WRITE_STOP, IDC_STOP_PLAYING})
        ExpectPostedCommandChangesNothing(id);

    Press(IDC_PLAY);
    Press(IDC_WRITE);
    Press(IDC_MIDI_CLOSE);
    StopAndDrain();
    for (int id : {IDC_STOP, IDC_MIDI_CLOSE, IDC_WRITE, IDC_PLAY}) ExpectPostedCommandChangesNothing(id);
}

// A button clicked twice before the program takes the first click, then a note, then
// "X": the note sounds, a recording holds it, and "X" still saves.
class TwoClicksInOneStall : public CommandStatesTest, public testing::WithParamInterface<int> {
protected:
    // Brings the window to where the button is enabled.
    void Enable(int id) {
        if (id == IDC_GENERATE) StopAndDrain();
        if (id == IDC_WRITE_STOP) Press(IDC_WRITE);
        if (id == IDC_STOP_PLAYING) Press(IDC_PLAY);
        if (id == IDC_MIDI_OPEN) Press(IDC_MIDI_CLOSE);
    }
};

TEST_P(TwoClicksInOneStall, ThenANoteSoundsAndXSaves) {
    const int id = GetParam();
    Enable(id);
    ASSERT_TRUE(window->Click(id));
    ASSERT_TRUE(window->Click(id)) << "the first click is not handled yet";
    sim.Pump();
    if (id == IDC_STOP) {
        Complete(60);
        Press(IDC_GENERATE);
    }
    EXPECT_EQ(sim.Wave().InFlight(), 60u);
    const bool recording = window->Enabled(IDC_WRITE_STOP);
    sim.SetTickCount(0x1234);
    sim.KeyDown('Q');  // note 60 at the first base
    sim.Pump();
    EXPECT_EQ(Voice(60).active, 1);
    EXPECT_EQ(Voice(60).level, 4000.0);  // the Amplitude field's 4000 at full velocity
    if (recording) {
        EXPECT_EQ(sim.Files().Contents(RecordingPath), NoteBytes(60, 127, 0x1234));
    }

    Press(IDC_CLOSE);
    Complete(60);
    EXPECT_TRUE(sim.Ended());
    EXPECT_TRUE(Settings().has_value());
}

INSTANTIATE_TEST_SUITE_P(EveryButton, TwoClicksInOneStall,
                         testing::Values(IDC_GENERATE, IDC_STOP, IDC_MIDI_OPEN, IDC_MIDI_CLOSE, IDC_WRITE,
                                         IDC_WRITE_STOP, IDC_PLAY, IDC_STOP_PLAYING, IDC_RESET_SOUND),
                         [](const testing::TestParamInfo<int>& info) {
                             std::string name;  // the caption without its spaces
                             for (const ControlTemplate& control : MainDialogTemplate.controls)
                                 if (control.id == info.param)
                                     for (const char* c = control.caption; *c; ++c)
                                         if (*c != ' ') name += *c;
                             return name;
                         });

}  // namespace
