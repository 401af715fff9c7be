#pragma once
// The wave output's own JACK client: output ports "outport 0" and, on a stereo system,
// "outport 1", joined to the system's playback ports and fed one mono signal. When the
// server goes away, JACK's thread that says so only marks the client lost; the owner
// closes it later. Closing a client cancels JACK's threads at whatever instruction they
// stand, so closing it from that very moment, as RtAudio's JACK support does, can cancel
// the thread still inside the shutdown callback's C++ code, and that ends the process.
#include <jack/jack.h>

#include <array>
#include <atomic>
#include <memory>

namespace platform::desktop {

class JackOutput {
public:
    // JACK's process thread: fills out with frames mono samples.
    using Render = void (*)(float* out, unsigned frames, void* user);
    enum class OpenResult { NoServer, Failed, Opened };

    // Opens a client named name with as many output ports as the system has playback
    // ports, at most maxPorts; it plays nothing before Start. Null unless Opened.
    static std::unique_ptr<JackOutput> Open(const char* name, unsigned maxPorts, OpenResult& result);
    // Closes the client, which may wait as long as the server does.
    ~JackOutput();
    JackOutput(const JackOutput&) = delete;
    JackOutput& operator=(const JackOutput&) = delete;

    unsigned Rate() const { return jack_get_sample_rate(client_); }
    unsigned PeriodFrames() const { return jack_get_buffer_size(client_); }
    // Once started: the frames from the client's output to the playback ports' sound,
    // as the server reckons them.
    unsigned PlaybackLatencyFrames() const;
    // Activates the client with render as its process callback and joins its ports to
    // the playback ports. False when the server refused either.
    bool Start(Render render, void* user);
    // True once the server has ended the client.
    bool Lost() const { return lost_.load(std::memory_order_acquire); }

private:
    static constexpr unsigned MaxPorts = 2;

    explicit JackOutput(jack_client_t* client) : client_(client) {}
    static int Process(jack_nframes_t frames, void* self);
    static void OnShutdown(jack_status_t code, const char* reason, void* self);

    jack_client_t* client_;
    std::array<jack_port_t*, MaxPorts> ports_{};
    unsigned portCount_ = 0;
    Render render_ = nullptr;
    void* user_ = nullptr;
    std::atomic<bool> lost_{false};
};

}  // namespace platform::desktop
