#pragma once
// One line of the MIDI message log, from a packed short message: the message kind
// (status >> 4) and the channel joined by a comma, then data 1, data 2 and the unused
// fourth byte, separated by tabs. The line break is not part of the line.
#include <cstdint>
#include <string>
#include <string_view>

namespace input {

constexpr std::string_view MidiLogLineBreak = "\r\n";
constexpr uint8_t ActiveSensing = 0xFE;
constexpr uint8_t NoteOnKind = 0x90;
constexpr uint8_t NoteOffKind = 0x80;
constexpr uint8_t ControlChangeKind = 0xB0;
// Every tenth logged message empties the log before it is added.
constexpr int32_t MidiLogClearEvery = 10;

std::string FormatMidiLogLine(uint32_t packed);

}  // namespace input
