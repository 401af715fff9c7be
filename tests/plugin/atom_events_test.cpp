// The walk over an atom sequence as hosts write it, and as a careless one might: every
// event inside the size the sequence declares is read, whatever its body's length,
// whether the last one is padded and whether the events are 64-bit aligned, and none
// that would run past that size.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "plugin/atom_events.h"

namespace {

// A sequence built byte by byte: events are appended with their bodies padded to 64
// bits, but the declared size may stop short of the last padding or of the last body.
class Sequence {
public:
    Sequence() : bytes_(sizeof(LV2_Atom_Sequence), 0) {}
    Sequence& Add(int64_t frame, std::vector<uint8_t> body, uint32_t claimed = 0) {
        LV2_Atom_Event event{};
        event.time.frames = frame;
        event.body = {claimed ? claimed : static_cast<uint32_t>(body.size()), 7};
        const size_t at = bytes_.size();
        bytes_.resize(at + sizeof event + (body.size() + 7) / 8 * 8, 0);
        std::memcpy(bytes_.data() + at, &event, sizeof event);
        if (!body.empty()) std::memcpy(bytes_.data() + at + sizeof event, body.data(), body.size());
        declared_ = bytes_.size();
        unpadded_ = at + sizeof event + body.size();
        return *this;
    }
    // The frames of the events the walk reads, with the size declared up to the end of
    // the last body (unpadded) or of its padding, less cut bytes. The sequence lies 4
    // bytes past a 64-bit boundary, as some hosts (jalv 1.6) put theirs.
    std::vector<int64_t> Walk(bool padded = true, size_t cut = 0) {
        std::vector<uint64_t> aligned((bytes_.size() + 4 + 7) / 8);
        auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(reinterpret_cast<uint8_t*>(aligned.data()) + 4);
        std::memcpy(sequence, bytes_.data(), bytes_.size());
        sequence->atom.size = static_cast<uint32_t>((padded ? declared_ : unpadded_) - cut - sizeof(LV2_Atom));
        std::vector<int64_t> frames;
        plugin::ForEachEvent(*sequence, [&](const plugin::AtomEvent& event) { frames.push_back(event.frames); });
        return frames;
    }

private:
    std::vector<uint8_t> bytes_;
    size_t declared_ = sizeof(LV2_Atom_Sequence);
    size_t unpadded_ = sizeof(LV2_Atom_Sequence);
};

TEST(AtomEvents, EveryEventWithinTheDeclaredSizeIsReadAndNoneBeyond) {
    const std::vector<uint8_t> note = {0x90, 60, 100};
    const std::vector<uint8_t> sysex = {0xF0, 1, 2, 3, 4, 5, 6, 0xF7};  // a body of exactly 64 bits
    using Frames = std::vector<int64_t>;
    EXPECT_EQ(Sequence().Walk(), Frames{});
    EXPECT_EQ(Sequence().Add(1, note).Add(2, sysex).Add(3, note).Add(4, {}).Walk(), (Frames{1, 2, 3, 4}));
    EXPECT_EQ(Sequence().Add(1, note).Add(2, note).Walk(false), (Frames{1, 2}));
    // The last body cut short by one byte, or a header that does not fit.
    EXPECT_EQ(Sequence().Add(1, note).Add(2, note).Walk(false, 1), Frames{1});
    EXPECT_EQ(Sequence().Add(1, note).Add(2, {}).Walk(true, 1), Frames{1});
    // The last event claims a body longer than the sequence holds.
    EXPECT_EQ(Sequence().Add(1, note).Add(2, note, 9).Walk(), Frames{1});
    EXPECT_EQ(Sequence().Add(1, note).Add(2, note, 0xFFFFFFFF).Walk(), Frames{1});
}

}  // namespace
