// What an incoming MIDI message does: one line in the log, whose tenth line clears it,
// and Note On / Note Off on the voices; Active Sensing leaves no trace.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "midi_fixture.h"

namespace {

using namespace res;
using platform::MM_MIM_DATA;
using testing::ElementsAreArray;

constexpr uint8_t ActiveSensing = 0xFE;

std::vector<std::string> Lines(const std::string& log) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(log.substr(start, end - start));
    EXPECT_EQ(start, log.size()) << "the log does not end in CR LF: " << log;
    return lines;
}

// A Control Change whose value tells the messages apart: "11,0<TAB>1<TAB>value<TAB>0".
std::string ControlLine(int value) { return "11,0\t1\t" + std::to_string(value) + "\t0"; }

class MidiLogTest : public MidiTest {
protected:
    void SetUp() override { StartWithDevices({"Keys"}); }
    void SendControls(int first, int last) {
        for (int value = first; value <= last; ++value) Receive(0xB0, 1, static_cast<uint8_t>(value));
    }
    std::vector<std::string> ControlLines(int first, int last) {
        std::vector<std::string> lines;
        for (int value = first; value <= last; ++value) lines.push_back(ControlLine(value));
        return lines;
    }
};

// --- The line of each kind of message ------------------------------------------------------

class MidiLogLineTest : public MidiLogTest,
                        public testing::WithParamInterface<std::tuple<uint32_t, const char*>> {};

TEST_P(MidiLogLineTest, ShowsKindCommaChannelThenTheDataBytes) {
    const auto [packed, line] = GetParam();
    ASSERT_TRUE(sim.Midi().Receive(packed));
    sim.Pump();
    EXPECT_EQ(Log(), std::string(line) + "\r\n");
    EXPECT_EQ(state->MidiMessageCount, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, MidiLogLineTest,
    testing::Values(std::make_tuple(0x643C90u, "9,0\t60\t100\t0"),      // Note On, first channel
                    std::make_tuple(0x403C8Fu, "8,15\t60\t64\t0"),      // Note Off, last channel
                    std::make_tuple(0x7F07B9u, "11,9\t7\t127\t0"),      // Control Change
                    std::make_tuple(0x0005C3u, "12,3\t5\t0\t0"),        // Program Change
                    std::make_tuple(0x2AD4u, "13,4\t42\t0\t0"),         // channel aftertouch
                    std::make_tuple(0x503DA2u, "10,2\t61\t80\t0"),      // key aftertouch
                    std::make_tuple(0x4000EEu, "14,14\t0\t64\t0"),      // Pitch Bend
                    std::make_tuple(0xF8u, "15,8\t0\t0\t0"),            // Timing Clock
                    std::make_tuple(0xFAu, "15,10\t0\t0\t0"),           // Start
                    std::make_tuple(0x0A643C95u, "9,5\t60\t100\t10"))); // the unused fourth byte

TEST_F(MidiLogTest, EveryMessageAlsoReachesDefaultProcessing) {
    Receive(0x90, 60, 100);
    Receive(ActiveSensing);
    int passedOn = 0;
    for (const auto& message : window->DefaultProcessed()) passedOn += message.message == MM_MIM_DATA;
    EXPECT_EQ(passedOn, 2);
}

TEST_F(MidiLogTest, ActiveSensingLeavesNoTrace) {
    Receive(0x90, 60, 100);
    const std::string log = Log();
    const synth::Voice before = Engine().VoiceTable[60];
    for (int i = 0; i < 30; ++i) Receive(ActiveSensing, 60, 0);
    EXPECT_EQ(Log(), log);
    EXPECT_EQ(state->MidiMessageCount, 1);
    EXPECT_EQ(Engine().VoiceTable[60].level, before.level);
    EXPECT_EQ(Engine().VoiceTable[60].releaseStep, 0.0);
}

// --- The clearing rhythm ----------------------------------------------------------------------

TEST_F(MidiLogTest, EveryTenthMessageClearsTheLogBeforeItsLine) {
    for (int k = 1; k <= 25; ++k) {
        SendControls(k, k);
        const int first = k < 10 ? 1 : k / 10 * 10;
        ASSERT_THAT(Lines(Log()), ElementsAreArray(ControlLines(first, k))) << "after message " << k;
    }
    EXPECT_EQ(state->MidiMessageCount, 25);
}

TEST_F(MidiLogTest, TheRhythmGoesOnAcrossACloseAndReopen) {
    SendControls(1, 7);
    Press(IDC_MIDI_CLOSE);
    Press(IDC_MIDI_OPEN);
    SendControls(8, 9);
    EXPECT_THAT(Lines(Log()), ElementsAreArray(ControlLines(1, 9)));
    SendControls(10, 12);
    EXPECT_THAT(Lines(Log()), ElementsAreArray(ControlLines(10, 12)));
}

TEST_F(MidiLogTest, ActiveSensingDoesNotAdvanceTheRhythm) {
    for (int value = 1; value <= 9; ++value) {
        Receive(ActiveSensing);
        SendControls(value, value);
        Receive(ActiveSensing);
    }
    EXPECT_THAT(Lines(Log()), ElementsAreArray(ControlLines(1, 9)));
    SendControls(10, 10);
    EXPECT_THAT(Lines(Log()), ElementsAreArray(ControlLines(10, 10)));
}

TEST_F(MidiLogTest, AMessageQueuedBeforeTheCloseIsStillLogged) {
    ASSERT_TRUE(sim.Midi().Receive(0x90, 64, 90));
    window->SendMessage(platform::WM_COMMAND, platform::MakeCommand(IDC_MIDI_CLOSE, platform::BN_CLICKED), 0);
    EXPECT_FALSE(sim.Midi().IsOpen());
    sim.Pump();
    EXPECT_EQ(Log(), "9,0\t64\t90\t0\r\n");
    EXPECT_EQ(Engine().VoiceTable[64].active, 1);
}

// --- Notes ---------------------------------------------------------------------------------------

TEST_F(MidiLogTest, NoteOnStrikesAtAmplitudeTimesVelocityOnAnyChannel) {
    Receive(0x90, 60, 127);
    Receive(0x9F, 72, 64);
    EXPECT_EQ(Engine().VoiceTable[60].active, 1);
    EXPECT_DOUBLE_EQ(Engine().VoiceTable[60].level, 4000.0);
    EXPECT_DOUBLE_EQ(Engine().VoiceTable[72].level, 4000.0 * 64 / 127);
    EXPECT_EQ(Engine().VoiceTable[61].active, 0);
}

TEST_F(MidiLogTest, NoteOnWithVelocityZeroAndNoteOffWithAnyVelocityRelease) {
    Tick();  // the release slider's step reaches the engine
    const double release = Engine().NoteOffRelease;
    ASSERT_NE(release, 0.0);
    Receive(0x90, 60, 100);
    Receive(0x93, 62, 100);
    Receive(0x90, 60, 0);
    Receive(0x83, 62, 127);
    for (int note : {60, 62}) {
        EXPECT_EQ(Engine().VoiceTable[note].releaseStep, release) << note;
        EXPECT_GT(Engine().VoiceTable[note].level, 0.0) << note;  // it fades, not stops
    }
}

TEST_F(MidiLogTest, ANoteTakesTheFieldsAsTypedAndLeavesThemAsTyped) {
    ASSERT_TRUE(window->Type(IDC_AMPLITUDE, "2540"));
    ASSERT_TRUE(window->Type(IDC_MIDI_DEVICE, "7"));
    Receive(0x90, 60, 127);
    EXPECT_DOUBLE_EQ(Engine().VoiceTable[60].level, 2540.0);
    EXPECT_EQ(window->Text(IDC_AMPLITUDE), "2540");
    EXPECT_EQ(window->Text(IDC_MIDI_DEVICE), "7");
}

TEST_F(MidiLogTest, OtherMessagesPlayNothing) {
    Receive(0xB0, 60, 100);
    Receive(0xA0, 60, 100);
    Receive(0xF8, 60, 100);
    for (const synth::Voice& voice : Engine().VoiceTable) ASSERT_EQ(voice.active, 0);
}

TEST_F(MidiLogTest, WhileTheOutputIsClosedNotesAreLoggedButSilent) {
    StopAndDrain();
    ASSERT_FALSE(sim.Wave().IsOpen());
    Receive(0x90, 60, 100);
    EXPECT_EQ(Log(), "9,0\t60\t100\t0\r\n");
    EXPECT_EQ(Engine().VoiceTable[60].active, 0);
    EXPECT_EQ(Engine().VoiceTable[60].level, 0.0);
}

}  // namespace
