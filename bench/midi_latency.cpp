// The delay from a Note On to its sound, measured on the real program under JACK: a
// JACK client whose MIDI output the program opens as device 0 and whose audio input
// listens to the program's output. The program's output in a cycle reaches this client
// in the same cycle, so both the Note On's frame and the sound's frames are counted on
// the one timeline of the frames this client has processed. The notes are stamped at
// offsets spread over the period, as a player's would be.
//   midi_latency NOTES
// Prints "ready" once its MIDI port exists; the program must then start and open it.
#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "bench/latency_probe.h"
#include "bench/wait_for.h"

namespace {

constexpr uint8_t Note = 60;
const char* const ProgramOutput = "Kelvarin:outport 0";

jack_client_t* Client = nullptr;
jack_port_t* MidiOut = nullptr;
jack_port_t* AudioIn = nullptr;
LatencyProbe* Probe = nullptr;
int Notes = 0;
// Set by the main thread once the program is ready to play; until then the probe
// hears nothing.
std::atomic<bool> Armed{false};
std::atomic<bool> Finished{false};

int Process(jack_nframes_t frames, void*) {
    void* midi = jack_port_get_buffer(MidiOut, frames);
    jack_midi_clear_buffer(midi);
    if (!Armed.load(std::memory_order_acquire) || Finished.load(std::memory_order_relaxed)) return 0;
    const auto* in = static_cast<const float*>(jack_port_get_buffer(AudioIn, frames));
    const int64_t cycleStart = Probe->Position();
    const LatencyProbe::Action action = Probe->Listen(in, frames);
    if (action != LatencyProbe::Action::None) {
        const bool on = action == LatencyProbe::Action::NoteOn;
        const auto offset = static_cast<jack_nframes_t>(Probe->Delays().size() * frames / Notes);
        const uint8_t message[3] = {static_cast<uint8_t>(on ? 0x90 : 0x80), Note,
                                    static_cast<uint8_t>(on ? 127 : 0)};
        jack_midi_event_write(midi, offset, message, 3);
        if (on) Probe->NoteOnAt(cycleStart + offset);
    }
    if (Probe->Finished()) Finished.store(true, std::memory_order_release);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Notes = argc > 1 ? std::atoi(argv[1]) : 8;
    if (Notes <= 0) return 1;
    Client = jack_client_open("latency-probe", JackNoStartServer, nullptr);
    if (!Client) {
        std::fprintf(stderr, "no JACK server\n");
        return 1;
    }
    const int64_t rate = jack_get_sample_rate(Client);
    const int64_t period = jack_get_buffer_size(Client);
    LatencyProbe probe(LatencyProbe::Options::For(Notes, rate));
    Probe = &probe;

    MidiOut = jack_port_register(Client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    AudioIn = jack_port_register(Client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(Client, &Process, nullptr);
    if (!MidiOut || !AudioIn || jack_activate(Client) != 0) return 1;
    std::printf("ready\n");
    std::fflush(stdout);

    // The program opens our port at its start, and its output appears.
    if (!WaitFor(30, [] { return jack_port_connected(MidiOut) > 0; }) ||
        !WaitFor(10, [] { return jack_connect(Client, ProgramOutput, jack_port_name(AudioIn)) == 0; })) {
        std::fprintf(stderr, "the program did not open the MIDI port or has no output\n");
        return 1;
    }
    SleepMs(1000);  // the first refresh tick brings the weights in
    Armed.store(true, std::memory_order_release);
    // Each note takes its delay, a hold, the release's delay and a quarter second of quiet.
    const bool finished = WaitFor(Notes * 3.0 + 10, [] { return Finished.load(std::memory_order_acquire); });
    jack_client_close(Client);
    for (size_t n = 0; n < probe.Delays().size(); ++n)
        std::printf("note %zu: %lld samples\n", n + 1, static_cast<long long>(probe.Delays()[n]));
    if (!finished || probe.Failed()) {
        std::fprintf(stderr, "note %zu: no sound, or the output never fell silent, within 5 s\n",
                     probe.Delays().size() + 1);
        return 1;
    }
    std::printf("MIDI latency under JACK, period %lld frames, over %d notes: ", static_cast<long long>(period),
                Notes);
    PrintDelays(probe.Delays(), rate);
    return 0;
}
