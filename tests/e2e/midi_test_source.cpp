// A MIDI keyboard for the end-to-end tests: a JACK client with one MIDI output port that
// sends what it reads on its standard input, one command a line:
//   send STATUS [DATA1 [DATA2]]   one short message (decimal bytes)
//   flood N                       N Control Changes counting 1..N: controller i >> 7, value i & 127
//   strikes N RATE LOW HIGH       N Note Ons, RATE a second, on LOW..HIGH in turn, velocities 20..59
//   wait                          returns once everything so far is sent, then prints "sent"
// It prints "ready" once its port exists, and ends at the end of its input.
//   midi_test_source CLIENT_NAME
#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Sent per cycle at most, so a flood never overfills the port's buffer. Not a multiple
// of 10, so a lost cycle shows in a log that clears at every tenth message.
constexpr size_t MaxPerCycle = 193;
constexpr size_t Capacity = 1 << 16;

struct Message {
    uint8_t bytes[3];
    uint8_t size;
};

// Written by the input thread, read by the process callback.
Message Queue[Capacity];
std::atomic<size_t> Written{0};
std::atomic<size_t> Sent{0};
jack_port_t* Port = nullptr;

int Process(jack_nframes_t frames, void*) {
    void* buffer = jack_port_get_buffer(Port, frames);
    jack_midi_clear_buffer(buffer);
    size_t sent = Sent.load(std::memory_order_relaxed);
    const size_t written = Written.load(std::memory_order_acquire);
    for (size_t n = 0; sent < written && n < MaxPerCycle; ++n, ++sent) {
        const Message& message = Queue[sent % Capacity];
        if (jack_midi_event_write(buffer, 0, message.bytes, message.size) != 0) break;
    }
    Sent.store(sent, std::memory_order_release);
    return 0;
}

void Push(std::initializer_list<int> bytes) {
    while (Written.load() - Sent.load() >= Capacity) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Message& message = Queue[Written.load() % Capacity];
    message.size = 0;
    for (int byte : bytes) message.bytes[message.size++] = static_cast<uint8_t>(byte);
    Written.fetch_add(1, std::memory_order_release);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CLIENT_NAME\n", argv[0]);
        return 2;
    }
    jack_client_t* client = jack_client_open(argv[1], JackNoStartServer, nullptr);
    if (!client) {
        std::fprintf(stderr, "no JACK server\n");
        return 1;
    }
    Port = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client, &Process, nullptr);
    if (!Port || jack_activate(client) != 0) return 1;
    std::printf("ready\n");
    std::fflush(stdout);

    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (command == "send") {
            std::vector<int> bytes;
            for (int byte; words >> byte && bytes.size() < 3;) bytes.push_back(byte);
            if (bytes.size() == 1) Push({bytes[0]});
            if (bytes.size() == 2) Push({bytes[0], bytes[1]});
            if (bytes.size() == 3) Push({bytes[0], bytes[1], bytes[2]});
        } else if (command == "flood") {
            int count = 0;
            words >> count;
            for (int i = 1; i <= count; ++i) Push({0xB0, (i >> 7) & 0x7F, i & 0x7F});
        } else if (command == "strikes") {
            int count = 0, rate = 1, low = 0, high = 0;
            words >> count >> rate >> low >> high;
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < count && high >= low; ++i) {
                std::this_thread::sleep_until(start + std::chrono::microseconds(int64_t{1000000} * i / rate));
                Push({0x90, low + i % (high - low + 1), 20 + i % 40});
            }
        } else if (command == "wait") {
            while (Sent.load() != Written.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::printf("sent\n");
            std::fflush(stdout);
        }
    }
    jack_client_close(client);
    return 0;
}
