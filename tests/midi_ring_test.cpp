// The ring that carries MIDI messages from the MIDI thread to the UI thread.
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "platform/desktop/midi/midi_ring.h"

namespace platform::desktop {
namespace {

TEST(MidiRing, GivesMessagesBackInOrderAcrossTheWrap) {
    MidiRing ring(4);
    uint32_t next = 0;
    uint32_t expected = 0;
    for (int round = 0; round < 10; ++round) {
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(ring.Push(next++));
        uint32_t message = 0;
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(ring.Pop(message));
            EXPECT_EQ(message, expected++);
        }
        EXPECT_FALSE(ring.Pop(message));
    }
}

TEST(MidiRing, AFullRingRefusesTheNewestAndKeepsWhatItHolds) {
    MidiRing ring(5);  // rounded up to 8
    for (uint32_t i = 0; i < 8; ++i) ASSERT_TRUE(ring.Push(i)) << i;
    EXPECT_FALSE(ring.Push(99));
    uint32_t message = 0;
    for (uint32_t i = 0; i < 8; ++i) {
        ASSERT_TRUE(ring.Pop(message));
        EXPECT_EQ(message, i);
    }
    EXPECT_FALSE(ring.Pop(message));
    EXPECT_TRUE(ring.Push(100));  // room again
}

// One writer and one reader on their own threads: every message arrives once, in order.
TEST(MidiRing, AWriterAndAReaderThreadLoseAndReorderNothing) {
    constexpr uint32_t Count = 100000;
    MidiRing ring(64);
    std::thread writer([&] {
        for (uint32_t i = 1; i <= Count;) {
            if (ring.Push(i)) {
                ++i;
            } else {
                std::this_thread::yield();
            }
        }
    });
    std::vector<uint32_t> received;
    received.reserve(Count);
    uint32_t message = 0;
    while (received.size() < Count) {
        if (ring.Pop(message)) {
            received.push_back(message);
        } else {
            std::this_thread::yield();
        }
    }
    writer.join();
    for (uint32_t i = 0; i < Count; ++i) ASSERT_EQ(received[i], i + 1);
    EXPECT_FALSE(ring.Pop(message));
}

}  // namespace
}  // namespace platform::desktop
