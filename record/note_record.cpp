#include "record/note_record.h"

namespace record {

std::array<uint8_t, NoteRecordSize> EncodeNoteRecord(const NoteRecord& record) {
    return {record.note,
            record.velocity,
            0,
            0,
            static_cast<uint8_t>(record.tick),
            static_cast<uint8_t>(record.tick >> 8),
            static_cast<uint8_t>(record.tick >> 16),
            static_cast<uint8_t>(record.tick >> 24)};
}

NoteRecord DecodeNoteRecord(const uint8_t* bytes) {
    const uint32_t tick = static_cast<uint32_t>(bytes[4]) | static_cast<uint32_t>(bytes[5]) << 8 |
                          static_cast<uint32_t>(bytes[6]) << 16 |
                          static_cast<uint32_t>(bytes[7]) << 24;
    return {bytes[0], bytes[1], tick};
}

}  // namespace record
