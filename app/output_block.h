#pragma once
// The blocks on their way to the wave output: each a header and its buffer, allocated
// when the block is queued and freed when it comes back. The dialog owns them, so a
// block abandoned with the window ("Abort") is freed with the dialog, and a completion
// that names no block of ours is recognised and ignored.
#include <cstdint>
#include <deque>
#include <memory>

#include "platform/wave_out.h"

namespace app {

struct OutputBlock {
    platform::WaveHeader header;
    std::unique_ptr<uint8_t[]> buffer;
};

class OutputBlocks {
public:
    // A new block whose buffer holds length zero bytes (none when length <= 0).
    OutputBlock& Allocate(int32_t length, intptr_t user);
    // Frees the block that owns header; false when no block of ours does.
    bool Free(const platform::WaveHeader* header);
    bool Owns(const platform::WaveHeader* header) const;

private:
    std::deque<std::unique_ptr<OutputBlock>> blocks_;  // oldest first, as the device returns them
};

}  // namespace app
