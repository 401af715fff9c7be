// How many incoming MIDI messages the dialog handles per second: each one logged,
// counted, played and exchanged with the fields, on the simulated platform. Every batch
// of 1,000 messages also renders the 44 blocks that play while 1,000 messages arrive at
// 10,000 a second, so a result above 10,000 per second means the dialog keeps up. Then
// the same for a flood of Control Changes on a controller a slider follows, with notes
// struck and let go among them and the refresh tick at its rate: every note must sound
// and be let go.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "app/main_dialog.h"
#include "app/program_state.h"
#include "platform/sim/sim_platform.h"
#include "res/control_ids.h"

namespace {

constexpr int Batch = 1000;
constexpr int BlocksPerBatch = 44;  // 100 ms at 44,100 Hz in blocks of 100 samples
constexpr int TicksPerBatch = 1;    // the refresh tick runs about 12 times in 1,000 ms
constexpr int NoteEvery = 100;      // messages: a Note On, 50 later its Note Off
constexpr uint8_t FollowedController = 20;
std::map<std::string, double> MessagesPerSecond;  // by benchmark
long NotesSent = 0;
long NotesDropped = 0;

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

void DialogFollowsAControllerFlood(benchmark::State& state) {
    sim::SimPlatform sim;
    sim.Midi().AddDevice("Bench controller");
    app::ProgramState program(sim.GetFiles());
    app::MainDialog dialog(sim, program);
    sim::SimWindow& window = sim.Open(dialog);
    window.RightClickSlider(res::IDC_SLIDER_2);  // slider "2" learns the controller
    sim.Pump();
    sim.Midi().Receive(0xB0, FollowedController, 0);
    sim.Pump();
    sim.FireTimer(1);
    sim.Pump();
    const synth::VoiceArray& voices = program.engine.VoiceTable;
    int sent = 0;
    for (auto _ : state) {
        for (int i = 0; i < Batch; ++i, ++sent) {
            const auto note = static_cast<uint8_t>(36 + sent / NoteEvery % 48);
            if (sent % NoteEvery == 0) {
                sim.Midi().Receive(0x90, note, 100);
                sim.Pump();
                ++NotesSent;
                NotesDropped += voices[note].active == 0 || voices[note].releaseStep != 0.0;
            } else if (sent % NoteEvery == NoteEvery / 2) {
                sim.Midi().Receive(0x80, note, 0);
                sim.Pump();
                NotesDropped += voices[note].releaseStep == 0.0;
            } else {
                sim.Midi().Receive(0xB0, FollowedController, static_cast<uint8_t>(sent & 0x7F));
                sim.Pump();
            }
            if (i % (Batch / BlocksPerBatch) == 0) {
                sim.Wave().CompleteBlocks(1);
                sim.Pump();
            }
            if (i % (Batch / TicksPerBatch) == 0) {
                sim.FireTimer(1);
                sim.Pump();
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * Batch);
    benchmark::DoNotOptimize(program.MidiMessageCount);
}
BENCHMARK(DialogFollowsAControllerFlood)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Keeps the measured rate for the summary line.
class RateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const auto rate = run.counters.find("items_per_second");
            if (rate != run.counters.end())
                MessagesPerSecond[run.run_name.function_name] = rate->second.value;
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
    const double notes = MessagesPerSecond["DialogHandlesMidi"];
    const double flood = MessagesPerSecond["DialogFollowsAControllerFlood"];
    std::printf("MIDI input: %.0f messages/s handled, %.1f times the 10,000 needed\n", notes,
                notes / 10000.0);
    std::printf("Controller flood on a followed slider: %.0f messages/s handled, %.1f times the "
                "10,000 needed; notes dropped: %ld of %ld\n",
                flood, flood / 10000.0, NotesDropped, NotesSent);
    return 0;
}
