#pragma once
// The events of an atom sequence as the host wrote them, read only within the size the
// sequence declares: an event whose header or body would run past it ends the walk, so
// a malformed sequence is read no further than its end.
#include <lv2/atom/atom.h>

#include <cstdint>

namespace plugin {

template <class Visit>
void ForEachEvent(const LV2_Atom_Sequence& sequence, Visit visit) {
    const uint64_t size = sequence.atom.size;
    const auto* body = reinterpret_cast<const uint8_t*>(&sequence.body);
    uint64_t offset = sizeof(LV2_Atom_Sequence_Body);
    while (offset + sizeof(LV2_Atom_Event) <= size) {
        const auto* event = reinterpret_cast<const LV2_Atom_Event*>(body + offset);
        if (event->body.size > size - offset - sizeof(LV2_Atom_Event)) return;
        visit(*event);
        offset += (sizeof(LV2_Atom_Event) + event->body.size + 7) & ~uint64_t{7};  // 64-bit aligned
    }
}

}  // namespace plugin
