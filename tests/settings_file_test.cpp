// "Kelvarin.ini" as the user meets it: what a save leaves in the file, what odd files
// load as, what the refresh tick and the unlock chord cost the disk, and a start from
// a directory that no longer exists.
#include <gtest/gtest.h>

#include <string>

#include "app_fixture.h"

using namespace res;

namespace {

// The sliders by their labels, typed out here as the window shows them.
struct LabelledSlider {
    const char* label;
    int id;
};
constexpr LabelledSlider Harmonics[] = {{"2", IDC_SLIDER_2}, {"3", IDC_SLIDER_3}, {"4", IDC_SLIDER_4},
                                        {"5", IDC_SLIDER_5}, {"6", IDC_SLIDER_6}};
constexpr LabelledSlider Subharmonics[] = {{"-2", IDC_SLIDER_M2}, {"-3", IDC_SLIDER_M3},
                                           {"-4", IDC_SLIDER_M4}, {"-5", IDC_SLIDER_M5},
                                           {"-6", IDC_SLIDER_M6}};

class SettingsFileTest : public AppTest {
protected:
    // "X", and the queue drains: the program saves and ends.
    void CloseAndSave() {
        ASSERT_TRUE(sim.Click(IDC_CLOSE));
        sim.Pump();
        Complete(sim.Wave().InFlight());
        ASSERT_TRUE(sim.Ended());
    }
    int Reads() { return sim.Files().Reads(SettingsPath); }
    int Writes() { return sim.Files().Writes(SettingsPath); }
    // Strikes a note as a MIDI keyboard would, at full velocity.
    void Strike(int note) { dialog->NoteEvent(note, 127); }
};

TEST_F(SettingsFileTest, AFreshFileHoldsTheSectionThenTheEightSliderKeysInOrder) {
    Start();
    // Weights by label: base 11, 2..6 = 21..25, -2..-6 = 31..35; release position 44.
    SetWeight(IDC_SLIDER_BASE, 11);
    for (int i = 0; i < 5; ++i) SetWeight(Harmonics[i].id, 21 + i);
    for (int i = 0; i < 5; ++i) SetWeight(Subharmonics[i].id, 31 + i);
    window->DragSlider(IDC_SLIDER_RELEASE, 44);
    CloseAndSave();
    // "3" and "5" share sl3, "4" and "6" sl4, "-3"/"-5" slm3, "-4"/"-6" slm4: the later
    // slider of each pair is what stays.
    EXPECT_EQ(Settings(),
              "[Kelvarin]\nsl1=11\nsl2=21\nsl3=24\nsl4=25\nslm2=31\nslm3=34\nslm4=35\n"
              "sldecrement=56\n");
}

TEST_F(SettingsFileTest, EachKeyLoadsIntoItsOwnSliders) {
    sim.Files().SetFile(SettingsPath,
                        "[Kelvarin]\nsl1=1\nsl2=2\nsl3=3\nsl4=4\nslm2=12\nslm3=13\nslm4=14\n"
                        "sldecrement=20\n");
    Start();
    const std::pair<int, int> expected[] = {
        {IDC_SLIDER_BASE, 1}, {IDC_SLIDER_2, 2},   {IDC_SLIDER_3, 3},   {IDC_SLIDER_4, 4},
        {IDC_SLIDER_5, 3},    {IDC_SLIDER_6, 4},   {IDC_SLIDER_M2, 12}, {IDC_SLIDER_M3, 13},
        {IDC_SLIDER_M4, 14},  {IDC_SLIDER_M5, 13}, {IDC_SLIDER_M6, 14}};
    for (const auto& [id, weight] : expected) EXPECT_EQ(window->SliderPos(id), 100 - weight) << id;
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_RELEASE), 80);
    Tick();
    // In the engine's order: fundamental, harmonics 2..6, sub-harmonics 1/2..1/6.
    const int weights[] = {1, 2, 3, 4, 3, 4, 12, 13, 14, 13, 14};
    for (int i = 0; i < synth::PartialCount; ++i) EXPECT_EQ(Engine().HarmonicWeights[i], weights[i]) << i;
    EXPECT_EQ(Engine().NoteOffRelease, 161);
}

TEST_F(SettingsFileTest, AFileHoldingOnlyHideWindowStartsSilentWithTheReleaseAt100) {
    sim.Files().SetFile(SettingsPath, "[Kelvarin]\nHideWindow=0\n");
    Start();
    Tick();
    for (int i = 0; i < synth::PartialCount; ++i) EXPECT_EQ(Engine().HarmonicWeights[i], 0) << i;
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_RELEASE), 100);
    EXPECT_EQ(Engine().NoteOffRelease, 201);
    EXPECT_TRUE(window->Shown());
}

TEST_F(SettingsFileTest, TheSmallestIntegerInAKeyLeavesItsSliderAtWeightZero) {
    sim.Files().SetFile(SettingsPath, "[Kelvarin]\nsl1=-2147483648\nsl2=2147483647\n");
    Start();
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_BASE), 100);
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_2), 0);
}

TEST_F(SettingsFileTest, ANegativeHideWindowHidesAtTheFirstTickButNotAtStart) {
    sim.Files().SetFile(SettingsPath, "[Kelvarin]\nHideWindow=-1\n");
    Start();
    EXPECT_TRUE(window->Shown());
    Tick();
    EXPECT_FALSE(window->Shown());
}

TEST_F(SettingsFileTest, TicksReadTheFileOnlyWhenItHasChanged) {
    sim.Files().SetFile(SettingsPath, "[Kelvarin]\nsl1=50\nHideWindow=0\n");
    Start();
    Tick();
    const int reads = Reads();
    for (int i = 0; i < 24; ++i) Tick();
    EXPECT_EQ(Reads(), reads);
    EXPECT_TRUE(window->Shown());

    // An edit by hand of the same length still counts.
    sim.Files().SetFile(SettingsPath, "[Kelvarin]\nsl1=50\nHideWindow=1\n");
    Tick();
    EXPECT_FALSE(window->Shown());
    EXPECT_EQ(Reads(), reads + 1);
    Tick();
    EXPECT_EQ(Reads(), reads + 1);
    sim.Files().RemoveFile(SettingsPath);
    Tick();
    EXPECT_TRUE(window->Shown());
}

TEST_F(SettingsFileTest, AFileThatCannotBeReadForAMomentIsTriedAgainAtEveryTick) {
    sim.Files().SetFile(SettingsPath, "[Kelvarin]\nHideWindow=0\n");
    Start();
    sim.Files().SetFile(SettingsPath, "[Kelvarin]\nHideWindow=1\n");
    sim.Files().HoldOpenElsewhere(SettingsPath);
    Tick();
    EXPECT_TRUE(window->Shown());
    sim.Files().HoldOpenElsewhere(SettingsPath, false);
    Tick();
    EXPECT_FALSE(window->Shown());
}

TEST_F(SettingsFileTest, HoldingTheUnlockChordWritesTheFileOnceNotForEveryBlock) {
    sim.Files().SetFile(SettingsPath, "[Kelvarin]\nsl1=0\nHideWindow=1\n");
    Start();
    ASSERT_FALSE(window->Shown());
    Strike(55);
    Strike(79);
    Complete(20);
    EXPECT_EQ(Writes(), 1);
    EXPECT_EQ(Settings(), "[Kelvarin]\nsl1=0\nHideWindow=0\n");
    Tick();
    EXPECT_TRUE(window->Shown());
    StopAndDrain();
}

TEST_F(SettingsFileTest, TheUnlockChordLeavesAFileThatAlreadySaysShownAlone) {
    sim.Files().SetFile(SettingsPath, "[Kelvarin]\nHideWindow=0\n");
    Start();
    Strike(55);
    Strike(79);
    Complete(20);
    EXPECT_EQ(Writes(), 0);
    StopAndDrain();
}

TEST_F(SettingsFileTest, TheUnlockChordStillCreatesAMissingKeyOrFile) {
    Start();
    Strike(55);
    Strike(79);
    Complete(5);
    EXPECT_EQ(Settings(), "[Kelvarin]\nHideWindow=0\n");
    EXPECT_EQ(Writes(), 1);
    StopAndDrain();
}

TEST_F(SettingsFileTest, StartedInADeletedDirectoryItSavesNothingAndSaysSo) {
    sim.Files().SetCurrentDirectory("");
    testing::internal::CaptureStderr();
    Start();
    window->Post(platform::WM_COMMAND, platform::MakeCommand(IDC_HIDE, platform::BN_CLICKED));
    sim.Pump();
    CloseAndSave();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(sim.Files().Paths().empty());
    EXPECT_NE(said.find("current directory"), std::string::npos) << said;
    // Nothing was read either: the defaults apply.
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_BASE), 0);
}

}  // namespace
