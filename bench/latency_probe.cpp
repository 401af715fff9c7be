#include "bench/latency_probe.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

LatencyProbe::LatencyProbe(const Options& options) : options_(options) {
    delays_.reserve(static_cast<size_t>(std::max(options.notes, 0)));
    if (options.notes <= 0) state_ = State::Finished;
}

LatencyProbe::Action LatencyProbe::Listen(const float* samples, size_t count) {
    Action action = Action::None;
    for (size_t i = 0; i < count; ++i, ++position_) {
        const bool loud = std::fabs(samples[i]) > options_.threshold;
        quietRun_ = loud ? 0 : quietRun_ + 1;
        switch (state_) {
            case State::Quiet:
                if (action != Action::None) break;
                if (quietRun_ >= options_.quietFrames) {
                    action = Action::NoteOn;
                    state_ = State::Sending;
                } else if (position_ - stateSince_ >= options_.timeoutFrames) {
                    state_ = State::Finished;
                }
                break;
            case State::Listening:
                // A sound that began before the Note On went out is not its sound.
                if (loud && position_ >= sentAt_) {
                    delays_.push_back(position_ - sentAt_);
                    onsetAt_ = position_;
                    state_ = State::Holding;
                } else if (position_ - sentAt_ >= options_.timeoutFrames) {
                    state_ = State::Finished;
                }
                break;
            case State::Holding:
                if (position_ - onsetAt_ < options_.holdFrames) break;
                action = Action::NoteOff;
                // The note sounds until the release comes through: the quiet that
                // allows the next one is counted from here.
                quietRun_ = 0;
                stateSince_ = position_;
                state_ = delays_.size() < static_cast<size_t>(options_.notes) ? State::Quiet
                                                                                : State::Finished;
                break;
            case State::Sending:
            case State::Finished:
                break;
        }
    }
    return action;
}

void LatencyProbe::NoteOnAt(int64_t position) {
    if (state_ != State::Sending) return;
    sentAt_ = position;
    state_ = State::Listening;
}

DelayStats Summarize(const std::vector<int64_t>& delays) {
    std::vector<int64_t> sorted = delays;
    std::sort(sorted.begin(), sorted.end());
    const size_t n = sorted.size();
    DelayStats stats;
    stats.min = sorted.front();
    stats.max = sorted.back();
    stats.median = (static_cast<double>(sorted[(n - 1) / 2]) + static_cast<double>(sorted[n / 2])) / 2;
    for (int64_t d : sorted) stats.mean += static_cast<double>(d);
    stats.mean /= static_cast<double>(n);
    return stats;
}

void PrintDelays(const std::vector<int64_t>& delays, int64_t rate) {
    const DelayStats stats = Summarize(delays);
    const double ms = 1000.0 / static_cast<double>(rate);
    std::printf("min %lld, median %.0f, max %lld, mean %.0f samples (%.1f to %.1f ms, mean %.1f ms at %lld Hz)\n",
                static_cast<long long>(stats.min), stats.median, static_cast<long long>(stats.max), stats.mean,
                static_cast<double>(stats.min) * ms, static_cast<double>(stats.max) * ms, stats.mean * ms,
                static_cast<long long>(rate));
}
