#include "platform/desktop/audio/sample_rate_converter.h"

#include <samplerate.h>

#include "platform/desktop/audio/sample_fifo.h"

namespace platform::desktop {

SampleRateConverter::SampleRateConverter(unsigned blockRate, unsigned deviceRate,
                                         SampleFifo& samples)
    : ratio_(static_cast<double>(deviceRate) / blockRate), samples_(samples), state_(nullptr) {
    int error = 0;
    state_ = src_callback_new(&Supply, SRC_SINC_FASTEST, 1, &error, this);
}

SampleRateConverter::~SampleRateConverter() {
    if (state_) src_delete(state_);
}

size_t SampleRateConverter::Read(float* out, size_t count) {
    taken_ = 0;
    const long made = src_callback_read(state_, ratio_, static_cast<long>(count), out);
    for (size_t i = made > 0 ? static_cast<size_t>(made) : 0; i < count; ++i) out[i] = 0.0f;
    return taken_;
}

// The FIFO always answers with a full chunk, silence included, so the converter never
// sees the end of its input.
long SampleRateConverter::Supply(void* data, float** samples) {
    auto* self = static_cast<SampleRateConverter*>(data);
    self->taken_ += self->samples_.Read(self->input_.data(), InputChunk);
    *samples = self->input_.data();
    return static_cast<long>(InputChunk);
}

}  // namespace platform::desktop
