// The renderer at 1, 8, 32 and 256 voices with every weight at 100, the literal renderer
// beside the production one, then a long randomised comparison of the two. Ends with
// the line that sums it up.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "synth/block_renderer.h"
#include "reference/literal_renderer.h"
#include "reference/render_comparison.h"

namespace {

using synth::Engine;

constexpr uint32_t Rate = 44100;

// count voices spread evenly over the 256 notes, all held, every weight at 100.
Engine FullWeights(int count) {
    Engine engine;
    engine.HarmonicWeights.fill(100);
    for (int i = 0; i < count; ++i) engine.VoiceTable[i * synth::VoiceCount / count] = {1, 0.0, 100.0};
    return engine;
}

template <class Render>
void RenderBlocks(benchmark::State& state, Render render) {
    Engine engine = FullWeights(static_cast<int>(state.range(0)));
    int16_t out[synth::SamplesPerBlock];
    for (auto _ : state) {
        benchmark::DoNotOptimize(render(engine, out));
        synth::DecayVoices(engine);
        benchmark::ClobberMemory();
    }
}

void Literal(benchmark::State& state) {
    RenderBlocks(state, [](Engine& e, int16_t* out) { return synth::RenderSamplesLiteral(e, Rate, out); });
}
void Production(benchmark::State& state) {
    RenderBlocks(state, [](Engine& e, int16_t* out) { return synth::RenderSamples(e, Rate, out); });
}
void ProductionSse2(benchmark::State& state) {
    RenderBlocks(state, [](Engine& e, int16_t* out) {
        return synth::RenderSamplesOn(synth::RenderPath::Sse2, e, Rate, out);
    });
}
BENCHMARK(Literal)->Arg(1)->Arg(8)->Arg(32)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(Production)->Arg(1)->Arg(8)->Arg(32)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(ProductionSse2)->Arg(256)->Unit(benchmark::kMillisecond);

// Keeps the milliseconds per block of every run while printing as usual.
class Recorder : public benchmark::ConsoleReporter {
   public:
    std::map<std::string, double> msPerBlock;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            msPerBlock[run.benchmark_name()] = run.GetAdjustedRealTime() /
                                               benchmark::GetTimeUnitMultiplier(run.time_unit) *
                                               1e3;
        ConsoleReporter::ReportRuns(runs);
    }
};

synth::ComparisonReport Compare(synth::RenderPath path, uint64_t seed, int runs, int32_t maxCounter) {
    const synth::ComparisonReport report = synth::CompareWithLiteral(path, {seed, runs, 20, maxCounter});
    std::printf("counters up to %d: %lld samples (%lld clipped), %lld identical, max diff %d LSB, "
                "%lld of %lld blocks with another Freq, ClipFlag, SampleCounter or voice table, "
                "PeakSample within %.3g\n",
                maxCounter, static_cast<long long>(report.samples),
                static_cast<long long>(report.clipped), static_cast<long long>(report.identical),
                report.maxDifference, static_cast<long long>(report.observableMismatches),
                static_cast<long long>(report.blocks), report.maxPeakDifference);
    return report;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const bool avx2 = synth::RenderPathSupported(synth::RenderPath::Avx2Fma);
    std::printf("production path: %s\n", avx2 ? "AVX2+FMA" : "SSE2");
    Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    benchmark::Shutdown();

    const auto path = avx2 ? synth::RenderPath::Avx2Fma : synth::RenderPath::Sse2;
    std::printf("comparing with the literal renderer over randomised runs of 20 blocks...\n");
    const synth::ComparisonReport hours = Compare(path, 20240601, 1000, 100000000);
    const synth::ComparisonReport limit = Compare(path, 20240602, 300, 1 << 30);
    const double production = recorder.msPerBlock["Production/256"];
    const double literal = recorder.msPerBlock["Literal/256"];
    std::printf("full polyphony: %.4f ms/block, literal: %.3f ms/block, speed-up: %.0f\u00d7, "
                "identical: %.4f%%, max diff: %d LSB\n",
                production, literal, literal / production,
                100.0 * static_cast<double>(hours.identical) / static_cast<double>(hours.samples),
                hours.maxDifference > limit.maxDifference ? hours.maxDifference : limit.maxDifference);
    return 0;
}
