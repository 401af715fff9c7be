#include "platform/desktop/audio/jack_output.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace platform::desktop {
namespace {

// The client's ports, as others see them: "Kelvarin:outport 0".
std::string PortName(unsigned index) { return "outport " + std::to_string(index); }

// The system's playback ports, or null; freed with jack_free.
const char** PlaybackPorts(jack_client_t* client) {
    return jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput);
}

unsigned Count(const char** ports) {
    unsigned count = 0;
    while (ports && ports[count]) ++count;
    return count;
}

}  // namespace

std::unique_ptr<JackOutput> JackOutput::Open(const char* name, unsigned maxPorts, OpenResult& result) {
    // libjack prints every failed attempt to reach a server, and no server is no fault:
    // the next sound system is tried.
    jack_set_error_function([](const char*) {});
    jack_status_t status{};
    jack_client_t* client = jack_client_open(name, JackNoStartServer, &status);
    if (!client) {
        result = (status & JackServerFailed) ? OpenResult::NoServer : OpenResult::Failed;
        return nullptr;
    }
    std::unique_ptr<JackOutput> output(new JackOutput(client));
    result = OpenResult::Failed;
    const char** playback = PlaybackPorts(client);
    output->portCount_ = std::min({Count(playback), maxPorts, MaxPorts});
    jack_free(playback);
    if (output->portCount_ == 0) {
        std::fprintf(stderr, "Kelvarin: audio output: the JACK server has no playback ports\n");
        return nullptr;
    }
    for (unsigned i = 0; i < output->portCount_; ++i) {
        output->ports_[i] = jack_port_register(client, PortName(i).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                               JackPortIsOutput, 0);
        if (!output->ports_[i]) {
            std::fprintf(stderr, "Kelvarin: audio output: JACK refused the port %s\n", PortName(i).c_str());
            return nullptr;
        }
    }
    jack_on_info_shutdown(client, &OnShutdown, output.get());
    result = OpenResult::Opened;
    return output;
}

JackOutput::~JackOutput() { jack_client_close(client_); }

bool JackOutput::Start(Render render, void* user) {
    render_ = render;
    user_ = user;
    if (jack_set_process_callback(client_, &Process, this) != 0 || jack_activate(client_) != 0) {
        std::fprintf(stderr, "Kelvarin: audio output: JACK did not start the client\n");
        return false;
    }
    const char** playback = PlaybackPorts(client_);
    bool joined = Count(playback) >= portCount_;
    for (unsigned i = 0; joined && i < portCount_; ++i)
        joined = jack_connect(client_, jack_port_name(ports_[i]), playback[i]) == 0;
    jack_free(playback);
    if (!joined) std::fprintf(stderr, "Kelvarin: audio output: JACK did not join the playback ports\n");
    return joined;
}

unsigned JackOutput::PlaybackLatencyFrames() const {
    jack_latency_range_t range{};
    jack_port_get_latency_range(ports_[0], JackPlaybackLatency, &range);
    return range.max;
}

int JackOutput::Process(jack_nframes_t frames, void* data) {
    auto& self = *static_cast<JackOutput*>(data);
    auto* first = static_cast<float*>(jack_port_get_buffer(self.ports_[0], frames));
    self.render_(first, frames, self.user_);
    for (unsigned i = 1; i < self.portCount_; ++i)
        std::copy_n(first, frames, static_cast<float*>(jack_port_get_buffer(self.ports_[i], frames)));
    return 0;
}

// On the thread that JACK tells the news on: only the mark, nothing that closes.
void JackOutput::OnShutdown(jack_status_t, const char*, void* data) {
    static_cast<JackOutput*>(data)->lost_.store(true, std::memory_order_release);
}

}  // namespace platform::desktop
