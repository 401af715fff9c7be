#pragma once
// One note event of midi.dat: 8 bytes, little-endian, no header and no count in the
// file, record n at byte 8n.
//   0  note      the voice index
//   1  velocity  0 releases, 1..255 strikes
//   2  2 bytes   reserved, written as 0
//   4  tick      the millisecond tick count when the event happened
#include <array>
#include <cstddef>
#include <cstdint>

namespace record {

struct NoteRecord {
    uint8_t note;
    uint8_t velocity;
    uint32_t tick;
};

constexpr size_t NoteRecordSize = 8;

std::array<uint8_t, NoteRecordSize> EncodeNoteRecord(const NoteRecord& record);
// bytes holds at least NoteRecordSize bytes; the reserved ones are ignored.
NoteRecord DecodeNoteRecord(const uint8_t* bytes);

}  // namespace record
