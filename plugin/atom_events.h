#pragma once
// The events of an atom sequence as the host wrote them, read only within the size the
// sequence declares: an event whose header or body would run past it ends the walk, so
// a malformed sequence is read no further than its end. Headers are copied out, since
// some hosts align a sequence's events to 4 bytes only, less than their 64-bit time asks.
#include <lv2/atom/atom.h>

#include <cstdint>
#include <cstring>

namespace plugin {

struct AtomEvent {
    int64_t frames;
    uint32_t type;
    uint32_t size;
    const uint8_t* body;
};

template <class Visit>
void ForEachEvent(const LV2_Atom_Sequence& sequence, Visit visit) {
    const uint64_t size = sequence.atom.size;
    const auto* body = reinterpret_cast<const uint8_t*>(&sequence.body);
    uint64_t offset = sizeof(LV2_Atom_Sequence_Body);
    while (offset + sizeof(LV2_Atom_Event) <= size) {
        LV2_Atom_Event header;
        std::memcpy(&header, body + offset, sizeof header);
        if (header.body.size > size - offset - sizeof header) return;
        visit(AtomEvent{header.time.frames, header.body.type, header.body.size, body + offset + sizeof header});
        offset += (sizeof header + header.body.size + 7) & ~uint64_t{7};  // events are 64-bit aligned
    }
}

}  // namespace plugin
