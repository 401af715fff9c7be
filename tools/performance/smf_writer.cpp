// Writing a performance as a format-0 Standard MIDI File, one tick a millisecond.
#include <cstdint>

#include "tools/performance/standard_midi_file.h"

namespace performance {

namespace {

constexpr uint16_t TicksPerQuarter = 500;
constexpr uint32_t UsPerQuarter = 500000;  // with 500 ticks a quarter: 1000 us a tick
constexpr uint8_t NoteOffOnFirstChannel = 0x80;
constexpr uint8_t NoteOnOnFirstChannel = 0x90;
constexpr uint8_t ReleaseVelocity = 64;  // the usual Note Off velocity of keyboards without one
constexpr uint8_t HighestDataByte = 127;

void BigEndian(std::string& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>(value >> (8 * i)));
}

void VarLen(std::string& out, uint32_t value) {
    int groups = 1;
    while (groups < 4 && value >> (7 * groups)) ++groups;  // a day of milliseconds fits 4
    for (int i = groups - 1; i >= 0; --i)
        out.push_back(static_cast<char>((value >> (7 * i) & 0x7F) | (i > 0 ? 0x80 : 0)));
}

}  // namespace

SmfWriting WriteStandardMidiFile(const Performance& events) {
    std::string track;
    VarLen(track, 0);
    track += "\xFF\x51\x03";
    BigEndian(track, UsPerQuarter, 3);
    size_t leftOut = 0;
    uint32_t previous = 0;
    for (const TimedNote& event : events) {
        if (event.note > HighestDataByte || event.velocity > HighestDataByte) {
            ++leftOut;
            continue;
        }
        VarLen(track, event.timeMs - previous);
        previous = event.timeMs;
        const bool strike = event.velocity != 0;
        track.push_back(static_cast<char>(strike ? NoteOnOnFirstChannel : NoteOffOnFirstChannel));
        track.push_back(static_cast<char>(event.note));
        track.push_back(static_cast<char>(strike ? event.velocity : ReleaseVelocity));
    }
    VarLen(track, 0);
    track += std::string_view("\xFF\x2F\x00", 3);

    std::string file = "MThd";
    BigEndian(file, 6, 4);
    BigEndian(file, 0, 2);  // format 0
    BigEndian(file, 1, 2);  // one track
    BigEndian(file, TicksPerQuarter, 2);
    file += "MTrk";
    BigEndian(file, static_cast<uint32_t>(track.size()), 4);
    file += track;
    return {std::move(file), leftOut};
}

}  // namespace performance
