#pragma once
// Where a recording's samples lie on a clock: each read tells when it returned and how
// long the recorder says its newest sample had waited, from which the time of sample 0
// follows. Over many reads that time should not move; how far it does is the
// reckoning's uncertainty.
#include <cstdint>

class RecordingTimeline {
public:
    explicit RecordingTimeline(int64_t rate) : rate_(rate) {}

    // A read that ended at position readEnd returned at readMicros, the recorder
    // reporting latencyMicros. Only settled reads count towards the spread.
    void Read(int64_t readEnd, int64_t readMicros, int64_t latencyMicros, bool settled);
    // The position of a moment, as the latest read reckons it.
    int64_t PositionOf(int64_t micros) const;
    // How far the time of sample 0 moved over the settled reads.
    int64_t SpreadMicros() const { return highest_ < lowest_ ? 0 : highest_ - lowest_; }

private:
    int64_t rate_;
    int64_t zeroMicros_ = 0;
    int64_t lowest_ = INT64_MAX;
    int64_t highest_ = INT64_MIN;
};
