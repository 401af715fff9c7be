// The delay measurement's logic against a simulated program that answers a Note On
// with a chosen delay, in cycles like a JACK client's: whatever the delay, the period
// and the moment in the period, each note's delay is its own.
#include "bench/latency_probe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace {

constexpr int64_t Rate = 44100;
constexpr float Loud = 0.1f;
constexpr float Faint = 0.001f;  // a release's tail, below the probe's threshold

// Hears Note On and Note Off at the end of the cycle they were sent in, and sounds
// delayFrames after that: a 50 Hz tone, whose zero crossings give short runs of
// quiet samples within a note, then a faint tail after the release.
class SimulatedProgram {
public:
    SimulatedProgram(int64_t period, int64_t delayFrames, int64_t tailFrames)
        : period_(period), delay_(delayFrames), tail_(tailFrames) {}

    float Sample(int64_t at) const {
        float sum = 0.0f;
        for (const Note& note : notes_) {
            if (at < note.start || at >= note.stop + tail_) continue;
            sum += at >= note.stop ? Faint
                                   : Loud * static_cast<float>(std::cos(2 * std::numbers::pi * 50 *
                                                                        double(at - note.start) / Rate));
        }
        return sum;
    }

    void NoteOn(int64_t at) {
        if (!notes_.empty() && notes_.back().stop == Never) ADD_FAILURE() << "a Note On at " << at << " while held";
        if (!notes_.empty() && at < notes_.back().stop) ADD_FAILURE() << "a Note On at " << at << " while sounding";
        notes_.push_back({at, Heard(at) + delay_, Never});
    }
    void NoteOff(int64_t at) {
        ASSERT_FALSE(notes_.empty());
        notes_.back().stop = Heard(at) + delay_;
    }
    // From each Note On to its sound's first sample.
    std::vector<int64_t> Delays() const {
        std::vector<int64_t> delays;
        for (const Note& note : notes_) delays.push_back(note.start - note.sentAt);
        return delays;
    }
    size_t Released() const {
        size_t released = 0;
        for (const Note& note : notes_) released += note.stop != Never;
        return released;
    }

private:
    static constexpr int64_t Never = INT64_MAX / 2;
    struct Note {
        int64_t sentAt;
        int64_t start;
        int64_t stop;
    };
    int64_t Heard(int64_t at) const { return (at / period_ + 1) * period_; }

    int64_t period_;
    int64_t delay_;
    int64_t tail_;
    std::vector<Note> notes_;
};

LatencyProbe::Options Options(int notes) { return LatencyProbe::Options::For(notes, Rate); }

// Runs cycles of period frames until the probe finishes or a minute has passed; each
// Note On goes out at the offset that offsetOf gives for its note.
template <typename OffsetOf>
void Play(LatencyProbe& probe, SimulatedProgram& program, int64_t period, OffsetOf offsetOf) {
    std::vector<float> cycle(static_cast<size_t>(period));
    for (int64_t start = 0; start < 60 * Rate && !probe.Finished(); start += period) {
        for (int64_t i = 0; i < period; ++i) cycle[static_cast<size_t>(i)] = program.Sample(start + i);
        const LatencyProbe::Action action = probe.Listen(cycle.data(), cycle.size());
        const int64_t at = start + offsetOf(probe.Delays().size());
        if (action == LatencyProbe::Action::NoteOn) {
            probe.NoteOnAt(at);
            program.NoteOn(at);
        } else if (action == LatencyProbe::Action::NoteOff) {
            program.NoteOff(at);
        }
    }
}

TEST(LatencyProbe, EachNoteIsTimedFromItsOwnNoteOnWhenTheDelayOutlastsTheHold) {
    for (const int64_t period : {256, 4096, 8192}) {
        // More than two periods and longer than the hold, as at a long period.
        SimulatedProgram program(period, 6000 + period + 57, Rate / 2);
        LatencyProbe probe(Options(8));
        Play(probe, program, period, [](size_t) { return 0; });
        EXPECT_FALSE(probe.Failed()) << period;
        EXPECT_EQ(probe.Delays().size(), 8u) << period;
        EXPECT_EQ(probe.Delays(), program.Delays()) << period;
        EXPECT_EQ(program.Released(), 8u) << period;
    }
}

TEST(LatencyProbe, TheDelaysNeverMoveInMemoryWhileMeasuring) {
    // Listen runs in a real-time callback: room for every delay is there from the start.
    SimulatedProgram program(256, 6500, 0);
    LatencyProbe probe(Options(8));
    const int64_t* delays = probe.Delays().data();
    Play(probe, program, 256, [](size_t) { return 0; });
    ASSERT_EQ(probe.Delays().size(), 8u);
    EXPECT_EQ(probe.Delays().data(), delays);
}

TEST(LatencyProbe, ANoteOnLaterInItsCycleMeasuresThatMuchLess) {
    const int64_t period = 1024;
    SimulatedProgram program(period, 7000, 300);
    LatencyProbe probe(Options(4));
    Play(probe, program, period, [&](size_t note) { return static_cast<int64_t>(note) * period / 4; });
    ASSERT_EQ(probe.Delays().size(), 4u);
    EXPECT_EQ(probe.Delays(), program.Delays());
    for (size_t n = 1; n < 4; ++n) EXPECT_EQ(probe.Delays()[n - 1] - probe.Delays()[n], period / 4);
}

TEST(LatencyProbe, TheNextNoteWaitsForQuietAfterTheRelease) {
    // The release's delay is longer than the quiet that is asked for: a probe that
    // counted quiet from before the release came through would strike too early,
    // which the simulated program reports.
    const int64_t period = 512;
    SimulatedProgram program(period, Rate, 0);
    LatencyProbe probe(Options(3));
    Play(probe, program, period, [](size_t) { return 0; });
    EXPECT_EQ(probe.Delays(), program.Delays());
    EXPECT_EQ(probe.Delays().size(), 3u);
}

TEST(LatencyProbe, AProgramThatNeverSoundsFailsWithinTheTimeout) {
    const int64_t period = 256;
    LatencyProbe probe(Options(2));
    const std::vector<float> silence(period, 0.0f);
    int notesOn = 0;
    // Bounded by the cycles played, not by the probe's own count, which a fault may stop.
    for (int64_t played = 0; played < 60 * Rate && !probe.Finished(); played += period) {
        const int64_t start = probe.Position();
        if (probe.Listen(silence.data(), silence.size()) == LatencyProbe::Action::NoteOn) {
            probe.NoteOnAt(start);
            ++notesOn;
        }
    }
    EXPECT_TRUE(probe.Failed());
    EXPECT_EQ(notesOn, 1);
    EXPECT_TRUE(probe.Delays().empty());
    EXPECT_LE(probe.Position(), Rate / 4 + 5 * Rate + period);
}

TEST(LatencyProbe, AnOutputThatNeverFallsQuietFailsWithoutANote) {
    LatencyProbe probe(Options(2));
    const std::vector<float> hum(100, Loud);
    bool struck = false;
    for (int64_t played = 0; played < 60 * Rate && !probe.Finished(); played += 100)
        struck |= probe.Listen(hum.data(), hum.size()) == LatencyProbe::Action::NoteOn;
    EXPECT_TRUE(probe.Failed());
    EXPECT_FALSE(struck);
    EXPECT_LE(probe.Position(), 5 * Rate + 100);
}

TEST(LatencyProbe, ASoundBeforeTheNoteOnWentOutIsNotItsSound) {
    // A recorder whose timeline runs ahead of the Note On: the click heard before the
    // Note On's position is passed over and the note's own onset is taken.
    LatencyProbe probe(Options(1));
    std::vector<float> samples(Rate, 0.0f);
    ASSERT_EQ(probe.Listen(samples.data(), samples.size()), LatencyProbe::Action::NoteOn);
    const int64_t sentAt = probe.Position() + 1000;
    probe.NoteOnAt(sentAt);
    samples.assign(Rate, 0.0f);
    samples[500] = Loud;    // the click
    samples[7400] = Faint;  // too faint to count
    samples[7500] = LatencyProbe::Options::For(1, Rate).threshold;  // not above the threshold
    samples[8000] = -Loud;  // the note
    probe.Listen(samples.data(), samples.size());
    EXPECT_EQ(probe.Delays(), std::vector<int64_t>{7000});
}

// Feeds count samples of value one at a time; the position of the first action, or -1.
int64_t FirstAction(LatencyProbe& probe, float value, int64_t count, LatencyProbe::Action wanted) {
    for (int64_t i = 0; i < count; ++i) {
        const int64_t at = probe.Position();
        if (probe.Listen(&value, 1) == wanted) return at;
    }
    return -1;
}

TEST(LatencyProbe, TheNoteOnComesAfterExactlyTheQuietAskedForSinceTheLastSound) {
    const LatencyProbe::Options options = Options(1);
    LatencyProbe probe(options);
    EXPECT_EQ(FirstAction(probe, 0.0f, 100, LatencyProbe::Action::NoteOn), -1);
    const float click = Loud;
    probe.Listen(&click, 1);
    EXPECT_EQ(FirstAction(probe, 0.0f, options.quietFrames + 1, LatencyProbe::Action::NoteOn),
              101 + options.quietFrames - 1);
}

TEST(LatencyProbe, TheNoteOffComesExactlyTheHoldAfterTheOnsetAndTheNextNoteOnTheQuietAfterThat) {
    // A note that is only a click: the output is quiet again at once, so the quiet is
    // counted from the Note Off, not from the click.
    const LatencyProbe::Options options = Options(2);
    LatencyProbe probe(options);
    const int64_t sentAt = FirstAction(probe, 0.0f, options.quietFrames, LatencyProbe::Action::NoteOn);
    ASSERT_GE(sentAt, 0);
    probe.NoteOnAt(sentAt);
    EXPECT_EQ(FirstAction(probe, 0.0f, 500, LatencyProbe::Action::NoteOff), -1);
    const float click = Loud;
    const int64_t onset = probe.Position();
    probe.Listen(&click, 1);
    EXPECT_EQ(probe.Delays(), std::vector<int64_t>{onset - sentAt});
    const int64_t noteOff = FirstAction(probe, 0.0f, options.holdFrames + 1, LatencyProbe::Action::NoteOff);
    EXPECT_EQ(noteOff, onset + options.holdFrames);
    EXPECT_EQ(FirstAction(probe, 0.0f, options.quietFrames + 1, LatencyProbe::Action::NoteOn),
              noteOff + options.quietFrames);
}

TEST(LatencyProbe, TheWaitsEndExactlyAtTheTimeout) {
    const LatencyProbe::Options options = Options(1);
    LatencyProbe quietless(options);
    FirstAction(quietless, Loud, options.timeoutFrames, LatencyProbe::Action::NoteOn);
    EXPECT_FALSE(quietless.Finished());
    FirstAction(quietless, Loud, 1, LatencyProbe::Action::NoteOn);
    EXPECT_TRUE(quietless.Failed());

    // Timed from the Note On's own position, not from where the probe had got to.
    LatencyProbe unanswered(options);
    const int64_t sentAt = FirstAction(unanswered, 0.0f, options.quietFrames, LatencyProbe::Action::NoteOn);
    ASSERT_GE(sentAt, 0);
    unanswered.NoteOnAt(sentAt - 1000);
    FirstAction(unanswered, 0.0f, sentAt - 1000 + options.timeoutFrames - unanswered.Position(),
                LatencyProbe::Action::NoteOn);
    EXPECT_FALSE(unanswered.Finished());
    FirstAction(unanswered, 0.0f, 1, LatencyProbe::Action::NoteOn);
    EXPECT_TRUE(unanswered.Failed());
}

TEST(LatencyProbe, ASoundOnTheNoteOnsOwnSampleIsItsSound) {
    LatencyProbe probe(Options(1));
    const int64_t sentAt = FirstAction(probe, 0.0f, Rate, LatencyProbe::Action::NoteOn);
    probe.NoteOnAt(sentAt + 10);
    const std::vector<float> silence(static_cast<size_t>(sentAt + 10 - probe.Position()), 0.0f);
    probe.Listen(silence.data(), silence.size());
    ASSERT_EQ(probe.Position(), sentAt + 10);
    const float note = Loud;
    probe.Listen(&note, 1);
    EXPECT_EQ(probe.Delays(), std::vector<int64_t>{0});
}

TEST(LatencyProbe, NoNotesAskedForIsFinishedAtOnce) {
    LatencyProbe probe(Options(0));
    const std::vector<float> silence(Rate, 0.0f);
    EXPECT_EQ(probe.Listen(silence.data(), silence.size()), LatencyProbe::Action::None);
    EXPECT_TRUE(probe.Finished());
}

TEST(DelayStats, SummarizeGivesTheExtremesTheMiddleAndTheMean) {
    const DelayStats odd = Summarize({9, 1, 5});
    EXPECT_EQ(odd.min, 1);
    EXPECT_EQ(odd.max, 9);
    EXPECT_DOUBLE_EQ(odd.median, 5);
    EXPECT_DOUBLE_EQ(odd.mean, 5);
    const DelayStats even = Summarize({10, 40, 20, 31});
    EXPECT_EQ(even.min, 10);
    EXPECT_EQ(even.max, 40);
    EXPECT_DOUBLE_EQ(even.median, 25.5);
    EXPECT_DOUBLE_EQ(even.mean, 25.25);
}

TEST(DelayStats, ThePrintedLineGivesSamplesAndMilliseconds) {
    testing::internal::CaptureStdout();
    PrintDelays({4410, 8820, 13230}, Rate);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "min 4410, median 8820, max 13230, mean 8820 samples (100.0 to 300.0 ms, mean 200.0 ms at 44100 Hz)\n");
}

}  // namespace
