#pragma once
// A fixed score played through a renderer, and a fingerprint of everything it gave back:
// every sample, peak, clip lamp, time base and shown frequency, hashed. Two renderers
// with the same fingerprint made the same sound to the bit.
#include <cstdint>
#include <cstring>

#include "synth/block_renderer.h"

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

// Runs of a few to all 256 voices, starting anywhere up to where the time base wraps,
// through render(engine, sampleRate, samples) as RenderSamples is called.
template <class Render>
unsigned long long ScoreFingerprint(Render render) {
    constexpr uint32_t Rate = 44100;
    constexpr int Runs = 60;
    constexpr int BlocksPerRun = 40;
    Score score;
    Fingerprint fingerprint;
    for (int run = 0; run < Runs; ++run) {
        synth::Engine engine;
        for (int32_t& weight : engine.HarmonicWeights)
            weight = score.Below(4) ? score.Below(101) : 0;
        const int voices = run % 3 == 0 ? 1 + score.Below(4) : run % 3 == 1 ? 32 : 256;
        for (int i = 0; i < voices; ++i)
            score.Strike(engine.VoiceTable[score.Below(synth::VoiceCount)]);
        engine.SampleCounter = static_cast<int32_t>(score.Below(1u << 31));
        for (int block = 0; block < BlocksPerRun; ++block) {
            engine.PeakSample = 0.0;
            int16_t samples[synth::SamplesPerBlock];
            fingerprint.Add(render(engine, Rate, samples));
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

// The score on one chosen path.
inline unsigned long long ScoreFingerprintOn(synth::RenderPath path) {
    return ScoreFingerprint([path](synth::Engine& engine, uint32_t rate, int16_t* out) {
        return synth::RenderSamplesOn(path, engine, rate, out);
    });
}
