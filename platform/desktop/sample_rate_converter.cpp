#include "platform/desktop/sample_rate_converter.h"

#include <samplerate.h>

#include "platform/desktop/block_queue.h"

namespace platform::desktop {

SampleRateConverter::SampleRateConverter(unsigned blockRate, unsigned deviceRate,
                                         BlockQueue& blocks)
    : ratio_(static_cast<double>(deviceRate) / blockRate), blocks_(blocks), state_(nullptr) {
    int error = 0;
    state_ = src_callback_new(&Supply, SRC_SINC_FASTEST, 1, &error, this);
}

SampleRateConverter::~SampleRateConverter() {
    if (state_) src_delete(state_);
}

bool SampleRateConverter::Read(float* out, size_t count) {
    usedUp_ = false;
    const long made = src_callback_read(state_, ratio_, static_cast<long>(count), out);
    for (size_t i = made > 0 ? static_cast<size_t>(made) : 0; i < count; ++i) out[i] = 0.0f;
    return usedUp_;
}

// The queue always answers with a full chunk, silence included, so the converter
// never sees the end of its input.
long SampleRateConverter::Supply(void* data, float** samples) {
    auto* self = static_cast<SampleRateConverter*>(data);
    self->usedUp_ |= self->blocks_.Fill(self->input_.data(), InputChunk);
    *samples = self->input_.data();
    return static_cast<long>(InputChunk);
}

}  // namespace platform::desktop
