#include "reference/render_comparison.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <random>

#include "reference/literal_renderer.h"

namespace synth {

void ComparisonReport::Add(const ComparisonReport& other) {
    samples += other.samples;
    identical += other.identical;
    clipped += other.clipped;
    maxDifference = std::max(maxDifference, other.maxDifference);
    blocks += other.blocks;
    observableMismatches += other.observableMismatches;
    maxPeakDifference = std::max(maxPeakDifference, other.maxPeakDifference);
}

namespace {

constexpr uint32_t Rate = 44100;

struct RunMaker {
    std::mt19937_64 random;

    double Uniform(double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    }
    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
    bool Chance(double p) { return Uniform(0.0, 1.0) < p; }

    double Level() { return std::exp(Uniform(0.0, std::log(30000.0))); }
    double ReleaseStep() { return 2.0 * Between(0, 50) + 1.0; }

    void Strike(Voice& voice) { voice = {1, Chance(0.5) ? 0.0 : ReleaseStep(), Level()}; }

    Engine StartRun(int32_t maxCounter, int blocksPerRun) {
        Engine engine;
        for (int32_t& w : engine.HarmonicWeights) w = Chance(0.25) ? 0 : Between(1, 100);
        const double pick = Uniform(0.0, 1.0);
        const int count = pick < 0.5 ? Between(1, 4) : pick < 0.85 ? Between(5, 32) : Between(33, 256);
        int notes[VoiceCount];
        std::iota(notes, notes + VoiceCount, 0);
        std::shuffle(notes, notes + VoiceCount, random);
        for (int i = 0; i < count; ++i) Strike(engine.VoiceTable[notes[i]]);
        const int32_t latestStart = maxCounter - blocksPerRun * SamplesPerBlock;
        engine.SampleCounter = Chance(0.1) ? Between(0, 300) : Between(0, latestStart);
        return engine;
    }

    // What a player does between two blocks.
    void Play(Engine& engine) {
        if (Chance(0.1)) Strike(engine.VoiceTable[Between(0, VoiceCount - 1)]);
        if (Chance(0.1)) engine.VoiceTable[Between(0, VoiceCount - 1)].releaseStep = ReleaseStep();
    }
};

bool SameVoices(const Engine& a, const Engine& b) {
    for (int i = 0; i < VoiceCount; ++i) {
        const Voice& x = a.VoiceTable[i];
        const Voice& y = b.VoiceTable[i];
        if (x.active != y.active || x.level != y.level || x.releaseStep != y.releaseStep)
            return false;
    }
    return true;
}

}  // namespace

ComparisonReport CompareWithLiteral(RenderPath path, const ComparisonRuns& runs) {
    RunMaker maker{std::mt19937_64(runs.seed)};
    ComparisonReport report;
    for (int run = 0; run < runs.runs; ++run) {
        Engine engine = maker.StartRun(runs.maxCounter, runs.blocksPerRun);
        for (int block = 0; block < runs.blocksPerRun; ++block) {
            engine.PeakSample = 0.0;
            Engine literal = engine;
            Engine production = engine;
            int16_t expected[SamplesPerBlock];
            int16_t actual[SamplesPerBlock];
            const double literalFrequency = RenderSamplesLiteral(literal, Rate, expected);
            const double productionFrequency = RenderSamplesOn(path, production, Rate, actual);
            for (int j = 0; j < SamplesPerBlock; ++j) {
                const int difference = std::abs(expected[j] - actual[j]);
                report.identical += difference == 0;
                report.clipped += expected[j] == 32767 || expected[j] == -32767;
                report.maxDifference = std::max(report.maxDifference, difference);
            }
            report.samples += SamplesPerBlock;
            report.maxPeakDifference = std::max(
                report.maxPeakDifference, std::fabs(literal.PeakSample - production.PeakSample));
            DecayVoices(literal);
            DecayVoices(production);
            report.observableMismatches +=
                literalFrequency != productionFrequency || literal.ClipFlag != production.ClipFlag ||
                literal.SampleCounter != production.SampleCounter || !SameVoices(literal, production);
            ++report.blocks;
            engine = literal;
            maker.Play(engine);
        }
    }
    return report;
}

}  // namespace synth
