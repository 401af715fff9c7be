#pragma once
// The gap finder: in a recording of sound that should never stop, the longest run of
// exact zeros between its first and its last sounding sample, which is where a stream
// that ran dry shows.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>

template <typename Iterator>
struct SoundingSpan {
    Iterator first;               // the first sounding sample; last when none sounds
    Iterator last;                // one past the last sounding sample
    size_t longestSilence = 0;    // the longest run of exact zeros between them
};

template <typename Iterator>
SoundingSpan<Iterator> FindGaps(Iterator begin, Iterator end, double sounding) {
    const auto loud = [sounding](auto sample) { return std::fabs(sample) > sounding; };
    SoundingSpan<Iterator> span{std::find_if(begin, end, loud), end};
    if (span.first == end) return span;
    span.last = std::find_if(std::make_reverse_iterator(end), std::make_reverse_iterator(span.first), loud).base();
    size_t run = 0;
    for (auto it = span.first; it != span.last; ++it) {
        run = *it == 0 ? run + 1 : 0;
        span.longestSilence = std::max(span.longestSilence, run);
    }
    return span;
}
