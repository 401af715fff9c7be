#pragma once
// The logic of the delay measurement, apart from any sound system: it listens to the
// program's output as one stream of samples, says when to strike and release the note,
// and pairs each Note On with the first sounding sample after it. Positions count the
// samples heard since the start. One note at a time: the next Note On waits until the
// output has been quiet for a while after the last release, so however long the delay
// is, a sound is never taken for a later note's.
//
// The states: waiting for quiet -> Note On asked for -> (NoteOnAt) listening for the
// onset -> holding -> Note Off, and waiting for quiet again; finished after the last
// note or once a wait lasts longer than the timeout.
#include <cstddef>
#include <cstdint>
#include <vector>

class LatencyProbe {
public:
    struct Options {
        int notes = 8;
        float threshold = 0.003f;  // a sample louder than this sounds
        int64_t quietFrames = 0;   // silence needed before each Note On
        int64_t holdFrames = 0;    // from the onset to the Note Off
        int64_t timeoutFrames = 0; // the longest wait for quiet or for the onset

        // A quarter second of quiet, a fifth of a second held, 5 s at most for a wait:
        // enough for a delay of several long periods, and a run of 8 notes in seconds.
        static Options For(int notes, int64_t rate) {
            return {notes, 0.003f, rate / 4, rate / 5, 5 * rate};
        }
    };
    enum class Action { None, NoteOn, NoteOff };

    // Reserves room for every note's delay: Listen never allocates.
    explicit LatencyProbe(const Options& options);

    // Takes the next count samples of the output; says what to send now.
    Action Listen(const float* samples, size_t count);
    // The Note On asked for went out at this position, which may lie before or after
    // the samples heard so far, but not before the quiet that asked for it.
    void NoteOnAt(int64_t position);

    int64_t Position() const { return position_; }
    bool Finished() const { return state_ == State::Finished; }
    bool Failed() const { return Finished() && delays_.size() < static_cast<size_t>(options_.notes); }
    // From each Note On to its first sounding sample, in samples, in the order played.
    const std::vector<int64_t>& Delays() const { return delays_; }

private:
    enum class State { Quiet, Sending, Listening, Holding, Finished };

    Options options_;
    State state_ = State::Quiet;
    int64_t position_ = 0;
    int64_t quietRun_ = 0;     // samples below the threshold in a row
    int64_t stateSince_ = 0;   // where the current wait began
    int64_t sentAt_ = 0;
    int64_t onsetAt_ = 0;
    std::vector<int64_t> delays_;
};

struct DelayStats {
    int64_t min = 0;
    double median = 0;  // the mean of the middle two of an even count
    int64_t max = 0;
    double mean = 0;
};
// Over at least one delay.
DelayStats Summarize(const std::vector<int64_t>& delays);
// "min A, median B, max C, mean D samples (E to F ms, mean G ms at R Hz)".
void PrintDelays(const std::vector<int64_t>& delays, int64_t rate);
