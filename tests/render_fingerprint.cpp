// Prints a fingerprint of what the renderer makes of a fixed score on each instruction-set
// path: every sample, peak, clip lamp, time base and shown frequency, hashed, and every
// note's frequency. The program built for another system or processor must print the same
// text, its samples being the same to the bit.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "synth/block_renderer.h"
#include "synth/pitch.h"

namespace {

using synth::Engine;
using synth::RenderPath;
using synth::SamplesPerBlock;

constexpr uint32_t Rate = 44100;
constexpr int Runs = 60;
constexpr int BlocksPerRun = 40;

// FNV-1a over the bytes of each value added.
class Fingerprint {
   public:
    template <class T>
    void Add(T value) {
        unsigned char bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        for (unsigned char b : bytes) hash_ = (hash_ ^ b) * 1099511628211u;
    }
    unsigned long long Value() const { return hash_; }

   private:
    uint64_t hash_ = 14695981039346656037u;
};

// The score's choices, from a generator of its own so that every library gives the same.
class Score {
   public:
    uint32_t Below(uint32_t n) {
        state_ = state_ * 6364136223846793005u + 1442695040888963407u;
        return static_cast<uint32_t>(state_ >> 33) % n;
    }
    void Strike(synth::Voice& voice) {
        const double releaseStep = Below(2) ? 0.0 : 2.0 * Below(50) + 1.0;
        voice = {1, releaseStep, 1.0 + Below(30000) + Below(1000) / 1000.0};
    }

   private:
    uint64_t state_ = 1;
};

// Runs of a few to all 256 voices, starting anywhere up to where the time base wraps.
unsigned long long RenderScore(RenderPath path) {
    Score score;
    Fingerprint fingerprint;
    for (int run = 0; run < Runs; ++run) {
        Engine engine;
        for (int32_t& weight : engine.HarmonicWeights)
            weight = score.Below(4) ? score.Below(101) : 0;
        const int voices = run % 3 == 0 ? 1 + score.Below(4) : run % 3 == 1 ? 32 : 256;
        for (int i = 0; i < voices; ++i)
            score.Strike(engine.VoiceTable[score.Below(synth::VoiceCount)]);
        engine.SampleCounter = static_cast<int32_t>(score.Below(1u << 31));
        for (int block = 0; block < BlocksPerRun; ++block) {
            engine.PeakSample = 0.0;
            int16_t samples[SamplesPerBlock];
            fingerprint.Add(synth::RenderSamplesOn(path, engine, Rate, samples));
            for (int16_t s : samples) fingerprint.Add(s);
            fingerprint.Add(engine.PeakSample);
            fingerprint.Add(engine.ClipFlag);
            fingerprint.Add(engine.SampleCounter);
            synth::DecayVoices(engine);
            if (score.Below(10) == 0)
                score.Strike(engine.VoiceTable[score.Below(synth::VoiceCount)]);
        }
    }
    return fingerprint.Value();
}

}  // namespace

int main() {
    Fingerprint frequencies;
    for (int note = 0; note < synth::VoiceCount; ++note)
        frequencies.Add(synth::NoteFrequency(note));
    std::printf("note frequencies %016llx\n", frequencies.Value());
    for (const auto& [path, name] :
         {std::pair{RenderPath::Sse2, "SSE2"}, std::pair{RenderPath::Avx2Fma, "AVX2 and FMA"}}) {
        if (synth::RenderPathSupported(path))
            std::printf("%s samples %016llx\n", name, RenderScore(path));
        else
            std::printf("%s not on this processor\n", name);
    }
}
