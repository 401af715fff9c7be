#include "app/output_block.h"

#include <type_traits>

namespace app {

static_assert(std::is_standard_layout_v<OutputBlock>,
              "the header must share its address with the block");

OutputBlock* AllocateOutputBlock(int32_t length, intptr_t user) {
    const uint32_t size = length > 0 ? static_cast<uint32_t>(length) : 0;
    auto* block = new OutputBlock{};
    block->buffer = new uint8_t[size]();
    block->header.data = block->buffer;
    block->header.bufferLength = size;
    block->header.user = user;
    block->header.flags = 0;
    block->header.loops = 1;
    return block;
}

void FreeOutputBlock(platform::WaveHeader* header) {
    auto* block = reinterpret_cast<OutputBlock*>(header);
    delete[] block->buffer;
    delete block;
}

}  // namespace app
