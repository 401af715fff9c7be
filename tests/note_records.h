#pragma once
// midi.dat as a test builds and reads it: 8-byte records, little-endian, spelt out byte
// by byte here rather than with the program's own encoder.
#include <cstdint>
#include <string>

inline std::string NoteBytes(uint8_t note, uint8_t velocity, uint32_t tick) {
    return {static_cast<char>(note),        static_cast<char>(velocity),
            '\0',                           '\0',
            static_cast<char>(tick & 0xFF), static_cast<char>((tick >> 8) & 0xFF),
            static_cast<char>((tick >> 16) & 0xFF), static_cast<char>(tick >> 24)};
}
