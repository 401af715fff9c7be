// The window's own commands: the About box, hiding, system close, and the messages
// that must change nothing.
#include "app_fixture.h"

using namespace res;
using namespace platform;

class WindowCommandsTest : public AppTest {
protected:
    void SetUp() override { Start(); }
    int AboutBoxesShown() {
        int shown = 0;
        for (const auto& run : sim.ModalRuns()) shown += run.templateId == AboutDialogId;
        return shown;
    }
};

TEST_F(WindowCommandsTest, SystemCommands0x10To0x1FOpenTheAboutBox) {
    for (WPARAM code = 0x0010; code <= 0x001F; ++code) sim.SysCommand(code);
    sim.SysCommand(0x0020);
    sim.Pump();
    EXPECT_EQ(AboutBoxesShown(), 16);
    EXPECT_FALSE(sim.Ended());
}

TEST_F(WindowCommandsTest, StreamingGoesOnWhileTheAboutBoxIsUp) {
    int idleCalls = 0;
    sim.SetIdleHook([&](sim::SimPlatform& s) {
        if (++idleCalls > 5) return false;  // then the user presses OK
        s.Wave().CompleteBlocks(1);
        return true;
    });
    sim.SysCommand(0x0010);
    sim.Pump();
    EXPECT_EQ(AboutBoxesShown(), 1);
    EXPECT_EQ(sim.Wave().Blocks().size(), 65u);
    EXPECT_EQ(sim.Wave().InFlight(), 60u);
}

TEST_F(WindowCommandsTest, TheAboutBoxEndsWithOkOrWithItsCloseBox) {
    for (const auto& [closing, result] : {std::pair{WM_COMMAND, IDOK}, {WM_CLOSE, IDCANCEL}}) {
        bool done = false;
        sim.SetIdleHook([&, closing = closing](sim::SimPlatform& s) {
            if (done) return false;
            done = true;
            if (closing == WM_COMMAND)
                s.Top().Click(IDOK);
            else
                s.Top().Post(WM_CLOSE);
            return true;
        });
        sim.SysCommand(0x0010);
        sim.Pump();
        ASSERT_FALSE(sim.ModalRuns().empty());
        EXPECT_EQ(sim.ModalRuns().back(), (sim::ModalRun{AboutDialogId, result, false}));
    }
    EXPECT_FALSE(sim.Ended());
}

TEST_F(WindowCommandsTest, SystemCloseIsACloseRequestThatSaves) {
    sim.SysCommand(SC_CLOSE);
    sim.Pump();
    EXPECT_FALSE(sim.Ended());  // the queue drains first
    Complete(60);
    EXPECT_TRUE(sim.Ended());
    EXPECT_TRUE(Settings().has_value());
}

TEST_F(WindowCommandsTest, HideCommandHidesAndTheNextRunStaysHidden) {
    EXPECT_FALSE(sim.Click(IDC_HIDE));  // disabled on screen
    sim.Pump();
    EXPECT_TRUE(window->Shown());
    sim.Post(WM_COMMAND, MakeCommand(IDC_HIDE, BN_CLICKED));
    sim.Pump();
    EXPECT_FALSE(window->Shown());
    EXPECT_NE(Settings().value_or("").find("HideWindow=1"), std::string::npos);
    Tick();
    EXPECT_FALSE(window->Shown());

    sim.Click(IDC_ABORT);
    sim.Pump();
    Start();  // the next run
    EXPECT_FALSE(window->Shown());
}

TEST_F(WindowCommandsTest, MovingTheWindowChangesNothing) {
    const size_t defaults = window->DefaultProcessed().size();
    sim.Post(WM_MOVE, 0, MakePointLParam(40, 50));
    sim.Pump();
    EXPECT_EQ(window->DefaultProcessed().size(), defaults);
    EXPECT_FALSE(sim.Ended());
}

TEST_F(WindowCommandsTest, CancelEndsAtOnceWithoutSaving) {
    sim.Post(WM_COMMAND, MakeCommand(IDCANCEL, BN_CLICKED));
    sim.Pump();
    EXPECT_TRUE(sim.Ended());
    EXPECT_EQ(sim.Result(), IDCANCEL);
    EXPECT_FALSE(Settings().has_value());
}

TEST_F(WindowCommandsTest, SessionEndSavesTheSlidersAtOnceWithoutDraining) {
    window->DragSlider(IDC_SLIDER_2, 30);
    sim.Post(WM_ENDSESSION, 0);  // the session goes on after all
    sim.Pump();
    EXPECT_FALSE(sim.Ended());
    EXPECT_FALSE(Settings().has_value());

    sim.Post(WM_ENDSESSION, 1);
    sim.Pump();
    EXPECT_TRUE(sim.Ended());
    EXPECT_EQ(sim.Wave().InFlight(), 60u);  // the process ends with them
    EXPECT_NE(Settings().value_or("").find("sl2=70"), std::string::npos) << Settings().value_or("");
}

// "Abort" first takes in every field; a numeric field that holds no number stops it,
// an empty one included, as it stops every handler that reads the fields.
TEST_F(WindowCommandsTest, AbortWaitsWhileANumericFieldHoldsNoNumber) {
    for (const char* text : {"", "x", "1e999"}) {
        window->SetDlgItemText(IDC_FREQ, text);
        window->Click(IDC_ABORT);
        sim.Pump();
        EXPECT_FALSE(sim.Ended()) << "Freq held \"" << text << "\"";
    }
    window->SetDlgItemText(IDC_FREQ, "12.5");
    window->Click(IDC_ABORT);
    sim.Pump();
    EXPECT_TRUE(sim.Ended());
}
