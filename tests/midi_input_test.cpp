// Opening and closing the MIDI input: the start-up attempt, the two buttons, every
// failure and its status text, the device-index field, and the ways out of the program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

#include "midi_fixture.h"

namespace {

using platform::MmResult;
using sim::MidiCall;
using testing::ElementsAre;
using namespace res;

MmResult const SomeFailures[] = {platform::MMSYSERR_ERROR, platform::MMSYSERR_BADDEVICEID,
                                 platform::MMSYSERR_INVALHANDLE, platform::MMSYSERR_NOMEM};

// --- Start-up ------------------------------------------------------------------------

using MidiStartupTest = MidiTest;

TEST_F(MidiStartupTest, OpensDeviceZeroAndShowsItsName) {
    StartWithDevices({"Keystation 49", "Second keyboard"});
    EXPECT_EQ(sim.Midi().OpenDevice(), 0u);
    EXPECT_TRUE(sim.Midi().IsStarted());
    EXPECT_EQ(Status(), "Keystation 49");
    EXPECT_EQ(window->Text(IDC_MIDI_DEVICE), "0");
    EXPECT_TRUE(ShowsOpen());
    EXPECT_EQ(window->Focus(), IDC_STATUS);
}

TEST_F(MidiStartupTest, WithoutAnyDeviceSaysSoAndShowsDeviceZero) {
    Start();
    EXPECT_EQ(Status(), "MidiInOpen error");
    EXPECT_EQ(window->Text(IDC_MIDI_DEVICE), "0");
    EXPECT_TRUE(ShowsClosed());
    EXPECT_FALSE(sim.Midi().IsOpen());
    EXPECT_EQ(window->Title(), "Kelvarin");  // start-up goes on
}

TEST_F(MidiStartupTest, ComesAfterBothTimersAndBeforeTheTitle) {
    sim.Midi().AddDevice("Keys");
    bool timersRan = false;
    bool titled = true;
    sim.Midi().SetCallHook([&](MidiCall call) {
        if (call != MidiCall::Open) return;
        const sim::SimWindow& opening = *sim.Windows().back();
        timersRan = opening.HasTimer(0) && opening.HasTimer(1);
        titled = !opening.Title().empty();
    });
    Start();
    EXPECT_TRUE(timersRan);
    EXPECT_FALSE(titled);
    EXPECT_TRUE(sim.Midi().IsStarted());
}

TEST_F(MidiStartupTest, ALongDeviceNameShowsItsFirst31Characters) {
    StartWithDevices({"A keyboard whose name runs on and on past the limit"});
    EXPECT_EQ(Status(), "A keyboard whose name runs on a");
}

TEST_F(MidiStartupTest, ALetterThatWouldNotFitWholeIsLeftOut) {
    // 30 letters, then a two-byte Cyrillic letter across the 31-byte limit.
    StartWithDevices({std::string(30, 'k') + "\xD0\x96" + "-keys"});
    EXPECT_EQ(Status(), std::string(30, 'k'));
}

TEST_F(MidiStartupTest, ALongNameWithNoCharacterStartingInItShowsNothing) {
    StartWithDevices({std::string(40, '\x80')});  // bytes that only ever continue a character
    EXPECT_EQ(Status(), "");
    EXPECT_TRUE(ShowsOpen());
}

TEST_F(MidiStartupTest, AFailedNameQueryOpensTheDeviceWithAnEmptyName) {
    sim.Midi().FailNext(MidiCall::GetDevCaps, platform::MMSYSERR_NODRIVER);
    StartWithDevices({"Keys"});
    EXPECT_TRUE(sim.Midi().IsStarted());
    EXPECT_EQ(Status(), "");
    EXPECT_TRUE(ShowsOpen());
}

// --- The buttons and the state they show ----------------------------------------------

using MidiButtonsTest = MidiTest;

TEST_F(MidiButtonsTest, CloseAndOpenAgainSwapTheButtonsEachTime) {
    StartWithDevices({"Keys"});
    Press(IDC_MIDI_CLOSE);
    EXPECT_FALSE(sim.Midi().IsOpen());
    EXPECT_EQ(Status(), "midi close");
    EXPECT_TRUE(ShowsClosed());
    EXPECT_EQ(window->Focus(), IDC_STATUS);
    EXPECT_FALSE(sim.Midi().Receive(0x90, 60, 100));  // nothing listens any more

    Press(IDC_MIDI_OPEN);
    EXPECT_TRUE(sim.Midi().IsStarted());
    EXPECT_EQ(Status(), "Keys");
    EXPECT_TRUE(ShowsOpen());
    EXPECT_EQ(window->Focus(), IDC_STATUS);
}

TEST_F(MidiButtonsTest, OpenWhileOpenAndCloseWhileClosedDoNothing) {
    StartWithDevices({"Keys"});
    const size_t callsBefore = sim.Midi().Calls().size();
    sim.Post(platform::WM_COMMAND, platform::MakeCommand(IDC_MIDI_OPEN, platform::BN_CLICKED));
    sim.Pump();
    EXPECT_EQ(sim.Midi().Calls().size(), callsBefore);
    EXPECT_EQ(Status(), "Keys");
    EXPECT_TRUE(ShowsOpen());

    Press(IDC_MIDI_CLOSE);
    const size_t afterClose = sim.Midi().Calls().size();
    sim.Post(platform::WM_COMMAND, platform::MakeCommand(IDC_MIDI_CLOSE, platform::BN_CLICKED));
    sim.Pump();
    EXPECT_EQ(sim.Midi().Calls().size(), afterClose);
    EXPECT_EQ(Status(), "midi close");
    EXPECT_TRUE(ShowsClosed());
}

TEST_F(MidiButtonsTest, CloseShowsTheFieldsAsLastLoadedNotAsTyped) {
    StartWithDevices({"Keys"});
    window->Type(IDC_MIDI_DEVICE, "5");
    Press(IDC_MIDI_CLOSE);
    EXPECT_EQ(window->Text(IDC_MIDI_DEVICE), "0");
}

// --- Every failure ----------------------------------------------------------------------

class MidiFailureTest : public MidiTest, public testing::WithParamInterface<MmResult> {};

TEST_P(MidiFailureTest, FailedOpenSaysSoAndStaysClosed) {
    sim.Midi().FailNext(MidiCall::Open, GetParam());
    StartWithDevices({"Keys"});
    EXPECT_EQ(Status(), "MidiInOpen error");
    EXPECT_TRUE(ShowsClosed());
    EXPECT_EQ(Calls(MidiCall::Start), 0);
    // Nothing is held: the next press opens the device.
    Press(IDC_MIDI_OPEN);
    EXPECT_EQ(Status(), "Keys");
    EXPECT_TRUE(ShowsOpen());
}

TEST_P(MidiFailureTest, FailedStartClosesTheDeviceAgain) {
    sim.Midi().FailNext(MidiCall::Start, GetParam());
    StartWithDevices({"Keys"});
    EXPECT_EQ(Status(), "MidiInStart error");
    EXPECT_TRUE(ShowsClosed());
    EXPECT_FALSE(sim.Midi().IsOpen());
    EXPECT_EQ(Calls(MidiCall::Close), 1);
    Press(IDC_MIDI_OPEN);
    EXPECT_TRUE(sim.Midi().IsStarted());
    EXPECT_TRUE(ShowsOpen());
}

TEST_P(MidiFailureTest, FailedStopKeepsTheDeviceOpenAndPlayingUntilCloseIsTriedAgain) {
    StartWithDevices({"Keys"});
    sim.Midi().FailNext(MidiCall::Stop, GetParam());
    Press(IDC_MIDI_CLOSE);
    EXPECT_EQ(Status(), "Ошибка midiInStop");
    EXPECT_TRUE(ShowsOpen());
    EXPECT_EQ(Calls(MidiCall::Close), 0);
    Receive(0x90, 60, 100);
    EXPECT_EQ(Log(), "9,0\t60\t100\t0\r\n");

    Press(IDC_MIDI_CLOSE);
    EXPECT_EQ(Status(), "midi close");
    EXPECT_TRUE(ShowsClosed());
    EXPECT_FALSE(sim.Midi().IsOpen());
}

TEST_P(MidiFailureTest, FailedCloseSaysSoAndForgetsTheDevice) {
    StartWithDevices({"Keys", "Pads"});
    sim.Midi().FailNext(MidiCall::Close, GetParam());
    Press(IDC_MIDI_CLOSE);
    EXPECT_EQ(Status(), "Ошибка midiInClose");
    EXPECT_TRUE(ShowsClosed());
    EXPECT_EQ(window->Focus(), IDC_STATUS);
    // The handle is gone, so "Midi Open" opens anew: device 0 is still held by the
    // system, device 1 is free.
    Press(IDC_MIDI_OPEN);
    EXPECT_EQ(Status(), "MidiInOpen error");
    window->Type(IDC_MIDI_DEVICE, "1");
    Press(IDC_MIDI_OPEN);
    EXPECT_EQ(Status(), "Pads");
    EXPECT_TRUE(ShowsOpen());
}

INSTANTIATE_TEST_SUITE_P(EveryResult, MidiFailureTest, testing::ValuesIn(SomeFailures));

// --- The device-index field ----------------------------------------------------------------

class MidiDeviceIndexTest : public MidiTest,
                            public testing::WithParamInterface<std::tuple<const char*, uint32_t, const char*>> {};

TEST_P(MidiDeviceIndexTest, TheTypedNumberIsReadLikeAtoiAndShownAsUsed) {
    const auto [typed, device, shown] = GetParam();
    Start();  // no devices: every open fails, which keeps the field as parsed
    window->Type(IDC_MIDI_DEVICE, typed);
    Press(IDC_MIDI_OPEN);
    const auto& calls = sim.Midi().Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], (sim::MidiCallRecord{MidiCall::GetDevCaps, device}));
    EXPECT_EQ(calls.back(), (sim::MidiCallRecord{MidiCall::Open, device}));
    EXPECT_EQ(window->Text(IDC_MIDI_DEVICE), shown);
    EXPECT_EQ(state->MidiDeviceIndex, static_cast<int32_t>(device));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MidiDeviceIndexTest,
    testing::Values(std::make_tuple(" 3abc", 3u, "3"), std::make_tuple("", 0u, "0"),
                    std::make_tuple("keys", 0u, "0"), std::make_tuple("+12", 12u, "12"),
                    std::make_tuple("007", 7u, "7"), std::make_tuple("-1", 0xFFFFFFFFu, "-1"),
                    std::make_tuple("-2147483648", 0x80000000u, "-2147483648")));

TEST_F(MidiDeviceIndexTest, TheChosenDeviceOpensByItsNumber) {
    StartWithDevices({"Keys", "Pads", "Drums"});
    Press(IDC_MIDI_CLOSE);
    window->Type(IDC_MIDI_DEVICE, " 2 drums");
    Press(IDC_MIDI_OPEN);
    EXPECT_EQ(sim.Midi().OpenDevice(), 2u);
    EXPECT_EQ(Status(), "Drums");
    EXPECT_EQ(window->Text(IDC_MIDI_DEVICE), "2");
}

// --- Leaving the program -------------------------------------------------------------------

class MidiShutdownTest : public MidiTest {
protected:
    // Notes whether the dialog had already ended when the device was closed.
    void WatchTheClose() {
        sim.Midi().SetCallHook([this](MidiCall call) {
            if (call == MidiCall::Close) endedAtClose = sim.Ended();
        });
    }
    bool endedAtClose = true;
};

TEST_F(MidiShutdownTest, CloseButtonClosesTheDeviceAfterTheDrainAndBeforeTheEnd) {
    StartWithDevices({"Keys"});
    WatchTheClose();
    Press(IDC_CLOSE);
    EXPECT_TRUE(sim.Midi().IsStarted());  // the queue drains first
    Complete(sim.Wave().InFlight());
    EXPECT_TRUE(sim.Ended());
    EXPECT_FALSE(sim.Midi().IsOpen());
    EXPECT_FALSE(endedAtClose);
    EXPECT_THAT(std::vector(sim.Midi().Calls().end() - 2, sim.Midi().Calls().end()),
                ElementsAre(sim::MidiCallRecord{MidiCall::Stop, 0}, sim::MidiCallRecord{MidiCall::Close, 0}));
    EXPECT_TRUE(Settings().has_value());
}

TEST_F(MidiShutdownTest, AbortClosesTheDeviceAtOnceAndEnds) {
    StartWithDevices({"Keys"});
    WatchTheClose();
    Press(IDC_ABORT);
    EXPECT_TRUE(sim.Ended());
    EXPECT_FALSE(sim.Midi().IsOpen());
    EXPECT_FALSE(endedAtClose);
    EXPECT_FALSE(Settings().has_value());
}

TEST_F(MidiShutdownTest, LeavingWithoutADeviceTouchesNone) {
    Start();
    const size_t calls = sim.Midi().Calls().size();
    Press(IDC_ABORT);
    EXPECT_TRUE(sim.Ended());
    EXPECT_EQ(sim.Midi().Calls().size(), calls);
}

}  // namespace
