// Placing a moment among a recording's samples from the times its reads returned and
// the latency the recorder reported.
#include "bench/recording_timeline.h"

#include <gtest/gtest.h>

namespace {

constexpr int64_t Rate = 44100;

TEST(RecordingTimeline, AMomentFallsWhereTheRecorderHadGotToThen) {
    // Sample 0 was recorded at 2 s: a read of 4410 samples (0.1 s) returning at 2.13 s
    // with 30 ms still waiting in the recorder.
    RecordingTimeline timeline(Rate);
    timeline.Read(4410, 2'130'000, 30'000, true);
    EXPECT_EQ(timeline.PositionOf(2'000'000), 0);
    EXPECT_EQ(timeline.PositionOf(2'100'000), 4410);
    EXPECT_EQ(timeline.PositionOf(2'500'000), 22050);
}

TEST(RecordingTimeline, AnHourIntoTheRecordingAMomentIsPlacedToTheSample) {
    // Sample 0 at 5 s; an hour of samples read, returning at 3605.02 s with 20 ms waiting.
    RecordingTimeline timeline(Rate);
    timeline.Read(3600 * Rate, 3'605'020'000, 20'000, true);
    EXPECT_EQ(timeline.PositionOf(3'605'000'000), 3600 * Rate);
    EXPECT_EQ(timeline.PositionOf(5'000'000), 0);
}

TEST(RecordingTimeline, TheLatestReadPlacesTheMoment) {
    RecordingTimeline timeline(Rate);
    timeline.Read(4410, 2'130'000, 30'000, true);
    timeline.Read(8820, 2'310'000, 10'000, true);  // sample 0 now reckoned at 2.1 s
    EXPECT_EQ(timeline.PositionOf(2'200'000), 4410);
}

TEST(RecordingTimeline, TheSpreadIsHowFarSampleZeroMovedOverSettledReads) {
    RecordingTimeline timeline(Rate);
    EXPECT_EQ(timeline.SpreadMicros(), 0);
    timeline.Read(4410, 9'000'000, 0, false);  // not settled: left out
    timeline.Read(4410, 2'130'000, 30'000, true);
    EXPECT_EQ(timeline.SpreadMicros(), 0);
    timeline.Read(8820, 2'207'000, 3'000, true);   // sample 0 at 2.004 s
    timeline.Read(13230, 2'300'000, 3'000, true);  // sample 0 at 1.997 s
    EXPECT_EQ(timeline.SpreadMicros(), 7'000);
}

}  // namespace
