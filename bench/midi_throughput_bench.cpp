// How many incoming MIDI messages the dialog handles per second: each one logged,
// counted, played and exchanged with the fields, on the simulated platform. Every batch
// of 1,000 messages also renders the 44 blocks that play while 1,000 messages arrive at
// 10,000 a second, so a result above 10,000 per second means the dialog keeps up.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "app/main_dialog.h"
#include "app/program_state.h"
#include "platform/sim/sim_platform.h"

namespace {

constexpr int Batch = 1000;
constexpr int BlocksPerBatch = 44;  // 100 ms at 44,100 Hz in blocks of 100 samples
double MessagesPerSecond = 0;

// Note On, Control Change and Note Off in turn, over four octaves.
void ReceiveOne(sim::SimMidiIn& midi, int i) {
    const auto note = static_cast<uint8_t>(36 + i % 48);
    switch (i % 3) {
        case 0: midi.Receive(0x90, note, 100); break;
        case 1: midi.Receive(0xB0, 1, static_cast<uint8_t>(i & 0x7F)); break;
        default: midi.Receive(0x80, note, 0); break;
    }
}

void DialogHandlesMidi(benchmark::State& state) {
    sim::SimPlatform sim;
    sim.Midi().AddDevice("Bench keyboard");
    app::ProgramState program(sim.GetFiles());
    app::MainDialog dialog(sim, program);
    sim.Open(dialog);
    sim.FireTimer(1);  // the weights reach the engine, so notes really sound
    sim.Pump();
    int sent = 0;
    for (auto _ : state) {
        for (int i = 0; i < Batch; ++i) {
            ReceiveOne(sim.Midi(), sent++);
            sim.Pump();
            if (i % (Batch / BlocksPerBatch) == 0) {
                sim.Wave().CompleteBlocks(1);
                sim.Pump();
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * Batch);
    benchmark::DoNotOptimize(program.MidiMessageCount);
}
BENCHMARK(DialogHandlesMidi)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Keeps the measured rate for the summary line.
class RateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const auto rate = run.counters.find("items_per_second");
            if (rate != run.counters.end()) MessagesPerSecond = rate->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("MIDI input: %.0f messages/s handled, %.1f times the 10,000 needed\n", MessagesPerSecond,
                MessagesPerSecond / 10000.0);
    return 0;
}
