#pragma once
// midi.dat, the program's recording, as its replay reads it: whole records only (stray
// bytes after the last one are ignored), times as offsets from the first record modulo
// 2^32, and a record stamped earlier than the one before it sounding right after that
// one, as the replay applies records in file order.
#include <string>
#include <string_view>

#include "tools/performance/performance.h"

namespace performance {

Reading ReadMidiDat(std::string_view bytes);

// One record per event, stamped with the event's time.
std::string WriteMidiDat(const Performance& events);

}  // namespace performance
