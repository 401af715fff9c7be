#pragma once
// A file holding a performance, told by its content: a Standard MIDI File begins with
// its header chunk, anything else is taken for a midi.dat.
#include <string_view>

#include "tools/performance/performance.h"

namespace performance {

enum class FileKind { MidiDat, StandardMidiFile };

FileKind KindOf(std::string_view bytes);

// An empty file is refused: it holds neither kind.
Reading ReadPerformance(std::string_view bytes);

}  // namespace performance
