#include "bench/recording_timeline.h"

#include <algorithm>

void RecordingTimeline::Read(int64_t readEnd, int64_t readMicros, int64_t latencyMicros, bool settled) {
    zeroMicros_ = readMicros - latencyMicros - readEnd * 1000000 / rate_;
    if (!settled) return;
    lowest_ = std::min(lowest_, zeroMicros_);
    highest_ = std::max(highest_, zeroMicros_);
}

int64_t RecordingTimeline::PositionOf(int64_t micros) const { return (micros - zeroMicros_) * rate_ / 1000000; }
