// The handover of samples between the UI thread and the audio thread: the FIFO that
// the audio thread reads, and the queue of blocks that feeds it and says which have played.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "platform/desktop/audio/block_queue.h"
#include "platform/desktop/audio/sample_fifo.h"

namespace platform::desktop {
namespace {

std::vector<uint8_t> LittleEndian(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes;
    for (const int16_t sample : samples) {
        const auto bits = static_cast<uint16_t>(sample);
        bytes.push_back(static_cast<uint8_t>(bits & 0xFF));
        bytes.push_back(static_cast<uint8_t>(bits >> 8));
    }
    return bytes;
}

TEST(SampleFifo, TheAudioThreadGetsEverySampleInOrderAndSilencePastTheEnd) {
    auto fifo = std::make_unique<SampleFifo>();
    constexpr size_t Total = 3 * SampleFifo::Capacity + 12345;  // wraps round several times
    std::atomic<bool> wrong{false};
    std::thread audio([&] {
        std::vector<float> out(333);
        size_t next = 0;
        while (next < Total) {
            const size_t taken = fifo->Read(out.data(), out.size());
            for (size_t i = 0; i < out.size(); ++i) {
                const float expected = i < taken ? static_cast<int16_t>((next + i) * 7919) / 32768.0f : 0.0f;
                if (out[i] != expected) wrong = true;
            }
            next += taken;
        }
    });
    for (size_t written = 0; written < Total;) {
        const size_t count = std::min<size_t>({fifo->Space(), Total - written, 1000});
        std::vector<int16_t> samples(count);
        for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>((written + i) * 7919);
        fifo->Write(LittleEndian(samples).data(), count);
        written += count;
        if (count == 0) std::this_thread::yield();
    }
    audio.join();
    EXPECT_FALSE(wrong);
    EXPECT_EQ(fifo->ReadPosition(), Total);
    EXPECT_EQ(fifo->Space(), SampleFifo::Capacity);
}

struct Blocks {
    explicit Blocks(const std::vector<size_t>& lengths) {
        for (const size_t length : lengths) {
            data.emplace_back(LittleEndian(std::vector<int16_t>(length, static_cast<int16_t>(data.size() + 1))));
            headers.push_back({data.back().data(), static_cast<uint32_t>(2 * length), 0, 0, 1});
        }
        for (WaveHeader& header : headers) pointers.push_back(&header);
    }
    std::vector<std::vector<uint8_t>> data;
    std::vector<WaveHeader> headers;
    std::vector<WaveHeader*> pointers;
};

std::vector<WaveHeader*> DoneBy(BlockQueue& queue, uint64_t position) {
    std::vector<WaveHeader*> done;
    while (WaveHeader* header = queue.PopDone(position)) done.push_back(header);
    return done;
}

TEST(BlockQueue, ABlockIsDoneOnceItsLastSampleIsInTheFifoAndPassed) {
    auto fifo = std::make_unique<SampleFifo>();
    Blocks blocks({100, 100, 0, 100});
    BlockQueue queue(4);
    for (WaveHeader* header : blocks.pointers) EXPECT_TRUE(queue.Push(header));
    WaveHeader extra = blocks.headers[0];
    EXPECT_FALSE(queue.Push(&extra)) << "the queue is full";
    EXPECT_TRUE(DoneBy(queue, 1000).empty()) << "nothing is in the FIFO yet";
    queue.Feed(*fifo);
    EXPECT_EQ(fifo->Space(), SampleFifo::Capacity - 300);
    EXPECT_TRUE(DoneBy(queue, 99).empty());
    EXPECT_EQ(DoneBy(queue, 100), std::vector<WaveHeader*>{blocks.pointers[0]});
    // An empty block is done with the one before it.
    EXPECT_EQ(DoneBy(queue, 299), (std::vector<WaveHeader*>{blocks.pointers[1], blocks.pointers[2]}));
    EXPECT_EQ(queue.Outstanding(), 1u);
    EXPECT_EQ(DoneBy(queue, 300), std::vector<WaveHeader*>{blocks.pointers[3]});
    EXPECT_EQ(queue.Outstanding(), 0u);
    EXPECT_EQ(queue.PopAny(), nullptr);

    std::vector<float> heard(300);
    EXPECT_EQ(fifo->Read(heard.data(), heard.size()), 300u);
    EXPECT_EQ(heard[99], 1 / 32768.0f);
    EXPECT_EQ(heard[100], 2 / 32768.0f);
    EXPECT_EQ(heard[299], 4 / 32768.0f) << "the empty block adds no sample";
}

TEST(BlockQueue, BlocksLongerThanTheFifoGoInAsItEmptiesAndAnEndedStreamGivesAllBack) {
    auto fifo = std::make_unique<SampleFifo>();
    Blocks blocks({SampleFifo::Capacity - 50, 100, 100});
    BlockQueue queue(8);
    for (WaveHeader* header : blocks.pointers) queue.Push(header);
    queue.Feed(*fifo);
    EXPECT_EQ(fifo->Space(), 0u);
    EXPECT_EQ(DoneBy(queue, SampleFifo::Capacity + 1000), std::vector<WaveHeader*>{blocks.pointers[0]})
        << "the second block is only half in";
    std::vector<float> heard(SampleFifo::Capacity);
    fifo->Read(heard.data(), 60);
    queue.Feed(*fifo);
    EXPECT_EQ(DoneBy(queue, SampleFifo::Capacity + 1000), std::vector<WaveHeader*>{blocks.pointers[1]});
    const size_t taken = fifo->Read(heard.data(), heard.size());
    ASSERT_EQ(taken, SampleFifo::Capacity) << "refilled as far as there was room";
    EXPECT_EQ(heard[taken - 11], 2 / 32768.0f) << "the second block's last sample";
    EXPECT_EQ(heard[taken - 10], 3 / 32768.0f) << "the part of the third that fitted";
    queue.Feed(*fifo);
    EXPECT_EQ(queue.PopAny(), blocks.pointers[2]);
    EXPECT_EQ(queue.Outstanding(), 0u);
}

}  // namespace
}  // namespace platform::desktop
