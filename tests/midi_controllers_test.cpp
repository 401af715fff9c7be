// What a MIDI controller does: sliders learn controllers from a right-button click and
// follow them as if moved by hand, the bindings live in "Kelvarin.ini", controller 64
// is the sustain pedal, and 120, 121 and 123 silence, lift and let go.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "input/controller_bindings.h"
#include "midi_fixture.h"
#include "tests/note_records.h"

namespace {

using namespace res;

constexpr platform::ColorRef KeyLit = platform::Rgb(0, 250, 200);  // a sounding key's colour
constexpr const char* RecordingPath = "/home/player/midi.dat";

class ControllerTest : public MidiTest {
protected:
    void SetUp() override { StartWithDevices({"Keys"}); }

    void RightClick(int id) {
        ASSERT_TRUE(window->RightClickSlider(id));
        sim.Pump();
    }
    void Control(uint8_t controller, uint8_t value) { Receive(0xB0, controller, value); }
    // Arms the slider and turns the controller to its end: the slider follows it.
    void Learn(int id, uint8_t controller) {
        RightClick(id);
        Control(controller, 127);
    }
    void Key(platform::WPARAM key, bool down) {
        down ? sim.KeyDown(key) : sim.KeyUp(key);
        sim.Pump();
    }
    std::optional<platform::ColorRef> Colour(int id) { return window->SliderColor(id); }
    // Where the thumb is, as the program reads it, once it is drawn there too.
    int Pos(int id) {
        EXPECT_EQ(window->ShownSliderPos(id), window->SliderPos(id)) << "moved without a redraw";
        return window->SliderPos(id);
    }
    void CloseAndSave() {
        ASSERT_TRUE(sim.Click(IDC_CLOSE));
        sim.Pump();
        Complete(sim.Wave().InFlight());
        ASSERT_TRUE(sim.Ended());
    }
};

// --- Learning -----------------------------------------------------------------------

using ControllerLearningTest = ControllerTest;

TEST_F(ControllerLearningTest, ARightClickArmsASliderAndTheNextControlChangeOnAnyChannelBindsIt) {
    RightClick(IDC_SLIDER_2);
    EXPECT_EQ(Status(), "Slider 2: move a controller");
    EXPECT_EQ(Colour(IDC_SLIDER_2), KeyLit);
    EXPECT_EQ(Pos(IDC_SLIDER_2), 100) << "a right-button click moved the thumb";
    Receive(0xB9, 20, 127);
    EXPECT_EQ(Status(), "Slider 2: controller 20");
    EXPECT_EQ(Colour(IDC_SLIDER_2), std::nullopt);
    EXPECT_EQ(Pos(IDC_SLIDER_2), 0);
    // As a move by hand: the tick takes it into the engine.
    Tick();
    EXPECT_EQ(Engine().HarmonicWeights[1], 100);
    Receive(0xB3, 20, 0);
    EXPECT_EQ(Pos(IDC_SLIDER_2), 100);
    Control(21, 127);  // another controller moves nothing
    EXPECT_EQ(Pos(IDC_SLIDER_2), 100);
    EXPECT_EQ(Status(), "Slider 2: controller 20");
    EXPECT_EQ(Log(), "11,9\t20\t127\t0\r\n11,3\t20\t0\t0\r\n11,0\t21\t127\t0\r\n");
}

TEST_F(ControllerLearningTest, ABindingTakesTheControllerFromItsOldSliderAndClicksUnbindOrCancel) {
    Learn(IDC_SLIDER_2, 20);
    Learn(IDC_SLIDER_3, 20);
    Control(20, 64);
    EXPECT_EQ(Pos(IDC_SLIDER_3), 50);
    EXPECT_EQ(Pos(IDC_SLIDER_2), 0) << "controller 20 still moves slider 2";
    // A right-button click on a bound slider that is not armed unbinds it.
    RightClick(IDC_SLIDER_3);
    EXPECT_EQ(Status(), "Slider 3: controller 20 unbound");
    EXPECT_EQ(Colour(IDC_SLIDER_3), std::nullopt);
    Control(20, 127);
    EXPECT_EQ(Pos(IDC_SLIDER_3), 50);
    // Esc, or a second click on the armed slider, cancels. Neither loses what the user
    // typed meanwhile.
    ASSERT_TRUE(window->Type(IDC_AMPLITUDE, "2500"));
    RightClick(IDC_SLIDER_4);
    EXPECT_EQ(window->Text(IDC_AMPLITUDE), "2500");
    ASSERT_TRUE(window->Type(IDC_AMPLITUDE, "2600"));
    Key(platform::VK_ESCAPE, true);
    EXPECT_EQ(Status(), "Slider 4: learning cancelled");
    EXPECT_EQ(Colour(IDC_SLIDER_4), std::nullopt);
    EXPECT_EQ(window->Text(IDC_AMPLITUDE), "2600");
    RightClick(IDC_SLIDER_RELEASE);
    RightClick(IDC_SLIDER_RELEASE);
    EXPECT_EQ(Status(), "Slider release: learning cancelled");
    Control(21, 127);
    EXPECT_EQ(Pos(IDC_SLIDER_4), 100);
    EXPECT_EQ(Pos(IDC_SLIDER_RELEASE), 10);
    // Arming another slider disarms the first; channel-mode messages are never learned.
    RightClick(IDC_SLIDER_5);
    RightClick(IDC_SLIDER_M6);
    EXPECT_EQ(Colour(IDC_SLIDER_5), std::nullopt);
    EXPECT_EQ(Colour(IDC_SLIDER_M6), KeyLit);
    Control(123, 127);
    EXPECT_EQ(Colour(IDC_SLIDER_M6), KeyLit);
    Control(119, 127);
    EXPECT_EQ(Status(), "Slider -6: controller 119");
    EXPECT_EQ(Pos(IDC_SLIDER_M6), 0);
    EXPECT_EQ(Pos(IDC_SLIDER_5), 100);
}

TEST_F(ControllerLearningTest, LearningWorksTheSameWhileRecordingOrReplayingWithTheOutputStopped) {
    Press(IDC_WRITE);
    Press(IDC_WRITE_STOP);
    Press(IDC_PLAY);
    Press(IDC_WRITE);
    StopAndDrain();
    Learn(IDC_SLIDER_BASE, 1);
    EXPECT_EQ(Status(), "Slider base: controller 1");
    Control(1, 0);
    EXPECT_EQ(Pos(IDC_SLIDER_BASE), 100);
    EXPECT_EQ(sim.Files().Contents(RecordingPath), "");
}

// Channel-mode messages (controllers 120 to 127) do their own work and leave the slider armed.
TEST_F(ControllerLearningTest, AChannelModeMessageIsNoControllerToLearn) {
    RightClick(IDC_SLIDER_2);
    for (uint8_t controller : {120, 127}) {
        Control(controller, 0);
        EXPECT_EQ(Status(), "Slider 2: move a controller") << int{controller};
        EXPECT_EQ(Colour(IDC_SLIDER_2), KeyLit) << int{controller};
    }
    Control(20, 127);
    EXPECT_EQ(Status(), "Slider 2: controller 20");
}

TEST_F(ControllerLearningTest, AControlChangeThatNoSliderFollowsOnlyLogs) {
    Control(20, 127);
    Control(7, 0);
    EXPECT_EQ(Pos(IDC_SLIDER_BASE), 0);
    EXPECT_EQ(Pos(IDC_SLIDER_M6), 100);
    EXPECT_EQ(Pos(IDC_SLIDER_RELEASE), 10);
    EXPECT_EQ(Status(), "Keys");
    EXPECT_EQ(Settings(), std::nullopt);
    EXPECT_EQ(Log(), "11,0\t20\t127\t0\r\n11,0\t7\t0\t0\r\n");
}

// Weight = value × 100 / 127 to the nearest, so the top of a weight slider (position 0)
// is full weight; the release slider's position is the same figure.
TEST_F(ControllerLearningTest, ValuesSpreadOverTheSlidersToTheNearestPosition) {
    const int weights[] = {IDC_SLIDER_BASE, IDC_SLIDER_2,  IDC_SLIDER_3,  IDC_SLIDER_4,
                           IDC_SLIDER_5,    IDC_SLIDER_6,  IDC_SLIDER_M2, IDC_SLIDER_M3,
                           IDC_SLIDER_M4,   IDC_SLIDER_M5, IDC_SLIDER_M6};
    for (uint8_t i = 0; i < 11; ++i) Learn(weights[i], i);  // controllers 0 to 10
    Learn(IDC_SLIDER_RELEASE, 11);
    const int expected[][2] = {{0, 0}, {1, 1}, {63, 50}, {64, 50}, {126, 99}, {127, 100}, {255, 100}};
    for (const auto& [value, figure] : expected) {
        for (uint8_t controller = 0; controller <= 11; ++controller)
            Control(controller, static_cast<uint8_t>(value));
        for (int id : weights) EXPECT_EQ(Pos(id), 100 - figure) << "slider " << id << " at " << value;
        EXPECT_EQ(Pos(IDC_SLIDER_RELEASE), figure) << value;
    }
}

TEST(ControllerBindings, ANewBindingReplacesTheSlidersOldControllerToo) {
    input::ControllerBindings bindings;
    bindings.Bind(20, IDC_SLIDER_2);
    bindings.Bind(21, IDC_SLIDER_2);
    EXPECT_EQ(bindings.SliderOf(20), std::nullopt);
    EXPECT_EQ(bindings.SliderOf(21), IDC_SLIDER_2);
    EXPECT_EQ(bindings.ControllerOf(IDC_SLIDER_2), 21);
    // Controllers beyond 0..119 are no binding, and leave the slider's as it was.
    bindings.Bind(0, IDC_SLIDER_3);
    bindings.Bind(120, IDC_SLIDER_3);
    bindings.Bind(-1, IDC_SLIDER_3);
    EXPECT_EQ(bindings.ControllerOf(IDC_SLIDER_3), 0);
    EXPECT_EQ(bindings.SliderOf(0), IDC_SLIDER_3);
    EXPECT_EQ(bindings.SliderOf(120), std::nullopt);
}

// --- The settings file ----------------------------------------------------------------

// Each test starts the program itself, once its file is in place.
class ControllerSettingsTest : public ControllerTest {
protected:
    void SetUp() override { sim.Midi().AddDevice("Keys"); }
};

TEST_F(ControllerSettingsTest, BindingsAreWrittenAsTheyChangeKeptByTheSaveAndReadAtTheNextStart) {
    Start();
    Learn(IDC_SLIDER_2, 0);
    EXPECT_EQ(Settings(), "[Controllers]\n2=0\n");
    Learn(IDC_SLIDER_RELEASE, 119);
    RightClick(IDC_SLIDER_2);
    EXPECT_EQ(Status(), "Slider 2: controller 0 unbound");
    Learn(IDC_SLIDER_M3, 21);
    EXPECT_EQ(Settings(), "[Controllers]\nrelease=119\n-3=21\n");
    CloseAndSave();
    const std::string saved = Settings().value_or("");
    EXPECT_THAT(saved, testing::StartsWith("[Controllers]\nrelease=119\n-3=21\n[Kelvarin]\n"));
    EXPECT_THAT(saved, testing::HasSubstr("\nsl2=100\n"));  // where controller 0 left it
    Start();
    Control(21, 0);
    Control(119, 0);
    Control(0, 0);
    EXPECT_EQ(Pos(IDC_SLIDER_M3), 100);
    EXPECT_EQ(Pos(IDC_SLIDER_RELEASE), 0);
    EXPECT_EQ(Pos(IDC_SLIDER_2), 0);
}

TEST_F(ControllerSettingsTest, BadLinesBindNothingAreSaidOnceAndStayInTheFile) {
    const std::string before = "[Kelvarin]\r\nsl1=100\r\n\r\n[Controllers]\r\n; drawbars\r\n2=20\r\n";
    const std::string bad = "seven=21\r\n3=120\r\n3=2a\r\n4=20\r\n2=22\r\ngarbage\r\n BASE = 23 \r\n";
    const std::string after = "\r\n[Other]\r\nx=1\r\n";
    sim.Files().SetFile(SettingsPath, before + bad + after);
    testing::internal::CaptureStderr();
    Start();
    Control(20, 127);
    Control(21, 0);
    Control(22, 0);
    EXPECT_EQ(Pos(IDC_SLIDER_2), 0);
    EXPECT_EQ(Pos(IDC_SLIDER_3), 100);
    EXPECT_EQ(Pos(IDC_SLIDER_4), 100);
    Control(23, 0);
    EXPECT_EQ(Pos(IDC_SLIDER_BASE), 100);
    Learn(IDC_SLIDER_5, 24);
    EXPECT_EQ(Settings(), before + bad + "5=24\r\n" + after);
    CloseAndSave();
    const std::string said = testing::internal::GetCapturedStderr();
    for (const char* line :
         {"\"seven=21\"", "\"3=120\"", "\"3=2a\"", "\"4=20\"", "\"2=22\"", "\"garbage\""})
        EXPECT_NE(said.find(line), std::string::npos) << line << " not said in: " << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 6) << said;
    const std::string section = "[Controllers]\r\n; drawbars\r\n2=20\r\n" + bad + "5=24\r\n\r\n[Other]";
    EXPECT_NE(Settings().value_or("").find(section), std::string::npos)
        << *Settings();
}

// --- The sustain pedal ------------------------------------------------------------------

class SustainPedalTest : public ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        Tick();  // the release slider's 10 gives a release step of 21
    }
    double Step(int note) { return Voice(note).releaseStep; }
};

TEST_F(SustainPedalTest, NotesLetGoWhileItIsDownFromMidiOrTheKeyboardSoundUntilItLifts) {
    Receive(0x90, 60, 100);
    Key('W', true);  // note 62
    Control(64, 64);
    Receive(0x80, 60, 0);
    Key('W', false);
    Receive(0x95, 67, 90);
    Receive(0x95, 67, 0);
    EXPECT_EQ(Step(60), 0.0);
    EXPECT_EQ(Step(62), 0.0);
    EXPECT_EQ(Step(67), 0.0);
    Control(64, 63);
    EXPECT_EQ(Step(60), 21.0);
    EXPECT_EQ(Step(62), 21.0);
    EXPECT_EQ(Step(67), 21.0);
    Receive(0x90, 72, 100);  // up, the pedal holds nothing
    Receive(0x80, 72, 0);
    EXPECT_EQ(Step(72), 21.0);
}

TEST_F(SustainPedalTest, ANoteStruckAgainWhileHeldSoundsAgainAndOutlastsThePedalWhileDown) {
    Control(64, 127);
    Receive(0x90, 60, 100);
    Receive(0x80, 60, 0);
    Receive(0x90, 60, 50);
    EXPECT_DOUBLE_EQ(Voice(60).level, 4000.0 * 50 / 127);
    Control(64, 0);
    EXPECT_EQ(Step(60), 0.0) << "the pedal let go of a note whose key is down";
    Receive(0x80, 60, 0);
    EXPECT_EQ(Step(60), 21.0);
}

TEST_F(SustainPedalTest, HoldsAndLetsGoTheLowestNoteLikeAnyOther) {
    Control(64, 127);
    Receive(0x90, 0, 100);
    Receive(0x80, 0, 0);
    EXPECT_EQ(Step(0), 0.0);
    Control(64, 0);
    EXPECT_EQ(Step(0), 21.0);
}

// The recording holds what the player did: the note was let go as the pedal lifted.
TEST_F(SustainPedalTest, ARecordingReleasesAHeldNoteWhenThePedalLetsItGo) {
    Press(IDC_WRITE);
    sim.SetTickCount(1000);
    Receive(0x90, 60, 100);
    Control(64, 127);
    sim.SetTickCount(1100);
    Receive(0x80, 60, 0);
    sim.SetTickCount(1500);
    Control(64, 0);
    Control(64, 127);  // once let go, a note is the pedal's no more
    Control(64, 0);
    EXPECT_EQ(sim.Files().Contents(RecordingPath), NoteBytes(60, 100, 1000) + NoteBytes(60, 0, 1500));
}

TEST_F(SustainPedalTest, LearnedOntoASliderControllerSixtyFourIsNoPedalAnyMore) {
    Receive(0x90, 60, 100);
    Control(64, 127);
    Receive(0x80, 60, 0);
    Learn(IDC_SLIDER_2, 64);  // the pedal, down, is learned: what it held goes
    EXPECT_EQ(Step(60), 21.0);
    EXPECT_EQ(Pos(IDC_SLIDER_2), 0);
    Receive(0x90, 61, 100);
    Control(64, 127);
    Receive(0x80, 61, 0);
    EXPECT_EQ(Step(61), 21.0);
}

// --- Channel-mode messages ----------------------------------------------------------------

using ChannelModeTest = SustainPedalTest;

TEST_F(ChannelModeTest, AllNotesOffLetsEveryNoteGoAndResetAllControllersLiftsThePedal) {
    Receive(0x90, 60, 100);
    Key('W', true);
    Receive(0x90, 72, 100);
    Press(IDC_WRITE);
    sim.SetTickCount(7);
    Control(123, 0);
    for (int note : {60, 62, 72}) EXPECT_EQ(Step(note), 21.0) << note;
    EXPECT_EQ(sim.Files().Contents(RecordingPath),
              NoteBytes(60, 0, 7) + NoteBytes(62, 0, 7) + NoteBytes(72, 0, 7));
    EXPECT_THAT(Sounding(), testing::ElementsAre(60, 62, 72)) << "released notes fade, they do not stop";
    Receive(0x90, 48, 100);
    Control(64, 100);
    Control(123, 0);
    EXPECT_EQ(Step(48), 0.0) << "the pedal holds what All Notes Off lets go";
    Receive(0xB7, 121, 0);
    EXPECT_EQ(Step(48), 21.0);
}

TEST_F(ChannelModeTest, AllSoundOffSilencesEveryVoiceAsResetSoundDoes) {
    Receive(0x90, 60, 100);
    Receive(0x90, 61, 100);
    Receive(0x80, 61, 0);
    Control(120, 0);
    EXPECT_THAT(Sounding(), testing::IsEmpty());
    EXPECT_EQ(Voice(60).level, 0.0);
    EXPECT_EQ(Voice(61).level, 0.0);
}

}  // namespace
