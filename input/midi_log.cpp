#include "input/midi_log.h"

#include <cstdio>

namespace input {

std::string FormatMidiLogLine(uint32_t packed) {
    const auto byte = [packed](int index) { return static_cast<int>((packed >> (8 * index)) & 0xFF); };
    char line[32];  // at most "15,15\t255\t255\t255"
    std::snprintf(line, sizeof line, "%i,%i\t%i\t%i\t%i", byte(0) >> 4, byte(0) & 0x0F, byte(1),
                  byte(2), byte(3));
    return line;
}

}  // namespace input
