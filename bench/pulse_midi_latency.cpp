// The delay from a Note On to its sound when the program plays through PulseAudio: a
// JACK client without audio ports sends the Note On (the JACK server carries MIDI only,
// so the program's output goes to PulseAudio), and a PulseAudio recorder listens to the
// null sink's monitor. Both are timed on PulseAudio's clock, the monotonic one: the
// Note On when this client hands it to the JACK server (the program's MIDI client
// takes it later in the same cycle), each recorded sample at the moment the recorder
// read it, less the latency that PulseAudio reports for the recording then.
// The spread of that reckoning over the run is printed as the uncertainty.
//   pulse_midi_latency NOTES
// Prints "ready" once its MIDI port exists; the program must then start and open it.
#include <jack/jack.h>
#include <jack/midiport.h>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "bench/latency_probe.h"
#include "bench/recording_timeline.h"
#include "bench/wait_for.h"

namespace {

constexpr uint8_t Note = 60;
constexpr int64_t Rate = 44100;
constexpr size_t ChunkFrames = 220;  // 5 ms: how often the recorder reads
constexpr int64_t SettleFrames = Rate;  // the recording's timing settles in its first second
const char* const Monitor = "null.monitor";

jack_client_t* Client = nullptr;
jack_port_t* MidiOut = nullptr;
// The recorder asks for a message; the process callback sends it in its next cycle
// and, for a Note On, gives back when it did on the monotonic clock.
std::atomic<int> Pending{0};  // 0 nothing, else the status byte
std::atomic<int64_t> SentMicros{-1};

int64_t NowMicros() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1000000 + now.tv_nsec / 1000;
}

int Process(jack_nframes_t frames, void*) {
    void* midi = jack_port_get_buffer(MidiOut, frames);
    jack_midi_clear_buffer(midi);
    if (const int status = Pending.exchange(0); status != 0) {
        const uint8_t message[3] = {static_cast<uint8_t>(status), Note, static_cast<uint8_t>(status == 0x90 ? 127 : 0)};
        jack_midi_event_write(midi, 0, message, 3);
        if (status == 0x90) SentMicros = NowMicros();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int notes = argc > 1 ? std::atoi(argv[1]) : 8;
    if (notes <= 0) return 1;
    Client = jack_client_open("latency-probe", JackNoStartServer, nullptr);
    if (!Client) {
        std::fprintf(stderr, "no JACK server\n");
        return 1;
    }
    MidiOut = jack_port_register(Client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(Client, &Process, nullptr);
    if (!MidiOut || jack_activate(Client) != 0) return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    if (!WaitFor(30, [] { return jack_port_connected(MidiOut) > 0; })) {
        std::fprintf(stderr, "the program did not open the MIDI port\n");
        return 1;
    }
    SleepMs(1000);  // the first refresh tick brings the weights in

    const pa_sample_spec format{PA_SAMPLE_FLOAT32LE, static_cast<uint32_t>(Rate), 1};
    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.fragsize = ChunkFrames * sizeof(float);
    int error = 0;
    pa_simple* recorder = pa_simple_new(nullptr, "latency-probe", PA_STREAM_RECORD, Monitor, "output",
                                        &format, nullptr, &attributes, &error);
    if (!recorder) {
        std::fprintf(stderr, "cannot record %s: %s\n", Monitor, pa_strerror(error));
        return 1;
    }
    LatencyProbe probe(LatencyProbe::Options::For(notes, Rate));
    RecordingTimeline timeline(Rate);
    std::array<float, ChunkFrames> chunk{};
    pa_usec_t latencyMost = 0;
    int64_t recorded = 0;
    int64_t probeStart = -1;  // where the probe's first sample lies in the recording
    while (!probe.Finished()) {
        if (pa_simple_read(recorder, chunk.data(), sizeof chunk, &error) < 0) break;
        const int64_t readMicros = NowMicros();
        const pa_usec_t latency = pa_simple_get_latency(recorder, &error);
        const int64_t chunkStart = recorded;
        recorded += ChunkFrames;
        const bool settled = chunkStart >= SettleFrames;
        timeline.Read(recorded, readMicros, static_cast<int64_t>(latency), settled);
        if (!settled) continue;
        if (probeStart < 0) probeStart = chunkStart;
        latencyMost = std::max(latencyMost, latency);
        const LatencyProbe::Action action = probe.Listen(chunk.data(), chunk.size());
        if (action == LatencyProbe::Action::NoteOff) Pending = 0x80;
        if (action != LatencyProbe::Action::NoteOn) continue;
        SentMicros = -1;
        Pending = 0x90;
        if (!WaitFor(1, [] { return SentMicros.load() >= 0; })) break;
        probe.NoteOnAt(timeline.PositionOf(SentMicros.load()) - probeStart);
    }
    pa_simple_free(recorder);
    jack_client_close(Client);
    for (size_t n = 0; n < probe.Delays().size(); ++n)
        std::printf("note %zu: %lld samples\n", n + 1, static_cast<long long>(probe.Delays()[n]));
    if (!probe.Finished() || probe.Failed()) {
        std::fprintf(stderr, "note %zu: no sound, or the output never fell silent, within 5 s\n",
                     probe.Delays().size() + 1);
        return 1;
    }
    std::printf("MIDI latency under PulseAudio over %d notes: ", notes);
    PrintDelays(probe.Delays(), Rate);
    std::printf("the recorder's reckoning of its samples' times moved over %.1f ms; it reported a latency "
                "of up to %.1f ms, taken off\n",
                static_cast<double>(timeline.SpreadMicros()) / 1000.0,
                static_cast<double>(latencyMost) / 1000.0);
    return 0;
}
