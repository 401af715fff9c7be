#include "app/output_block.h"

#include <algorithm>

namespace app {

OutputBlock& OutputBlocks::Allocate(int32_t length, intptr_t user) {
    const uint32_t size = length > 0 ? static_cast<uint32_t>(length) : 0;
    auto block = std::make_unique<OutputBlock>();
    block->buffer = std::make_unique<uint8_t[]>(size);
    block->header = {block->buffer.get(), size, user, 0, 1};
    blocks_.push_back(std::move(block));
    return *blocks_.back();
}

bool OutputBlocks::Free(const platform::WaveHeader* header) {
    // Blocks come back in the order they were written, so the search ends at once.
    const auto it = std::find_if(blocks_.begin(), blocks_.end(),
                                 [header](const auto& block) { return &block->header == header; });
    if (it == blocks_.end()) return false;
    blocks_.erase(it);
    return true;
}

bool OutputBlocks::Owns(const platform::WaveHeader* header) const {
    return std::any_of(blocks_.begin(), blocks_.end(),
                       [header](const auto& block) { return &block->header == header; });
}

}  // namespace app
