// The computer keyboard as a 37-key note keyboard above a movable base note.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app_fixture.h"

namespace {

using namespace platform;
using testing::ElementsAre;
using testing::IsEmpty;

constexpr int FullRedraw = 3 + 116;  // lamp, meter bar, meter rest, then every key

struct MappedKey {
    WPARAM key;
    int note;  // at base 59
};

// Tab is the B below the first C on Q; letters are the naturals and the digit row the
// sharps; the keypad carries on, and M ends the map.
constexpr MappedKey KeysAtBase59[] = {
    {VK_TAB, 59},     {'Q', 60},        {'2', 61},        {'W', 62},         {'3', 63},
    {'E', 64},        {'R', 65},        {'5', 66},        {'T', 67},         {'6', 68},
    {'Y', 69},        {'7', 70},        {'U', 71},        {'I', 72},         {'9', 73},
    {'O', 74},        {'0', 75},        {'P', 76},        {VK_OEM_4, 77},    {VK_OEM_PLUS, 78},
    {VK_OEM_6, 79},   {VK_OEM_5, 80},   {VK_RETURN, 81},  {VK_BACK, 82},     {VK_DELETE, 83},
    {VK_END, 84},     {VK_HOME, 85},    {VK_NEXT, 86},    {VK_PRIOR, 87},    {VK_NUMPAD7, 88},
    {VK_NUMPAD8, 89}, {VK_DIVIDE, 90},  {VK_NUMPAD9, 91}, {VK_MULTIPLY, 92}, {VK_ADD, 93},
    {VK_SUBTRACT, 94}, {'M', 95},
};

class ComputerKeyboardTest : public AppTest {
protected:
    void TearDown() override { StopAndDrain(); }

    void Press(WPARAM key, bool autoRepeat = false) {
        sim.KeyDown(key, autoRepeat);
        sim.Pump();
    }
    void Lift(WPARAM key) {
        sim.KeyUp(key);
        sim.Pump();
    }
    int Base() const { return state->KeyboardBaseNote; }
    size_t Repaints() { return std::ranges::count(sim.Graphics().Kinds(), sim::DrawKind::GetDC); }
};

TEST_F(ComputerKeyboardTest, EachMappedKeyPlaysItsOwnNoteAboveTheBase) {
    Start();
    ASSERT_EQ(std::size(KeysAtBase59), 37u);
    for (const auto [key, note] : KeysAtBase59) {
        Press(key);
        EXPECT_THAT(Sounding(), ElementsAre(note)) << "key " << key;
        EXPECT_EQ(Voice(note).level, 4000.0) << "key " << key;
        Lift(key);
        dialog->ResetSound();
    }
    for (const WPARAM unmapped : {WPARAM{'A'}, WPARAM{'1'}, WPARAM{'4'}, WPARAM{'8'}, VK_ESCAPE})
        Press(unmapped);
    EXPECT_THAT(Sounding(), IsEmpty());
}

TEST_F(ComputerKeyboardTest, KeysDoNothingBeforeGenerateModeOpensTheOutput) {
    sim.Wave().FailNext(sim::WaveCall::Open, MMSYSERR_NODRIVER);
    Start();
    Press('Q');
    Press(VK_RIGHT);
    Press(VK_LEFT);
    EXPECT_THAT(Sounding(), IsEmpty());
    EXPECT_EQ(Base(), 59);
    EXPECT_EQ(Repaints(), 0u);

    window->Click(res::IDC_GENERATE);
    sim.Pump();
    Press('Q');
    EXPECT_THAT(Sounding(), ElementsAre(60));
}

TEST_F(ComputerKeyboardTest, AfterStopAKeyUpIsIgnoredAndTheNoteSoundsAgainOnReopening) {
    Start();
    Press('Q');
    StopAndDrain();
    ASSERT_FALSE(sim.Wave().IsOpen());
    sim.Graphics().ClearLog();
    Lift('Q');
    Press('W');
    Press(VK_RIGHT);
    EXPECT_EQ(Base(), 59);
    EXPECT_EQ(Repaints(), 0u);
    EXPECT_THAT(Sounding(), ElementsAre(60));
    EXPECT_EQ(Voice(60).releaseStep, 0.0);

    window->Click(res::IDC_GENERATE);
    sim.Pump();
    Complete(3);
    EXPECT_EQ(Voice(60).level, 4000.0);  // still held
}

TEST_F(ComputerKeyboardTest, ArrowsMoveTheBaseBetween0And127AndAlwaysRepaint) {
    Start();
    Press(VK_RIGHT);
    EXPECT_EQ(Base(), 60);
    Press('Q');
    EXPECT_THAT(Sounding(), ElementsAre(61));
    dialog->ResetSound();

    for (int i = 0; i < 60; ++i) Press(VK_LEFT);
    EXPECT_EQ(Base(), 0);
    sim.Graphics().ClearLog();
    Press(VK_LEFT);
    EXPECT_EQ(Base(), 0);
    EXPECT_EQ(sim.Graphics().Rectangles().size(), size_t{FullRedraw});

    for (int i = 0; i < 127; ++i) Press(VK_RIGHT);
    EXPECT_EQ(Base(), 127);
    sim.Graphics().ClearLog();
    Press(VK_RIGHT);
    EXPECT_EQ(Base(), 127);
    EXPECT_EQ(sim.Graphics().Rectangles().size(), size_t{FullRedraw});

    Press('M');  // 127 + 36: above the drawn keys, but a voice like any other
    EXPECT_THAT(Sounding(), ElementsAre(163));
    EXPECT_EQ(Voice(163).level, 4000.0);
}

TEST_F(ComputerKeyboardTest, ReleasingAnArrowKeyLeavesTheBaseWhereThePressPutIt) {
    Start();
    Press(VK_RIGHT);
    sim.KeyUp(VK_RIGHT);
    sim.Pump();
    EXPECT_EQ(Base(), 60);
    Press(VK_LEFT);
    sim.KeyUp(VK_LEFT);
    sim.Pump();
    EXPECT_EQ(Base(), 59);
}

TEST_F(ComputerKeyboardTest, KeyUpReleasesWithTheStepOfTheReleaseSlider) {
    Start();
    window->DragSlider(res::IDC_SLIDER_RELEASE, 7);
    Tick();  // release step 2 * 7 + 1
    Press('Q');
    Lift('Q');
    EXPECT_EQ(Voice(60).active, 1);
    EXPECT_EQ(Voice(60).level, 4000.0);
    EXPECT_EQ(Voice(60).releaseStep, 15.0);
    Complete(1);
    EXPECT_EQ(Voice(60).level, 3985.0);
}

TEST_F(ComputerKeyboardTest, AutoRepeatStrikesTheNoteAgainAtFullLevel) {
    Start();
    Press('Q');
    window->Click(res::IDC_RESET_SOUND);
    sim.Pump();
    ASSERT_THAT(Sounding(), IsEmpty());
    sim.Graphics().ClearLog();
    Press('Q', true);
    Press('Q', true);
    EXPECT_THAT(Sounding(), ElementsAre(60));
    EXPECT_EQ(Voice(60).level, 4000.0);
    EXPECT_EQ(Repaints(), 2u);  // each strike repaints
}

TEST_F(ComputerKeyboardTest, MovingTheBaseWhileAKeyIsHeldLeavesTheOldNoteHeld) {
    Start();
    Press('Q');  // 60
    Press(VK_RIGHT);
    Lift('Q');  // releases 61, which never sounded
    EXPECT_THAT(Sounding(), ElementsAre(60));
    EXPECT_EQ(Voice(60).releaseStep, 0.0);
    EXPECT_EQ(Voice(61).releaseStep, 5.0);
    Complete(2);
    EXPECT_EQ(Voice(60).level, 4000.0);
    EXPECT_EQ(Voice(61).releaseStep, 0.0);
}

TEST_F(ComputerKeyboardTest, EnterTabAndEscPlayOrNothingButNeverOperateTheDialog) {
    Start();
    Press(VK_RETURN);
    Press(VK_TAB);
    Press(VK_ESCAPE);
    EXPECT_THAT(Sounding(), ElementsAre(59, 81));
    EXPECT_FALSE(window->Enabled(res::IDC_GENERATE));
    EXPECT_TRUE(window->Enabled(res::IDC_STOP));
    EXPECT_EQ(window->Focus(), res::IDC_STATUS);
    EXPECT_EQ(sim.Wave().Opens(), 1);
    EXPECT_FALSE(sim.Ended());

    StopAndDrain();  // with "Generate Mode" enabled, Enter still does not press it
    Press(VK_RETURN);
    Press(VK_ESCAPE);
    EXPECT_EQ(sim.Wave().Opens(), 1);
    EXPECT_FALSE(sim.Ended());
}

TEST_F(ComputerKeyboardTest, LosingTheFocusReleasesEveryNoteAKeyStillHolds) {
    Start();
    Press('Q');                  // 60
    Press('W');                  // 62
    Lift('W');
    dialog->NoteEvent(70, 127);  // held by another source, not by a key
    window->Deactivate();
    sim.Pump();
    EXPECT_THAT(Sounding(), ElementsAre(60, 62, 70));
    EXPECT_EQ(Voice(60).releaseStep, 5.0);
    EXPECT_EQ(Voice(70).releaseStep, 0.0);
    EXPECT_EQ(window->DefaultProcessed().back().message, WM_ACTIVATE);
    Complete(1);
    EXPECT_EQ(Voice(60).level, 3995.0);
    EXPECT_EQ(Voice(70).level, 4000.0);
}

TEST_F(ComputerKeyboardTest, FocusLossReleasesTheNotesAKeyStruckThoughTheBaseMoved) {
    Start();
    Press('Q');        // 60
    Press(VK_RIGHT);
    Press('Q', true);  // the repeat strikes 61 at the new base
    Press(VK_RIGHT);
    window->Deactivate();
    sim.Pump();
    EXPECT_THAT(Sounding(), ElementsAre(60, 61));
    EXPECT_EQ(Voice(60).releaseStep, 5.0);
    EXPECT_EQ(Voice(61).releaseStep, 5.0);
    EXPECT_EQ(Voice(62).releaseStep, 0.0);  // where the key would be now: never struck
}

TEST_F(ComputerKeyboardTest, KeysAlreadyUpOrActivationReleaseNothingOnFocusChanges) {
    Start();
    Press('Q');
    Lift('Q');
    dialog->NoteEvent(60, 127);  // struck again by another source
    Press('W');
    sim.Post(WM_ACTIVATE, 1);    // activated
    sim.Post(WM_ACTIVATE, 2);    // activated by a click
    sim.Pump();
    EXPECT_EQ(Voice(62).releaseStep, 0.0);
    window->Deactivate();
    sim.Pump();
    EXPECT_EQ(Voice(60).releaseStep, 0.0);
    EXPECT_EQ(Voice(62).releaseStep, 5.0);

    dialog->NoteEvent(62, 127);  // a released key holds nothing at the next focus loss
    window->Deactivate();
    sim.Pump();
    EXPECT_EQ(Voice(62).releaseStep, 0.0);
}

TEST_F(ComputerKeyboardTest, KeysWithAltHeldPlayNothingAndTheirKeyUpsReleaseNothing) {
    Start();
    sim.Graphics().ClearLog();
    window->SysKeyDown('Q');
    window->SysKeyDown(VK_RIGHT);
    sim.Pump();
    EXPECT_THAT(Sounding(), IsEmpty());
    EXPECT_EQ(Base(), 59);
    EXPECT_EQ(Repaints(), 0u);

    dialog->NoteEvent(62, 127);
    window->SysKeyUp('W');
    window->Deactivate();  // an Alt key-down holds nothing either
    sim.Pump();
    EXPECT_EQ(Voice(62).releaseStep, 0.0);
}

TEST_F(ComputerKeyboardTest, AKeyPressedAloneStillLetsGoWhenReleasedWithAltHeld) {
    Start();
    Press('Q');
    Press(VK_RIGHT);
    window->SysKeyUp('Q');
    sim.Pump();
    EXPECT_EQ(Voice(60).releaseStep, 5.0);
    dialog->NoteEvent(60, 127);
    window->Deactivate();  // the key is up: nothing left to release
    sim.Pump();
    EXPECT_EQ(Voice(60).releaseStep, 0.0);
}

TEST_F(ComputerKeyboardTest, KeyCodesBeyondTheMapsRangeHoldAndReleaseNothing) {
    Start();
    Press('Q');
    for (const WPARAM code : {WPARAM{0x100}, WPARAM{0x151}, WPARAM{0xFFFF}}) {
        Press(code);
        Lift(code);
        window->SysKeyUp(code);
        sim.Pump();
    }
    EXPECT_THAT(Sounding(), ElementsAre(60));
    EXPECT_EQ(Voice(60).releaseStep, 0.0);
    window->Deactivate();
    sim.Pump();
    EXPECT_EQ(Voice(60).releaseStep, 5.0);
}

}  // namespace
