#include "tools/render/progress.h"

#include <cstdio>

#include "tools/render/offline_render.h"

namespace render {

namespace {

constexpr uint64_t BlocksPerSecond = EngineRate / synth::SamplesPerBlock;
constexpr uint64_t UpdateEveryBlocks = BlocksPerSecond;

double Seconds(uint64_t blocks) { return static_cast<double>(blocks) / BlocksPerSecond; }

}  // namespace

Progress::Progress(bool shown, uint64_t lastEventBlock)
    : shown_(shown), lastEventBlock_(lastEventBlock) {}

void Progress::Update(uint64_t blocksRendered) {
    if (blocksRendered % UpdateEveryBlocks == 0) Show(blocksRendered);
}

void Progress::Finish(uint64_t blocksRendered) {
    if (!shown_) return;
    Show(blocksRendered);
    std::fputc('\n', stderr);
}

void Progress::Show(uint64_t blocksRendered) {
    if (!shown_) return;
    // \033[K clears what a longer line left on the right.
    if (blocksRendered < lastEventBlock_) {
        std::fprintf(stderr, "\rkelvarin-render: %3d%%  %.0f s of %.0f s\033[K",
                     static_cast<int>(100 * blocksRendered / lastEventBlock_),
                     Seconds(blocksRendered), Seconds(lastEventBlock_));
    } else {
        std::fprintf(stderr, "\rkelvarin-render: 100%%  %.1f s, the last notes fading out\033[K",
                     Seconds(blocksRendered));
    }
    std::fflush(stderr);
}

}  // namespace render
