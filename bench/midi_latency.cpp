// The delay from a Note On to its sound, measured on the real program: a JACK client
// whose MIDI output the program opens as device 0 and whose audio input listens to the
// program's output. Each Note On goes out at the first frame of a cycle; the delay is
// counted in frames from there to the first frame whose level passes a threshold.
//   midi_latency NOTES
// Prints "ready" once its MIDI port exists; the program must then start and open it.
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr float Threshold = 0.003f;  // about 100 in 16-bit units; a struck note 60 peaks near 4000
constexpr uint8_t Note = 60;
const char* const ProgramOutput = "Kelvarin:outport 0";

jack_client_t* Client = nullptr;
jack_port_t* MidiOut = nullptr;
jack_port_t* AudioIn = nullptr;

// Set by the main thread, taken by the process callback.
std::atomic<int> Pending{0};  // 0 nothing, 1 Note On, 2 Note Off
// Set by the process callback.
std::atomic<bool> Listening{false};
std::atomic<int64_t> SentFrame{0};
std::atomic<int64_t> Delay{-1};
std::atomic<int64_t> QuietFrames{0};  // frames in a row below the threshold

int Process(jack_nframes_t frames, void*) {
    void* midi = jack_port_get_buffer(MidiOut, frames);
    jack_midi_clear_buffer(midi);
    const int64_t cycleStart = jack_last_frame_time(Client);
    if (const int pending = Pending.exchange(0); pending != 0) {
        const uint8_t message[3] = {static_cast<uint8_t>(pending == 1 ? 0x90 : 0x80), Note,
                                    static_cast<uint8_t>(pending == 1 ? 127 : 0)};
        jack_midi_event_write(midi, 0, message, 3);
        if (pending == 1) {
            SentFrame = cycleStart;
            Delay = -1;
            Listening = true;
        }
    }
    const auto* in = static_cast<const float*>(jack_port_get_buffer(AudioIn, frames));
    for (jack_nframes_t i = 0; i < frames; ++i) {
        const bool loud = std::fabs(in[i]) > Threshold;
        QuietFrames = loud ? 0 : QuietFrames + 1;
        if (loud && Listening) {
            Delay = cycleStart + i - SentFrame;
            Listening = false;
        }
    }
    return 0;
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Waits up to seconds for done(); false when it never came.
template <typename Done>
bool WaitFor(double seconds, Done done) {
    for (int i = 0; i < seconds * 100; ++i) {
        if (done()) return true;
        Sleep(10);
    }
    return done();
}

}  // namespace

int main(int argc, char** argv) {
    const int notes = argc > 1 ? std::atoi(argv[1]) : 8;
    Client = jack_client_open("latency-probe", JackNoStartServer, nullptr);
    if (!Client) {
        std::fprintf(stderr, "no JACK server\n");
        return 1;
    }
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
    const int64_t rate = jack_get_sample_rate(Client);
    const int64_t period = jack_get_buffer_size(Client);
    Sleep(1000);  // the first refresh tick brings the weights in

    std::vector<int64_t> delays;
    for (int n = 0; n < notes; ++n) {
        if (!WaitFor(10, [rate] { return QuietFrames.load() > rate / 4; })) break;
        Pending = 1;
        if (!WaitFor(3, [] { return Delay.load() >= 0; })) {
            std::fprintf(stderr, "note %d: no sound within 3 s\n", n + 1);
            return 1;
        }
        delays.push_back(Delay.load());
        std::printf("note %d: %lld samples\n", n + 1, static_cast<long long>(delays.back()));
        Sleep(300);
        Pending = 2;
    }
    jack_client_close(Client);
    if (delays.size() != static_cast<size_t>(notes)) {
        std::fprintf(stderr, "the output never fell silent between notes\n");
        return 1;
    }
    std::sort(delays.begin(), delays.end());
    double sum = 0;
    for (int64_t d : delays) sum += static_cast<double>(d);
    std::printf("MIDI latency over %d notes: min %lld, median %lld, max %lld, mean %.0f samples "
                "(%.1f ms at %lld Hz, JACK period %lld)\n",
                notes, static_cast<long long>(delays.front()),
                static_cast<long long>(delays[delays.size() / 2]), static_cast<long long>(delays.back()),
                sum / notes, 1000.0 * sum / notes / static_cast<double>(rate), static_cast<long long>(rate),
                static_cast<long long>(period));
    return 0;
}
