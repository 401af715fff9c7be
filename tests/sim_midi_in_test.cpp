// The simulated MIDI input that the program's tests stand on: arranged failures, the
// devices' states, and messages that reach a window only while its device is started.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/sim/sim_midi_in.h"
#include "platform/sim/sim_platform.h"

namespace {

using namespace platform;
using sim::MidiCall;

class SimMidiInTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim.Open(dialog);
        midi.AddDevice("Keys");
    }
    Dialog dialog{res::MainDialogTemplate};
    sim::SimPlatform sim;
    sim::SimMidiIn& midi = sim.Midi();
};

TEST_F(SimMidiInTest, ClearingFailuresDropsThePendingAndTheLastingOnes) {
    midi.FailNext(MidiCall::Open, MMSYSERR_NOMEM);
    midi.FailAlways(MidiCall::Start, MMSYSERR_ERROR);
    midi.ClearFailures();
    MidiInHandle handle = nullptr;
    EXPECT_EQ(midi.Open(handle, 0, sim.Main()), MMSYSERR_NOERROR);
    EXPECT_EQ(midi.Start(handle), MMSYSERR_NOERROR);
}

TEST_F(SimMidiInTest, AFailureUntilClearedHitsEveryCallAndANextOneOnlyOne) {
    midi.FailAlways(MidiCall::GetDevCaps, MMSYSERR_NODRIVER);
    midi.FailNext(MidiCall::Open, MMSYSERR_NOMEM);
    MidiInCaps caps{};
    EXPECT_EQ(midi.GetDevCaps(0, caps), MMSYSERR_NODRIVER);
    EXPECT_EQ(midi.GetDevCaps(0, caps), MMSYSERR_NODRIVER);
    MidiInHandle handle = nullptr;
    EXPECT_EQ(midi.Open(handle, 0, sim.Main()), MMSYSERR_NOMEM);
    EXPECT_EQ(midi.Open(handle, 0, sim.Main()), MMSYSERR_NOERROR);
}

TEST_F(SimMidiInTest, ALongNameIsCutTo31CharactersAndEnded) {
    midi.AddDevice("A keyboard whose name runs on and on past the limit");
    MidiInCaps caps;
    std::memset(&caps, 'x', sizeof caps);
    ASSERT_EQ(midi.GetDevCaps(1, caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.productName[31], '\0');
    EXPECT_STREQ(caps.productName, "A keyboard whose name runs on a");
}

TEST_F(SimMidiInTest, OnlyAStartedDevicePostsAndAnOpenOneCannotOpenTwice) {
    MidiInHandle handle = nullptr;
    ASSERT_EQ(midi.Open(handle, 0, sim.Main()), MMSYSERR_NOERROR);
    MidiInHandle second = nullptr;
    EXPECT_EQ(midi.Open(second, 0, sim.Main()), MMSYSERR_ALLOCATED);
    EXPECT_EQ(midi.Open(second, 1, sim.Main()), MMSYSERR_BADDEVICEID);
    EXPECT_FALSE(midi.Receive(0x90, 60, 100));
    ASSERT_EQ(midi.Start(handle), MMSYSERR_NOERROR);
    EXPECT_TRUE(midi.Receive(0x90, 60, 100));
    ASSERT_EQ(sim.Queue().Size(), 1u);
    const Message& posted = sim.Queue().Pending().front().message;
    EXPECT_EQ(posted.message, MM_MIM_DATA);
    EXPECT_EQ(posted.wParam, reinterpret_cast<WPARAM>(handle));
    EXPECT_EQ(posted.lParam, 0x643C90);
    EXPECT_EQ(midi.Stop(handle), MMSYSERR_NOERROR);
    EXPECT_FALSE(midi.Receive(0x80, 60, 0));
    EXPECT_EQ(midi.Close(handle), MMSYSERR_NOERROR);
    EXPECT_EQ(midi.Close(handle), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(midi.Start(handle), MMSYSERR_INVALHANDLE);
}

}  // namespace
