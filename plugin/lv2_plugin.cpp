#include "plugin/lv2_plugin.h"

#include <lv2/atom/atom.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>

#include "plugin/atom_events.h"
#include "plugin/block_player.h"
#include "plugin/controls.h"
#include "plugin/midi_notes.h"
#include "plugin/ports.h"

namespace plugin {

namespace {

// Rendering as the blocks fall due holds nothing back (block_player.h).
constexpr float AddedLatency = 0.0f;
// Beyond this a host's rate is no audio rate; the renderer's phase wants 32 bits.
constexpr double HighestRate = 1e7;

struct Instance {
    explicit Instance(uint32_t rate, LV2_URID midiEvent) : player(rate), midiEvent(midiEvent) {}

    float Control(uint32_t port) const { return *static_cast<const float*>(ports[port]); }

    BlockPlayer player;
    LV2_URID midiEvent;
    std::array<void*, PortCount> ports{};  // as the host connected them, by index
};

LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const* features) {
    const LV2_URID_Map* map = nullptr;
    for (int i = 0; features && features[i]; ++i)
        if (std::strcmp(features[i]->URI, LV2_URID__map) == 0)
            map = static_cast<const LV2_URID_Map*>(features[i]->data);
    if (!map || !(rate >= 1.0 && rate <= HighestRate)) return nullptr;
    return new (std::nothrow)
        Instance(static_cast<uint32_t>(std::lround(rate)), map->map(map->handle, LV2_MIDI__MidiEvent));
}

void ConnectPort(LV2_Handle handle, uint32_t port, void* data) {
    if (port < PortCount) static_cast<Instance*>(handle)->ports[port] = data;
}

void Activate(LV2_Handle handle) { static_cast<Instance*>(handle)->player.Reset(); }

// Plays the events in the order the host wrote them, each at its frame; one before a
// frame already played, or past the run, is played where the run then stands.
void Run(LV2_Handle handle, uint32_t frames) {
    auto& instance = *static_cast<Instance*>(handle);
    if (auto* latency = static_cast<float*>(instance.ports[Latency])) *latency = AddedLatency;
    float weights[synth::PartialCount];
    for (int i = 0; i < synth::PartialCount; ++i) weights[i] = instance.Control(FirstWeight + i);
    synth::Engine& engine = instance.player.engine;
    const int32_t amplitude =
        ApplyControls(engine, weights, instance.Control(Release), instance.Control(Amplitude));
    auto* out = static_cast<float*>(instance.ports[AudioOut]);
    const auto& midiIn = *static_cast<const LV2_Atom_Sequence*>(instance.ports[MidiIn]);
    uint32_t played = 0;
    ForEachEvent(midiIn, [&](const AtomEvent& event) {
        if (event.type != instance.midiEvent) return;
        const auto at = static_cast<uint32_t>(std::clamp<int64_t>(event.frames, played, frames));
        instance.player.Render(out + played, at - played);
        played = at;
        PlayMidiMessage(engine, event.body, event.size, amplitude);
    });
    instance.player.Render(out + played, frames - played);
}

void Cleanup(LV2_Handle handle) { delete static_cast<Instance*>(handle); }

const void* ExtensionData(const char*) { return nullptr; }

const LV2_Descriptor KelvarinDescriptor = {
    KELVARIN_LV2_URI, Instantiate, ConnectPort, Activate, Run, nullptr, Cleanup, ExtensionData,
};

}  // namespace

const LV2_Descriptor& Descriptor() { return KelvarinDescriptor; }

}  // namespace plugin
