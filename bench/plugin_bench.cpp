// The plugin's run callback as a host calls it: runs of 128 frames at 44100 Hz, with 16
// and with 256 voices held and every weight at 100, a Note On in every run. Ends with
// the cost of one run against the 2.9 ms it plays, and the machine's load meanwhile,
// since the figures mean little on a machine that other work keeps busy.
#include <benchmark/benchmark.h>
#include <lv2/atom/atom.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

#include "plugin/lv2_plugin.h"
#include "plugin/ports.h"

namespace {

constexpr double Rate = 44100;
constexpr uint32_t RunFrames = 128;

LV2_URID Map(LV2_URID_Map_Handle, const char* uri) { return std::strcmp(uri, LV2_MIDI__MidiEvent) == 0 ? 1 : 2; }

// One MIDI event in a sequence of its own.
struct OneEvent {
    LV2_Atom_Sequence sequence;
    LV2_Atom_Event event;
    uint8_t bytes[8];
};

void Run128Frames(benchmark::State& state) {
    const LV2_Descriptor& plugin = plugin::Descriptor();
    LV2_URID_Map map = {nullptr, &Map};
    const LV2_Feature mapFeature = {LV2_URID__map, &map};
    const LV2_Feature* features[] = {&mapFeature, nullptr};
    LV2_Handle handle = plugin.instantiate(&plugin, Rate, "", features);
    float controls[plugin::PortCount];
    for (float& value : controls) value = 100;
    for (uint32_t port = plugin::FirstWeight; port <= plugin::Latency; ++port)
        plugin.connect_port(handle, port, &controls[port]);
    float out[RunFrames];
    plugin.connect_port(handle, plugin::AudioOut, out);
    OneEvent midi{};
    midi.sequence.atom = {sizeof(LV2_Atom_Sequence_Body) + sizeof(LV2_Atom_Event) + 8, 2};
    midi.event.body = {3, 1};
    plugin.connect_port(handle, plugin::MidiIn, &midi);
    plugin.activate(handle);
    // The voices, spread evenly over the 256 notes and held.
    const auto voices = static_cast<int>(state.range(0));
    for (int i = 0; i < voices; ++i) {
        const uint8_t strike[3] = {0x90, static_cast<uint8_t>(i * 256 / voices), 127};
        std::memcpy(midi.bytes, strike, 3);
        plugin.run(handle, 1);
    }
    int run = 0;
    for (auto _ : state) {
        // One of the voices struck again: every run carries an event.
        const uint8_t strike[3] = {0x90, static_cast<uint8_t>(run++ % voices * 256 / voices), 127};
        std::memcpy(midi.bytes, strike, 3);
        midi.event.time.frames = run % RunFrames;
        plugin.run(handle, RunFrames);
        benchmark::ClobberMemory();
    }
    plugin.cleanup(handle);
}
BENCHMARK(Run128Frames)->Arg(16)->Arg(256)->Unit(benchmark::kMillisecond);

class Recorder : public benchmark::ConsoleReporter {
public:
    struct Cost {
        double wallMs, cpuMs;
    };
    std::map<std::string, Cost> perRun;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const double toMs = 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            perRun[run.benchmark_name()] = {run.GetAdjustedRealTime() * toMs, run.GetAdjustedCPUTime() * toMs};
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

std::string LoadAverage() {
    std::string one, five, fifteen;
    std::ifstream("/proc/loadavg") >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const std::string loadBefore = LoadAverage();
    Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    benchmark::Shutdown();
    const double playsMs = RunFrames / Rate * 1e3;
    const Recorder::Cost at16 = recorder.perRun["Run128Frames/16"];
    const Recorder::Cost at256 = recorder.perRun["Run128Frames/256"];
    std::printf("plugin, one run of %u frames (%.2f ms of sound): 16 voices %.4f ms (%.1f%%), "
                "256 voices %.4f ms (%.1f%%) of wall time; of CPU time %.4f and %.4f ms; "
                "load average %s before, %s after\n",
                RunFrames, playsMs, at16.wallMs, 100 * at16.wallMs / playsMs, at256.wallMs,
                100 * at256.wallMs / playsMs, at16.cpuMs, at256.cpuMs, loadBefore.c_str(),
                LoadAverage().c_str());
    return 0;
}
