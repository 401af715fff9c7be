// Prints a fingerprint of what the renderer makes of a fixed score on each instruction-set
// path, and of every note's frequency. The program built for another system or processor
// must print the same text, its samples being the same to the bit.
#include <cstdio>
#include <utility>

#include "synth/pitch.h"
#include "tests/score_fingerprint.h"

int main() {
    Fingerprint frequencies;
    for (int note = 0; note < synth::VoiceCount; ++note)
        frequencies.Add(synth::NoteFrequency(note));
    std::printf("note frequencies %016llx\n", frequencies.Value());
    using synth::RenderPath;
    for (const auto& [path, name] :
         {std::pair{RenderPath::Sse2, "SSE2"}, std::pair{RenderPath::Avx2Fma, "AVX2 and FMA"}}) {
        if (synth::RenderPathSupported(path))
            std::printf("%s samples %016llx\n", name, ScoreFingerprintOn(path));
        else
            std::printf("%s not on this processor\n", name);
    }
}
