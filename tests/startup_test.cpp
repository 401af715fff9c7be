// What the user finds when the program starts: streaming output, the sliders where the
// settings file (or the defaults) put them, the window shown or hidden.
#include <cmath>

#include "app/main_app.h"
#include "app/slider_keys.h"
#include "app_fixture.h"

using namespace res;
using platform::IDOK;
using app::ReleaseSlider;

namespace {

const int AllSliders[] = {IDC_SLIDER_BASE, IDC_SLIDER_2,  IDC_SLIDER_3,  IDC_SLIDER_4,
                          IDC_SLIDER_5,    IDC_SLIDER_6,  IDC_SLIDER_M2, IDC_SLIDER_M3,
                          IDC_SLIDER_M4,   IDC_SLIDER_M5, IDC_SLIDER_M6, IDC_SLIDER_RELEASE};

}  // namespace

using StartupTest = AppTest;

TEST_F(StartupTest, PlainStartStreamsSilenceAtOnceAndShowsTheWindow) {
    Start();
    const auto format = sim.Wave().Format();
    ASSERT_TRUE(format.has_value());
    EXPECT_EQ(format->samplesPerSec, 44100u);
    EXPECT_EQ(format->channels, 1);
    EXPECT_EQ(format->bitsPerSample, 16);
    EXPECT_EQ(format->blockAlign, 2);
    EXPECT_EQ(format->avgBytesPerSec, 88200u);

    ASSERT_EQ(sim.Wave().Blocks().size(), 60u);
    for (const auto& block : sim.Wave().Blocks()) {
        EXPECT_EQ(block.length, 200u);
        EXPECT_EQ(block.user, 0);
        for (int16_t s : block.samples) ASSERT_EQ(s, 0);
    }
    EXPECT_FALSE(window->Enabled(IDOK));
    EXPECT_TRUE(window->Enabled(IDC_STOP));
    EXPECT_EQ(window->Focus(), IDC_STATUS);
    EXPECT_EQ(window->Title(), "Kelvarin");
    EXPECT_TRUE(window->Shown());
    EXPECT_EQ(window->Text(IDC_AMPLITUDE), "4000");
    EXPECT_EQ(window->Text(IDC_BLOCKCOUNT), "0");
    EXPECT_EQ(window->Text(IDC_FREQ), "0");
    EXPECT_TRUE(window->Problems().empty());
}

TEST_F(StartupTest, BothRefreshTimersRun) {
    Start();
    ASSERT_TRUE(window->HasTimer(0) && window->HasTimer(1));
    EXPECT_EQ(window->Timer(0).periodMs, 500u);
    EXPECT_EQ(window->Timer(1).periodMs, 100u);
    // Until the first tick no weight has reached the engine: nothing sounds yet.
    EXPECT_EQ(Engine().HarmonicWeights[0], 0);
    sim.RunFor(100);
    EXPECT_EQ(Engine().HarmonicWeights[0], 100);
}

TEST_F(StartupTest, FirstRunSoundsAPureSineAtTheFundamental) {
    Start();
    for (int id : AllSliders) EXPECT_EQ(window->SliderRange(id), std::make_pair(0, 100)) << id;
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_BASE), 0);
    for (int id : {IDC_SLIDER_2, IDC_SLIDER_3, IDC_SLIDER_4, IDC_SLIDER_5, IDC_SLIDER_6, IDC_SLIDER_M2,
                   IDC_SLIDER_M3, IDC_SLIDER_M4, IDC_SLIDER_M5, IDC_SLIDER_M6})
        EXPECT_EQ(window->SliderPos(id), 100) << id;
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_RELEASE), 10);
    Tick();
    EXPECT_EQ(Engine().NoteOffRelease, 21);
}

TEST_F(StartupTest, SettingsFileSetsTheSlidersAndSharedKeysMoveBothOfAPair) {
    sim.Files().SetFile(SettingsPath,
                        "[Kelvarin]\nsl1=80\nsl2=10\nsl3=70\nsl4=40\nslm2=5\nslm3=33\nslm4=66\n"
                        "sldecrement=75\n");
    Start();
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_BASE), 20);
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_2), 90);
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_3), 30);
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_5), 30);
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_4), 60);
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_6), 60);
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_M2), 95);
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_M3), 67);
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_M5), 67);
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_M4), 34);
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_M6), 34);
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_RELEASE), 25);
}

TEST_F(StartupTest, MissingKeysReadAsZeroAndOddValuesAreClamped) {
    sim.Files().SetFile(SettingsPath, "[kelvarin]\nHideWindow=0\nSL1=150\nsl2=-20\nslm2=abc\n");
    Start();
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_BASE), 0);    // 150: held at full weight
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_2), 100);     // -20: held at weight 0
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_M2), 100);    // no digits: weight 0
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_3), 100);     // missing: weight 0
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_RELEASE), 100);  // missing: release at 100
}

TEST_F(StartupTest, AFileAnotherProgramHoldsCountsAsAbsent) {
    sim.Files().SetFile(SettingsPath, "[Kelvarin]\nsl1=0\nsl2=100\n");
    sim.Files().HoldOpenElsewhere(SettingsPath);
    Start();
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_BASE), 0);
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_2), 100);
    EXPECT_EQ(window->SliderPos(IDC_SLIDER_RELEASE), 10);
}

TEST_F(StartupTest, HideWindowOneHidesAtOnceAndTicksKeepItHidden) {
    sim.Files().SetFile(SettingsPath, "[Kelvarin]\nHideWindow=1\n");
    Start();
    EXPECT_FALSE(window->Shown());
    Tick();
    EXPECT_FALSE(window->Shown());
}

TEST_F(StartupTest, HideWindowTwoIsLeftToTheFirstTick) {
    sim.Files().SetFile(SettingsPath, "[Kelvarin]\nHideWindow=2\n");
    Start();
    EXPECT_TRUE(window->Shown());
    Tick();
    EXPECT_FALSE(window->Shown());
}

TEST_F(StartupTest, WithoutAnOutputDeviceTheWindowRunsSilentAndCanTryAgain) {
    sim.Wave().FailNext(sim::WaveCall::Open, platform::MMSYSERR_NODRIVER);
    Start();
    EXPECT_TRUE(sim.Wave().Blocks().empty());
    EXPECT_TRUE(window->Enabled(IDOK));
    EXPECT_FALSE(window->Enabled(IDC_STOP));
    EXPECT_EQ(window->Focus(), 0);
    EXPECT_EQ(window->Title(), "Kelvarin");

    ASSERT_TRUE(sim.Click(IDOK));
    sim.Pump();
    EXPECT_EQ(sim.Wave().InFlight(), 60u);
    EXPECT_FALSE(window->Enabled(IDOK));
    EXPECT_TRUE(window->Enabled(IDC_STOP));
}

namespace {

// The simulated files, noting how many blocks were already queued when the program
// first looked at the settings file.
class WatchedFiles final : public platform::FileSystem {
public:
    WatchedFiles(sim::SimPlatform& sim) : sim_(sim), files_(sim.Files()) {}
    std::optional<size_t> blocksAtFirstLook;

    std::string GetCurrentDirectory() override { return files_.GetCurrentDirectory(); }
    char PathSeparator() const override { return files_.PathSeparator(); }
    std::unique_ptr<platform::File> OpenExclusive(const std::string& path,
                                                  platform::OpenMode mode) override {
        Look();
        return files_.OpenExclusive(path, mode);
    }
    bool DeleteFile(const std::string& path) override { return files_.DeleteFile(path); }
    bool Exists(const std::string& path) override {
        Look();
        return files_.Exists(path);
    }
    std::optional<platform::FileStamp> Stamp(const std::string& path) override {
        Look();
        return files_.Stamp(path);
    }
    std::optional<std::string> ReadWholeFile(const std::string& path) override {
        Look();
        return files_.ReadWholeFile(path);
    }
    bool ReplaceWholeFile(const std::string& path, const std::string& contents) override {
        return files_.ReplaceWholeFile(path, contents);
    }

private:
    void Look() {
        if (!blocksAtFirstLook) blocksAtFirstLook = sim_.Wave().Blocks().size();
    }
    sim::SimPlatform& sim_;
    sim::SimFileSystem& files_;
};

}  // namespace

TEST_F(StartupTest, TheOutputStreamsBeforeTheSlidersAreLoaded) {
    sim.Files().SetFile(SettingsPath, "[Kelvarin]\nsl1=40\n");
    WatchedFiles files(sim);
    app::ProgramState watchedState(files);
    app::MainDialog watchedDialog(sim, watchedState);
    sim::SimWindow& opened = sim.Open(watchedDialog);
    EXPECT_EQ(files.blocksAtFirstLook, 60u);
    EXPECT_EQ(opened.SliderPos(IDC_SLIDER_BASE), 60);
    sim.Click(IDC_STOP);
    sim.Pump();
    sim.Wave().CompleteAll();
    sim.Pump();
}

// The process's application object runs the main dialog until the user ends it.
TEST_F(StartupTest, TheApplicationRunsTheMainDialogToItsEnd) {
    sim.SetIdleHook([](sim::SimPlatform& s) { return s.Click(IDC_ABORT); });
    app::ProgramState appState(sim.GetFiles());
    EXPECT_FALSE(app::MainApp(sim, appState).InitInstance());
    ASSERT_EQ(sim.ModalRuns().size(), 1u);
    EXPECT_EQ(sim.ModalRuns()[0], (sim::ModalRun{MainDialogId, IDOK, false}));
}
