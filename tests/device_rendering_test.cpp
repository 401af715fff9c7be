// Rendering on the sound device's own thread: the places that rendered blocks hold in
// the desktop output's FIFO, filled just before the audio thread reads them, and the
// note changes that the window's thread hands over to the renderer while the device's
// thread renders, in order and without a lock.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "app/live_renderer.h"
#include "platform/desktop/audio/block_queue.h"
#include "platform/desktop/audio/sample_fifo.h"
#include "synth/pitch.h"

namespace {

using platform::BlockRenderer;
using platform::desktop::BlockQueue;
using platform::desktop::SampleFifo;

// Fills its n-th block with the value 1000 + n.
class CountingRenderer final : public BlockRenderer {
public:
    void RenderBlock(int16_t* samples, size_t count) override {
        std::fill(samples, samples + count, static_cast<int16_t>(1000 + blocks++));
    }
    std::atomic<int> blocks{0};
};

std::vector<float> Read(SampleFifo& fifo, size_t count) {
    std::vector<float> out(count);
    out.resize(fifo.Read(out.data(), count));
    return out;
}

float Sample(int value) { return static_cast<float>(value) / 32768.0f; }

TEST(RenderedPlaces, EachIsFilledJustBeforeItIsReadAmongTheWrittenSamples) {
    auto fifo = std::make_unique<SampleFifo>();
    CountingRenderer renderer;
    const std::vector<uint8_t> seven(2 * 150, 7);  // samples of 0x0707
    fifo->Write(seven.data(), 150);
    ASSERT_TRUE(fifo->WriteRendered(100, renderer));
    fifo->Write(seven.data(), 50);
    ASSERT_TRUE(fifo->WriteRendered(100, renderer));
    EXPECT_EQ(fifo->Space(), SampleFifo::Capacity - 400);

    EXPECT_EQ(Read(*fifo, 150), std::vector<float>(150, Sample(0x0707)));
    EXPECT_EQ(renderer.blocks, 0) << "rendered before it was reached";
    EXPECT_EQ(Read(*fifo, 1), std::vector<float>{Sample(1000)});
    EXPECT_EQ(renderer.blocks, 1);
    const std::vector<float> rest = Read(*fifo, 249);
    ASSERT_EQ(rest.size(), 249u);
    EXPECT_EQ(rest[98], Sample(1000));
    EXPECT_EQ(rest[99], Sample(0x0707));
    EXPECT_EQ(rest[149], Sample(1001));
    EXPECT_EQ(rest[248], Sample(1001));
    EXPECT_EQ(renderer.blocks, 2);
}

// Once a rendered block has played, the sound goes on when the UI thread is late: the
// renderer fills in past the written samples, the rest of a block filled in playing
// before what is written afterwards.
TEST(RenderedPlaces, PastTheWrittenSamplesTheRendererFillsInOnceItHasRendered) {
    auto fifo = std::make_unique<SampleFifo>();
    CountingRenderer renderer;
    const std::vector<uint8_t> sevens(2 * 50, 7);
    fifo->Write(sevens.data(), 50);
    std::vector<float> out(150);
    EXPECT_EQ(fifo->Read(out.data(), 80), 50u);
    EXPECT_EQ(out[79], 0.0f) << "silence before anything was rendered";
    ASSERT_TRUE(fifo->WriteRendered(100, renderer));
    EXPECT_EQ(fifo->Read(out.data(), 150), 100u) << "filled-in samples hold no place";
    EXPECT_EQ(out[99], Sample(1000));
    EXPECT_EQ(out[100], Sample(1001));
    fifo->Write(sevens.data(), 20);
    EXPECT_EQ(fifo->Read(out.data(), 100), 20u);
    EXPECT_EQ(out[49], Sample(1001)) << "the filled-in block plays out first";
    EXPECT_EQ(out[50], Sample(0x0707));
    EXPECT_EQ(out[69], Sample(0x0707));
    EXPECT_EQ(out[70], Sample(1002));
    EXPECT_EQ(fifo->ReadPosition(), 170u);
}

TEST(RenderedPlaces, APlaceAcrossTheRingsEndAndAFullListOfPlaces) {
    auto fifo = std::make_unique<SampleFifo>();
    CountingRenderer renderer;
    const std::vector<uint8_t> zeros(2 * (SampleFifo::Capacity - 30));
    fifo->Write(zeros.data(), SampleFifo::Capacity - 30);
    Read(*fifo, SampleFifo::Capacity - 30);
    ASSERT_TRUE(fifo->WriteRendered(100, renderer));  // 30 places before the end, 70 after
    EXPECT_EQ(Read(*fifo, 100), std::vector<float>(100, Sample(1000)));

    size_t placed = 0;
    while (fifo->WriteRendered(2, renderer)) ++placed;
    EXPECT_EQ(placed, SampleFifo::RenderedCapacity);
    Read(*fifo, 2);
    EXPECT_TRUE(fifo->WriteRendered(2, renderer)) << "room again once one is rendered";
}

TEST(RenderedPlaces, ABlockForTheRendererGoesIntoTheFifoWholeOrWaits) {
    auto fifo = std::make_unique<SampleFifo>();
    CountingRenderer renderer;
    const std::vector<uint8_t> zeros(2 * (SampleFifo::Capacity - 50));
    std::vector<uint8_t> buffer(200);
    platform::WaveHeader filler{const_cast<uint8_t*>(zeros.data()), static_cast<uint32_t>(zeros.size()), 0, 0, 1};
    platform::WaveHeader rendered{buffer.data(), 200, 0, platform::WHDR_RENDER, 1};
    BlockQueue queue(4);
    queue.Push(&filler);
    queue.Push(&rendered, &renderer);
    queue.Feed(*fifo);
    EXPECT_EQ(fifo->Space(), 50u) << "no part of the rendered block";
    EXPECT_EQ(queue.PopDone(SampleFifo::Capacity), &filler);
    EXPECT_EQ(queue.PopDone(SampleFifo::Capacity), nullptr);
    Read(*fifo, 60);
    queue.Feed(*fifo);
    EXPECT_EQ(fifo->Space(), 10u);
    EXPECT_EQ(queue.PopDone(SampleFifo::Capacity + 50), &rendered);
}

// The device's thread renders while the window's thread strikes, faster than the
// device takes the changes: it applies every one, in order, the last one last.
TEST(LiveRenderer, TheDevicesThreadGetsEveryChangeInOrder) {
    constexpr int Changes = 100000;
    app::LiveRenderer renderer(44100);
    synth::Engine start;
    start.HarmonicWeights[0] = 100;
    renderer.Restart(start);
    std::atomic<bool> handed{false};
    std::atomic<int> blocks{0};
    std::thread device([&] {
        int16_t samples[100];
        while (!handed.load()) {
            renderer.RenderBlock(samples, 100);
            ++blocks;
        }
    });
    for (int i = 0; i < Changes; ++i)
        renderer.Hand(app::NoteChange::WholeVoice(57, {1, 0.0, 1000.0 + 1000 * (i % 2)}));
    renderer.Hand(app::NoteChange::WholeVoice(57, {1, 0.0, 7000.0}));
    while (blocks.load() < 2) std::this_thread::yield();
    handed = true;
    device.join();
    // The changes still waiting go to the device block by block.
    int16_t samples[100];
    for (int block = 0; block <= Changes / 4096; ++block) {
        renderer.Flush();
        renderer.RenderBlock(samples, 100);
    }
    EXPECT_EQ(renderer.Rendered().frequency, synth::NoteFrequency(57));
    // A block is one period of 440 Hz, less a five-hundredth: its peak is the level's.
    EXPECT_NEAR(renderer.Rendered().peak, 7000.0, 4.0);
}

}  // namespace
