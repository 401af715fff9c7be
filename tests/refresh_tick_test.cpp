// The refresh tick: the only road from the controls to the engine, and the keeper of
// the hidden-window setting.
#include "app_fixture.h"

using namespace res;

// The weight sliders by label, in the engine's order: fundamental, 2..6, then 1/2..1/6.
const int SlidersInEngineOrder[] = {IDC_SLIDER_BASE, IDC_SLIDER_2,  IDC_SLIDER_3,  IDC_SLIDER_4,
                                    IDC_SLIDER_5,    IDC_SLIDER_6,  IDC_SLIDER_M2, IDC_SLIDER_M3,
                                    IDC_SLIDER_M4,   IDC_SLIDER_M5, IDC_SLIDER_M6};

class RefreshTickTest : public AppTest {
protected:
    void SetUp() override { Start(); }
};

TEST_F(RefreshTickTest, SliderMovesReachTheEngineOnlyAtTheNextTick) {
    for (int i = 0; i < synth::PartialCount; ++i) SetWeight(SlidersInEngineOrder[i], 7 * i + 3);
    EXPECT_EQ(Engine().HarmonicWeights[5], 0);
    Tick();
    for (int i = 0; i < synth::PartialCount; ++i)
        EXPECT_EQ(Engine().HarmonicWeights[i], 7 * i + 3) << i;
    SetWeight(IDC_SLIDER_BASE, 100);
    SetWeight(IDC_SLIDER_6, 0);
    Tick();
    EXPECT_EQ(Engine().HarmonicWeights[0], 100);
    EXPECT_EQ(Engine().HarmonicWeights[5], 0);
}

TEST_F(RefreshTickTest, EachWeightSliderFeedsItsOwnPartial) {
    for (int i = 0; i < synth::PartialCount; ++i) SetWeight(SlidersInEngineOrder[i], 5 + 9 * i);
    Tick();
    for (int i = 0; i < synth::PartialCount; ++i) EXPECT_EQ(Engine().HarmonicWeights[i], 5 + 9 * i) << i;
}

TEST_F(RefreshTickTest, ReleaseSliderSetsTheNoteOffStep) {
    EXPECT_EQ(Engine().NoteOffRelease, 5);  // before any tick
    for (const auto& [position, step] : {std::pair{0, 1}, {10, 21}, {100, 201}, {37, 75}}) {
        window->DragSlider(IDC_SLIDER_RELEASE, position);
        Tick();
        EXPECT_EQ(Engine().NoteOffRelease, step) << position;
    }
}

TEST_F(RefreshTickTest, AmplitudeFieldIsReadAsANumber) {
    for (const auto& [text, value] :
         {std::pair{"abc", 0}, {"12abc", 12}, {"  -7", -7}, {"", 0}, {"3000", 3000}, {"+250", 250},
          {"\t+0x10", 0}, {"--5", 0}, {"\t\n\v\f\r 9", 9}}) {
        window->Type(IDC_AMPLITUDE, text);
        Tick();
        EXPECT_EQ(Engine().AmplitudeSetting, value) << text;
    }
}

TEST_F(RefreshTickTest, HideWindowEditedByHandTakesEffectAtTheNextTick) {
    Tick();
    EXPECT_TRUE(window->Shown());
    sim.Files().SetFile(SettingsPath, "[Kelvarin]\nHideWindow=7\n");
    Tick();
    EXPECT_FALSE(window->Shown());
    sim.Files().SetFile(SettingsPath, "[Kelvarin]\nHideWindow=0\n");
    Tick();
    EXPECT_TRUE(window->Shown());
}

TEST_F(RefreshTickTest, EveryTickRepaintsTheMeterEvenWithTheOutputClosed) {
    sim.Click(IDC_STOP);
    sim.Pump();
    Complete(60);
    ASSERT_FALSE(sim.Wave().IsOpen());
    SetWeight(IDC_SLIDER_2, 55);
    sim.Graphics().ClearLog();
    sim.FireTimer(0);
    sim.Pump();
    EXPECT_EQ(Engine().HarmonicWeights[1], 55);
    EXPECT_GE(sim.Graphics().Rectangles().size(), 3u);
    EXPECT_TRUE(sim.Graphics().Problems().empty());
}
