#pragma once
// Standard MIDI Files, format 0 or 1.
//
// Reading takes every Note On and Note Off of every track and channel (a Note On at
// velocity 0 is a release), merged in time order, tracks in file order where times are
// equal, with the tempo map of all tracks applied, or the SMPTE division's frames, and
// rounds each time to the nearest millisecond. Running status, meta and SysEx events
// (skipped) and chunks of other kinds (skipped) are all taken; anything truncated or
// malformed refuses the whole file.
//
// Writing makes a format-0 file with one track in which one tick is one millisecond:
// tempo 500,000 us per quarter note at 500 ticks per quarter. Strikes become Note On
// with their velocity on the first channel, releases Note Off. The events lie within
// LongestPerformanceMs of time 0.
#include <cstddef>
#include <string>
#include <string_view>

#include "tools/performance/performance.h"

namespace performance {

// The file begins with the header chunk's "MThd"; midi.dat never does, since a
// record's third and fourth bytes are zero.
bool IsStandardMidiFile(std::string_view bytes);

Reading ReadStandardMidiFile(std::string_view bytes);

struct SmfWriting {
    std::string bytes;
    size_t leftOut;  // events whose note or velocity is above 127, which a file cannot hold
};

SmfWriting WriteStandardMidiFile(const Performance& events);

}  // namespace performance
