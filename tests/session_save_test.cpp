// A session manager's save, as the dialog gets it: the sliders as they stand are written
// and the program plays on; a file that cannot be written, or a directory that is gone,
// is answered as such, and the next save that can writes every slider.
#include <gtest/gtest.h>

#include "app_fixture.h"

using namespace res;

namespace {

using SessionSaveTest = AppTest;

TEST_F(SessionSaveTest, WritesTheSlidersAsTheyStandAndPlaysOn) {
    Start();
    SetWeight(IDC_SLIDER_2, 40);
    window->DragSlider(IDC_SLIDER_RELEASE, 30);
    EXPECT_EQ(window->SendMessage(platform::WM_SAVESETTINGS, 0, 0), 1);
    EXPECT_EQ(Settings(), "[Kelvarin]\nsl1=100\nsl2=40\nsl3=0\nsl4=0\nslm2=0\nslm3=0\nslm4=0\nsldecrement=70\n");
    EXPECT_FALSE(sim.Ended());
    EXPECT_EQ(sim.Wave().InFlight(), 60u);
    StopAndDrain();
}

TEST_F(SessionSaveTest, AFileThatCannotBeWrittenIsAnsweredAndTheNextSaveWritesItWhole) {
    Start();
    SetWeight(IDC_SLIDER_M2, 25);
    sim.Files().SetUnwritable(SettingsPath);
    EXPECT_EQ(window->SendMessage(platform::WM_SAVESETTINGS, 0, 0), 0);
    EXPECT_FALSE(Settings());
    sim.Files().SetUnwritable(SettingsPath, false);
    EXPECT_EQ(window->SendMessage(platform::WM_SAVESETTINGS, 0, 0), 1);
    EXPECT_EQ(Settings(), "[Kelvarin]\nsl1=100\nsl2=0\nsl3=0\nsl4=0\nslm2=25\nslm3=0\nslm4=0\nsldecrement=90\n");
    StopAndDrain();
}

TEST_F(SessionSaveTest, StartedInADirectorySinceDeletedASaveIsAnsweredAsNotDone) {
    sim.Files().SetCurrentDirectory("");
    testing::internal::CaptureStderr();
    Start();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(window->SendMessage(platform::WM_SAVESETTINGS, 0, 0), 0);
    StopAndDrain();
}

}  // namespace
