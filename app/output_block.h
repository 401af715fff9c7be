#pragma once
// One block on its way to the wave output: a header and its buffer, allocated when the
// block is queued and freed when it comes back. The header comes first, so the header
// pointer that a completion carries leads back to the whole block.
#include <cstdint>

#include "platform/wave_out.h"

namespace app {

struct OutputBlock {
    platform::WaveHeader header;
    uint8_t* buffer;
};

// Allocates a block whose buffer holds length zero bytes (none when length <= 0).
OutputBlock* AllocateOutputBlock(int32_t length, intptr_t user);
// Frees the block that owns header.
void FreeOutputBlock(platform::WaveHeader* header);

}  // namespace app
