// Checks a recording of sound that should never stop for gaps: prints the longest run of
// exact zeros between its first and its last sounding sample, and how long it sounds,
// and exits 0 when that run is shorter than MAX_ZEROS and it sounds at least SECONDS.
//   wav_gap_check FILE.wav MAX_ZEROS SECONDS
#include <cstdio>
#include <cstdlib>

#include "tests/gap_finder.h"
#include "wav_reader.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s FILE.wav MAX_ZEROS SECONDS\n", argv[0]);
        return 2;
    }
    Recording rec;
    if (!ReadWav(argv[1], rec) || rec.rate == 0) {
        std::fprintf(stderr, "cannot read %s as WAV\n", argv[1]);
        return 2;
    }
    const auto span = FindGaps(rec.samples.begin(), rec.samples.end(), 0.01);
    const double seconds = static_cast<double>(span.last - span.first) / rec.rate;
    std::printf("sounds for %.1f s; the longest run of zeros within is %zu samples\n", seconds, span.longestSilence);
    return span.longestSilence < std::strtoul(argv[2], nullptr, 10) && seconds >= std::atof(argv[3]) ? 0 : 1;
}
