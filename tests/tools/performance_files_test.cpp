// Performances read from and written to midi.dat and Standard MIDI Files, with every
// file built here byte by byte and every time worked out from the formats by hand.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "../note_records.h"
#include "tools/performance/midi_dat.h"
#include "tools/performance/performance_file.h"
#include "tools/performance/standard_midi_file.h"

namespace {

using performance::Performance;
using performance::ReadPerformance;
using performance::TimedNote;

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) bytes.push_back(static_cast<char>(v));
    return bytes;
}

std::string BigEndian32(size_t n) {
    return Bytes({static_cast<int>(n >> 24 & 0xFF), static_cast<int>(n >> 16 & 0xFF),
                  static_cast<int>(n >> 8 & 0xFF), static_cast<int>(n & 0xFF)});
}

std::string Chunk(const std::string& type, const std::string& body) {
    return type + BigEndian32(body.size()) + body;
}

std::string Smf(int format, int tracks, int divisionHigh, int divisionLow,
                const std::vector<std::string>& bodies) {
    std::string file = Chunk("MThd", Bytes({0, format, 0, tracks, divisionHigh, divisionLow}));
    for (const std::string& body : bodies) file += Chunk("MTrk", body);
    return file;
}

const std::string EndOfTrack = Bytes({0x00, 0xFF, 0x2F, 0x00});

bool operator==(const TimedNote& a, const TimedNote& b) {
    return a.timeMs == b.timeMs && a.note == b.note && a.velocity == b.velocity;
}

void ExpectEvents(const performance::Reading& reading, const Performance& expected) {
    ASSERT_EQ(reading.error, "");
    ASSERT_EQ(reading.events.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(reading.events[i] == expected[i])
            << "event " << i << ": " << reading.events[i].timeMs << " ms, note "
            << int{reading.events[i].note} << ", velocity " << int{reading.events[i].velocity};
    }
}

// 96 ticks a quarter: at 500,000 us a quarter a tick is 5.208 ms, at 1,000,000 10.417 ms.
TEST(StandardMidiFile, RunningStatusTempoChangesAndSkippedEventsGiveEachNoteItsTime) {
    const std::string track =
        Bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // tempo 500,000
               0x00, 0x90, 60,   100,                     // 0 ms: strike
               0x30, 62,   80,                            // tick 48, running status: 250 ms
               0x00, 0xF0, 0x03, 0x01, 0x02, 0xF7,        // SysEx
               0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40,  // tempo 1,000,000
               0x30, 60,   0,  // tick 96, still Note On, velocity 0: 750 ms
               0x00, 0xFF, 0x01, 0x04, 't',  'e',  'x',
               't',  0x18, 0x85, 62,   64}) +  // tick 120, Note Off, channel 6: 1000 ms
        EndOfTrack;
    std::string file =
        Chunk("MThd", Bytes({0, 0, 0, 1, 0, 96})) + Chunk("XFIH", "ab") + Chunk("MTrk", track);
    ExpectEvents(ReadPerformance(file), {{0, 60, 100}, {250, 62, 80}, {750, 60, 0}, {1000, 62, 0}});
}

// A tempo track, then two note tracks: the tempo map holds for both, and equal times
// keep the tracks' order.
TEST(StandardMidiFile, FormatOneMergesItsTracksUnderOneTempoMap) {
    const std::string tempo =
        Bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,           // 500,000
               0x83, 0x60, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90}) +  // 250,000 at 480
        EndOfTrack;
    const std::string upper =
        Bytes({0x83, 0x60, 0x90, 64, 127, 0x83, 0x60, 0x80, 64, 0}) + EndOfTrack;
    const std::string drums = Bytes({0x00, 0x99, 36, 100, 0x83, 0x60, 0x89, 36, 0}) + EndOfTrack;
    ExpectEvents(ReadPerformance(Smf(1, 3, 0x01, 0xE0, {tempo, upper, drums})),
                 {{0, 36, 100}, {500, 64, 127}, {500, 36, 0}, {750, 64, 0}});
    // An empty last track, whose chunk header ends the file, holds nothing to play.
    ExpectEvents(ReadPerformance(Smf(1, 2, 0x01, 0xE0, {drums, ""})), {{0, 36, 100}, {500, 36, 0}});
}

TEST(StandardMidiFile, SmpteDivisionCountsFramesAndIgnoresTempo) {
    // 25 frames of 40 ticks: one tick a millisecond, whatever the tempo says.
    const std::string ms = Bytes({0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x00, 0x90, 60, 100,
                                  0x87, 0x68, 0x80, 60, 0}) +
                           EndOfTrack;
    ExpectEvents(ReadPerformance(Smf(0, 1, 0xE7, 40, {ms})), {{0, 60, 100}, {1000, 60, 0}});
    // 29 stands for 30000/1001 frames a second: 3000 ticks of 1/100 frame are 1001 ms.
    const std::string drop = Bytes({0x97, 0x38, 0x90, 60, 100}) + EndOfTrack;
    ExpectEvents(ReadPerformance(Smf(0, 1, 0xE3, 100, {drop})), {{1001, 60, 100}});
    // 30 frames of 2 ticks: a tick is 16.67 ms, rounded to 17; 24 frames of 1: 41.67 to 42.
    const std::string one = Bytes({0x01, 0x90, 60, 100}) + EndOfTrack;
    ExpectEvents(ReadPerformance(Smf(0, 1, 0xE2, 2, {one})), {{17, 60, 100}});
    ExpectEvents(ReadPerformance(Smf(0, 1, 0xE8, 1, {one})), {{42, 60, 100}});
}

TEST(StandardMidiFile, TimesRoundToTheNearestMillisecondHalvesUp) {
    // One tick a quarter at 500 us: ticks 1, 2, 3 are 0.5, 1.0 and 1.5 ms.
    const std::string track = Bytes({0x00, 0xFF, 0x51, 0x03, 0x00, 0x01, 0xF4, 0x01, 0x90, 60, 1,
                                     0x01, 61, 1, 0x01, 62, 1}) +
                              EndOfTrack;
    ExpectEvents(ReadPerformance(Smf(0, 1, 0, 1, {track})), {{1, 60, 1}, {1, 61, 1}, {2, 62, 1}});
}

TEST(StandardMidiFile, BrokenFilesAreRefusedWithTheirReason) {
    const std::string good =
        Smf(0, 1, 0, 96, {Bytes({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0}) + EndOfTrack});
    ASSERT_EQ(ReadPerformance(good).error, "");
    // Cut anywhere after "MThd", the file is refused: a chunk then runs past its end.
    for (size_t size = 4; size < good.size(); ++size)
        EXPECT_NE(ReadPerformance(good.substr(0, size)).error, "") << size << " bytes";
    const struct {
        std::string file;
        const char* reason;
    } broken[] = {
        {"", "empty"},
        {Chunk("MThd", Bytes({0, 0, 0, 1, 0})), "fewer than 6"},
        {good.substr(0, 14) + "MTrk" + BigEndian32(100) + Bytes({0x00, 0x90, 60, 100}),
         "past the end"},
        {Smf(0, 2, 0, 96, {EndOfTrack}), "file ends inside a chunk header (track 2 of 2)"},
        {Smf(2, 1, 0, 96, {EndOfTrack}), "format 2"},
        {Smf(0, 1, 0, 0, {EndOfTrack}), "division of 0"},
        {Smf(0, 1, 0xE6, 40, {EndOfTrack}), "26 frames a second"},
        {Smf(0, 1, 0xE7, 0, {EndOfTrack}), "0 ticks per frame"},
        {Smf(0, 1, 0, 96, {Bytes({0x00, 60, 100})}), "no status"},
        {Smf(0, 1, 0, 96, {Bytes({0x00, 0x90, 60})}), "track ends inside an event"},
        {Smf(0, 1, 0, 96, {Bytes({0x00, 0xFF, 0x01, 0x05, 'a'})}), "track ends inside an event"},
        {Smf(0, 1, 0, 96, {Bytes({0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 100})}),
         "past four bytes"},
        {Smf(0, 1, 0, 96, {Bytes({0x00, 0x90, 60, 0x80})}), "above 127"},
        {Smf(0, 1, 0, 96, {Bytes({0x00, 0xF4, 0x00})}), "0xF4"},
        {Smf(0, 1, 0, 96, {Bytes({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1})}), "tempo event of 2 bytes"},
        // 0x0FFFFFFF ticks at 5.2 ms are some 16 days.
        {Smf(0, 1, 0, 96, {Bytes({0x00, 0x90, 61, 100, 0xFF, 0xFF, 0xFF, 0x7F, 0x90, 60, 100})}),
         "more than 24 hours"},
    };
    for (const auto& file : broken) {
        const performance::Reading reading = ReadPerformance(file.file);
        EXPECT_TRUE(reading.events.empty()) << file.reason;
        const std::string error = reading.error;
        EXPECT_NE(error.find(file.reason), std::string::npos)
            << "'" << error << "', not '" << file.reason << "'";
    }
}

TEST(MidiDat, ReadAsTheReplayReadsIt) {
    // Across the tick count's wrap; a record stamped before the one before it sounds
    // right after that one; a partial record at the end is ignored.
    const std::string file = NoteBytes(60, 127, 0xFFFFFF00) + NoteBytes(60, 0, 0x10) +
                             NoteBytes(200, 255, 0x05) + Bytes({61, 127, 0});
    ExpectEvents(ReadPerformance(file), {{0, 60, 127}, {272, 60, 0}, {272, 200, 255}});
    ExpectEvents(ReadPerformance(NoteBytes(1, 1, 7) + NoteBytes(1, 0, 7 + 86400000)),
                 {{0, 1, 1}, {86400000, 1, 0}});
    const performance::Reading tooLong =
        ReadPerformance(NoteBytes(1, 1, 7) + NoteBytes(1, 0, 7 + 86400001));
    EXPECT_NE(tooLong.error.find("more than 24 hours"), std::string::npos);
    EXPECT_TRUE(tooLong.events.empty());
}

TEST(MidiDat, ConvertsToAFormatZeroFileOneTickAMillisecond) {
    const performance::SmfWriting smf = performance::WriteStandardMidiFile(
        {{0, 60, 100}, {200, 60, 0}, {200, 128, 1}, {200, 1, 128}, {16383, 127, 1}});
    const std::string track =
        Bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // 500,000 us a quarter
               0x00, 0x90, 60,   100,                     //
               0x81, 0x48, 0x80, 60,   64,                // 200 ms on
               0xFE, 0x37, 0x90, 127,  1}) +              // 16183 ms on
        EndOfTrack;
    EXPECT_EQ(smf.bytes, Smf(0, 1, 0x01, 0xF4, {track}));  // 500 ticks a quarter
    EXPECT_EQ(smf.leftOut, 2u);
}

TEST(MidiDat, WrittenBackFromAStandardMidiFileKeepsEveryByte) {
    const std::string records = Bytes(
        {60, 100, 0, 0, 0, 0, 0, 0, 60, 0, 0, 0, 0xE8, 0x03, 0, 0, 127, 1, 0, 0, 0xE8, 0x03, 0, 0});
    const performance::Reading dat = ReadPerformance(records);
    const performance::Reading smf =
        ReadPerformance(performance::WriteStandardMidiFile(dat.events).bytes);
    EXPECT_EQ(performance::WriteMidiDat(smf.events), records);
}

}  // namespace
