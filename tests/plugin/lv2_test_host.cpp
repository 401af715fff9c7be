#include "lv2_test_host.h"

#include <lv2/atom/atom.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>

#include <cstring>
#include <stdexcept>

namespace plugin_test {

namespace {

constexpr size_t Aligned(size_t bytes) { return (bytes + 7) / 8 * 8; }

}  // namespace

Lv2TestHost::Lv2TestHost(double rate) {
    world_ = lilv_world_new();
    LilvNode* bundle = lilv_new_file_uri(world_, nullptr, KELVARIN_LV2_BUNDLE);
    lilv_world_load_bundle(world_, bundle);
    lilv_node_free(bundle);
    const LilvPlugins* plugins = lilv_world_get_all_plugins(world_);
    if (lilv_plugins_size(plugins) != 1) throw std::runtime_error("the bundle holds no single plugin");
    plugin_ = lilv_plugins_get(plugins, lilv_plugins_begin(plugins));

    instance_ = lilv_plugin_instantiate(plugin_, rate, features_);
    if (!instance_) throw std::runtime_error("the plugin did not instantiate");

    const uint32_t ports = lilv_plugin_get_num_ports(plugin_);
    controls_.assign(ports, 0.0f);
    std::vector<float> defaults(ports);
    lilv_plugin_get_port_ranges_float(plugin_, nullptr, nullptr, defaults.data());
    LilvNode* control = lilv_new_uri(world_, LV2_CORE__ControlPort);
    LilvNode* input = lilv_new_uri(world_, LV2_CORE__InputPort);
    for (uint32_t i = 0; i < ports; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin_, i);
        if (!lilv_port_is_a(plugin_, port, control)) continue;
        if (lilv_port_is_a(plugin_, port, input)) {
            controls_[i] = defaults[i];
            lilv_instance_connect_port(instance_, i, &controls_[i]);
        } else {
            lilv_instance_connect_port(instance_, i, &latency_);
        }
    }
    lilv_node_free(control);
    lilv_node_free(input);
    midiPort_ = PortIndex("midi_in");
    outPort_ = PortIndex("out");
    lilv_instance_activate(instance_);
}

Lv2TestHost::~Lv2TestHost() {
    if (instance_) {
        lilv_instance_deactivate(instance_);
        lilv_instance_free(instance_);
    }
    lilv_world_free(world_);
}

LV2_URID Lv2TestHost::Map(LV2_URID_Map_Handle self, const char* uri) {
    auto& urids = static_cast<Lv2TestHost*>(self)->urids_;
    return urids.emplace(uri, static_cast<LV2_URID>(urids.size() + 1)).first->second;
}

uint32_t Lv2TestHost::PortIndex(const char* symbol) const {
    LilvNode* name = lilv_new_string(world_, symbol);
    const LilvPort* port = lilv_plugin_get_port_by_symbol(plugin_, name);
    lilv_node_free(name);
    if (!port) throw std::runtime_error(std::string("no port ") + symbol);
    return lilv_port_get_index(plugin_, port);
}

void Lv2TestHost::SetControl(const char* symbol, float value) { controls_[PortIndex(symbol)] = value; }

void Lv2TestHost::WriteSequence(const Score& events, int64_t firstFrame) {
    size_t bytes = sizeof(LV2_Atom_Sequence);
    for (const ScoreEvent& event : events) bytes += sizeof(LV2_Atom_Event) + Aligned(event.bytes.size());
    sequence_.assign(bytes / 8, 0);
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(sequence_.data());
    sequence->atom = {static_cast<uint32_t>(bytes - sizeof(LV2_Atom)), Map(this, LV2_ATOM__Sequence)};
    auto* at = reinterpret_cast<uint8_t*>(sequence + 1);
    for (const ScoreEvent& event : events) {
        auto* header = reinterpret_cast<LV2_Atom_Event*>(at);
        header->time.frames = event.frame - firstFrame;
        header->body = {static_cast<uint32_t>(event.bytes.size()), Map(this, LV2_MIDI__MidiEvent)};
        std::memcpy(header + 1, event.bytes.data(), event.bytes.size());
        at += sizeof(LV2_Atom_Event) + Aligned(event.bytes.size());
    }
}

void Lv2TestHost::Run(const Score& events, uint32_t frames, float* out) {
    Prepare(events);
    RunPrepared(frames, out);
}

void Lv2TestHost::Prepare(const Score& events) { WriteSequence(events, 0); }

void Lv2TestHost::RunPrepared(uint32_t frames, float* out) {
    lilv_instance_connect_port(instance_, midiPort_, sequence_.data());
    lilv_instance_connect_port(instance_, outPort_, out);
    lilv_instance_run(instance_, frames);
}

std::vector<float> Lv2TestHost::Play(const Score& score, int64_t frames,
                                     const std::vector<uint32_t>& runSizes) {
    std::vector<float> out(static_cast<size_t>(frames));
    auto next = score.begin();
    size_t run = 0;
    for (int64_t start = 0; start < frames; ++run) {
        const int64_t size = std::min<int64_t>(runSizes[run % runSizes.size()], frames - start);
        Score events;
        for (; next != score.end() && next->frame < start + size; ++next)
            events.push_back({next->frame - start, next->bytes});
        Run(events, static_cast<uint32_t>(size), out.data() + start);
        start += size;
    }
    return out;
}

}  // namespace plugin_test
