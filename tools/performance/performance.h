#pragma once
// A performance: the note events of a recording or of a Standard MIDI File in the order
// they sound, each at its time in milliseconds. The readers give a reason instead of
// events when a file cannot be read.
#include <cstdint>
#include <string>
#include <vector>

namespace performance {

struct TimedNote {
    uint32_t timeMs;  // never less than the time of the event before
    uint8_t note;
    uint8_t velocity;  // 0 releases the note, anything else strikes it
};

using Performance = std::vector<TimedNote>;

// Nothing real lasts longer: a file whose events span more is taken for corrupt
// rather than rendered for days. A day also fits every time a Standard MIDI File's
// delta can carry in one tick a millisecond.
constexpr uint32_t LongestPerformanceMs = 24u * 60 * 60 * 1000;

struct Reading {
    Performance events;
    std::string error;  // why the file cannot be read; empty when it was
};

}  // namespace performance
