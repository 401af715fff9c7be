#include "tools/performance/midi_dat.h"

#include <algorithm>

#include "record/note_record.h"

namespace performance {

Reading ReadMidiDat(std::string_view bytes) {
    Reading reading;
    const size_t records = bytes.size() / record::NoteRecordSize;
    const auto recordAt = [&](size_t i) {
        return record::DecodeNoteRecord(reinterpret_cast<const uint8_t*>(bytes.data()) +
                                        i * record::NoteRecordSize);
    };
    uint32_t previous = 0;
    for (size_t i = 0; i < records; ++i) {
        const record::NoteRecord next = recordAt(i);
        const uint32_t offset = next.tick - recordAt(0).tick;
        if (offset > LongestPerformanceMs) {
            reading.events.clear();
            reading.error = "record " + std::to_string(i + 1) + " comes " + std::to_string(offset) +
                            " ms after the first, more than 24 hours";
            return reading;
        }
        previous = std::max(previous, offset);
        reading.events.push_back({previous, next.note, next.velocity});
    }
    return reading;
}

std::string WriteMidiDat(const Performance& events) {
    std::string bytes;
    bytes.reserve(events.size() * record::NoteRecordSize);
    for (const TimedNote& event : events) {
        const auto encoded = record::EncodeNoteRecord({event.note, event.velocity, event.timeMs});
        bytes.append(encoded.begin(), encoded.end());
    }
    return bytes;
}

}  // namespace performance
