// Played notes: strikes and releases of the voice table, the Amplitude field, "Reset
// Sound", and the chord that brings a hidden window back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "platform/profile_file.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;

constexpr double InitialRelease = 5.0;  // before the first refresh tick

class NoteEventTest : public AppTest {
protected:
    void TearDown() override { StopAndDrain(); }

    std::vector<int> Sounding() {
        std::vector<int> notes;
        for (int n = 0; n < synth::VoiceCount; ++n)
            if (Engine().VoiceTable[n].active != 0) notes.push_back(n);
        return notes;
    }
    bool AllSilent() {
        return std::ranges::all_of(Engine().VoiceTable, [](const synth::Voice& voice) {
            return voice.active == 0 && voice.level == 0.0 && voice.releaseStep == 0.0;
        });
    }
    const synth::Voice& Voice(int note) { return Engine().VoiceTable[note]; }
    // The user edits the Amplitude field; the next tick hands it to the program.
    void EnterAmplitude(const std::string& text) {
        ASSERT_TRUE(window->Type(res::IDC_AMPLITUDE, text));
        Tick();
    }
    std::string HideWindowSetting() {
        return platform::FindProfileValue(Settings().value_or(""), "Kelvarin", "HideWindow")
            .value_or("missing");
    }
};

TEST_F(NoteEventTest, NothingPlaysOrRepaintsWhileTheOutputIsClosed) {
    sim.Wave().FailNext(sim::WaveCall::Open, platform::MMSYSERR_NODRIVER);
    Start();
    sim.Graphics().ClearLog();
    dialog->NoteEvent(60, 127);
    dialog->NoteEvent(61, 0);
    EXPECT_TRUE(AllSilent());
    EXPECT_THAT(sim.Graphics().Calls(), IsEmpty());
}

TEST_F(NoteEventTest, NoteAndVelocityCountOnlyTheirLow8Bits) {
    Start();
    dialog->NoteEvent(300, 127);
    EXPECT_THAT(Sounding(), ElementsAre(44));
    dialog->NoteEvent(300, 256);  // velocity 0: a release
    EXPECT_EQ(Voice(44).active, 1);
    EXPECT_EQ(Voice(44).releaseStep, InitialRelease);
    dialog->NoteEvent(45, 383);
    EXPECT_EQ(Voice(45).level, 4000.0);
}

TEST_F(NoteEventTest, LevelIsTheAmplitudeScaledByVelocityOver127) {
    Start();
    dialog->NoteEvent(60, 127);
    EXPECT_EQ(Voice(60).level, 4000.0);
    dialog->NoteEvent(61, 1);
    EXPECT_EQ(Voice(61).level, 31.496062992125985);
    dialog->NoteEvent(62, 64);
    EXPECT_DOUBLE_EQ(Voice(62).level, 4000.0 * 64 / 127);
}

TEST_F(NoteEventTest, VelocitiesAbove127StrikeLouderThanTheAmplitude) {
    Start();
    for (const int velocity : {128, 200, 255}) {
        dialog->NoteEvent(velocity - 100, velocity);
        EXPECT_DOUBLE_EQ(Voice(velocity - 100).level, 4000.0 * velocity / 127) << velocity;
    }
}

TEST_F(NoteEventTest, AmplitudeTextCountsItsLeadingDigitsOnceTheFieldIsExchanged) {
    Start();
    window->Type(res::IDC_AMPLITUDE, "12abc");
    dialog->NoteEvent(60, 127);  // the field has not reached the program yet
    EXPECT_EQ(Voice(60).level, 4000.0);
    Tick();
    dialog->NoteEvent(60, 127);
    EXPECT_DOUBLE_EQ(Voice(60).level, 12.0);
}

TEST_F(NoteEventTest, EmptyOrNegativeAmplitudeSoundsForOneBlockOnly) {
    Start();
    EnterAmplitude("");
    dialog->NoteEvent(60, 127);
    EXPECT_EQ(Voice(60).active, 1);
    EXPECT_EQ(Voice(60).level, 0.0);
    EnterAmplitude("-50");
    dialog->NoteEvent(62, 127);
    EXPECT_EQ(Voice(62).active, 1);
    EXPECT_DOUBLE_EQ(Voice(62).level, -50.0);
    Complete(1);
    EXPECT_TRUE(AllSilent());
}

TEST_F(NoteEventTest, HugeAmplitudeGivesTheExactLevelWithoutOverflow) {
    Start();
    EnterAmplitude("99999999");  // times 127 leaves the 32-bit range
    dialog->NoteEvent(60, 127);
    EXPECT_DOUBLE_EQ(Voice(60).level, 99999999.0);
}

TEST_F(NoteEventTest, StrikingAHeldNoteSofterLowersItInPlace) {
    Start();
    dialog->NoteEvent(60, 127);
    dialog->NoteEvent(60, 0);
    dialog->NoteEvent(60, 1);
    EXPECT_THAT(Sounding(), ElementsAre(60));
    EXPECT_EQ(Voice(60).level, 31.496062992125985);
    EXPECT_EQ(Voice(60).releaseStep, 0.0);
    Complete(2);
    EXPECT_EQ(Voice(60).level, 31.496062992125985);  // held again, so it does not fade
}

TEST_F(NoteEventTest, ReleasingANoteNeverStruckSetsOnlyItsReleaseStepUntilTheNextBlock) {
    Start();
    sim.Graphics().ClearLog();
    dialog->NoteEvent(70, 0);
    EXPECT_EQ(Voice(70).active, 0);
    EXPECT_EQ(Voice(70).level, 0.0);
    EXPECT_EQ(Voice(70).releaseStep, InitialRelease);
    EXPECT_THAT(sim.Graphics().Calls(), IsEmpty());  // a release never repaints
    Complete(1);
    EXPECT_TRUE(AllSilent());
}

TEST_F(NoteEventTest, ResetSoundSilencesHeldKeysAndALaterKeyUpOnlySetsTheReleaseStep) {
    Start();
    sim.KeyDown('Q');
    sim.KeyDown('W');
    sim.Pump();
    ASSERT_THAT(Sounding(), ElementsAre(60, 62));
    sim.Graphics().ClearLog();
    window->Click(res::IDC_RESET_SOUND);
    sim.Pump();
    EXPECT_THAT(Sounding(), IsEmpty());
    EXPECT_EQ(Voice(60).level, 0.0);
    EXPECT_THAT(sim.Graphics().Calls(), IsEmpty());  // shown at the next refresh

    sim.KeyUp('Q');
    sim.Pump();
    EXPECT_EQ(Voice(60).active, 0);
    EXPECT_EQ(Voice(60).level, 0.0);
    EXPECT_EQ(Voice(60).releaseStep, InitialRelease);
    Complete(1);
    EXPECT_TRUE(AllSilent());  // and W stays silent though its key is still down
}

TEST_F(NoteEventTest, ResetSoundWorksWhileTheOutputIsClosed) {
    Start();
    StopAndDrain();
    Engine().VoiceTable[60] = {1, 10.0, 3000.0};  // as a mouse strike leaves it
    window->Click(res::IDC_RESET_SOUND);
    sim.Pump();
    EXPECT_EQ(Voice(60).active, 0);
    EXPECT_EQ(Voice(60).level, 0.0);
    EXPECT_EQ(Voice(60).releaseStep, 10.0);  // the next rendered block clears it
}

TEST_F(NoteEventTest, HoldingNotes55And79TogetherBringsTheHiddenWindowBack) {
    sim.Files().SetFile(SettingsPath, "[Kelvarin]\nHideWindow=1\n");
    Start();
    ASSERT_FALSE(window->Shown());

    // 55 held, 79 struck at level 0: after the block only 55 still sounds.
    dialog->NoteEvent(55, 127);
    EnterAmplitude("");
    dialog->NoteEvent(79, 127);
    const int writes = sim.Files().Writes(SettingsPath);
    Complete(3);
    EXPECT_EQ(sim.Files().Writes(SettingsPath), writes);
    Tick();
    EXPECT_FALSE(window->Shown());

    EnterAmplitude("4000");
    dialog->NoteEvent(79, 127);
    Complete(1);
    EXPECT_EQ(HideWindowSetting(), "0");
    EXPECT_FALSE(window->Shown());  // until the next tick
    Tick();
    EXPECT_TRUE(window->Shown());
}

}  // namespace
