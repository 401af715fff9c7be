#pragma once
// A small LV2 host on lilv, as the tests use one: it loads the one plugin of the built
// bundle, instantiates it at a rate with the URID map it needs, and plays it a score of
// MIDI messages, cutting the score into runs of the sizes asked for.
#include <lilv/lilv.h>
#include <lv2/urid/urid.h>

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace plugin_test {

struct ScoreEvent {
    int64_t frame;  // from the start of the score
    std::vector<uint8_t> bytes;
};
using Score = std::vector<ScoreEvent>;  // in the order of their frames

class Lv2TestHost {
public:
    explicit Lv2TestHost(double rate);
    ~Lv2TestHost();
    Lv2TestHost(const Lv2TestHost&) = delete;
    Lv2TestHost& operator=(const Lv2TestHost&) = delete;

    const LilvPlugin* Plugin() const { return plugin_; }
    LilvWorld* World() const { return world_; }
    void SetControl(const char* symbol, float value);
    // frames of the plugin's sound, played in runs whose sizes repeat runSizes; a run of
    // 0 frames is a run all the same.
    std::vector<float> Play(const Score& score, int64_t frames, const std::vector<uint32_t>& runSizes);
    // One run of frames, with the events at the given frames of it; the output in out.
    void Run(const Score& events, uint32_t frames, float* out);
    // The same in two steps: the host's work, then the plugin's run alone.
    void Prepare(const Score& events);
    void RunPrepared(uint32_t frames, float* out);
    // What the plugin's latency port says.
    float Latency() const { return latency_; }

private:
    static LV2_URID Map(LV2_URID_Map_Handle self, const char* uri);
    uint32_t PortIndex(const char* symbol) const;
    void WriteSequence(const Score& events, int64_t firstFrame);

    LilvWorld* world_ = nullptr;
    const LilvPlugin* plugin_ = nullptr;
    LilvInstance* instance_ = nullptr;
    uint32_t midiPort_ = 0;
    uint32_t outPort_ = 0;
    LV2_URID_Map map_{this, &Map};
    LV2_Feature mapFeature_{LV2_URID__map, &map_};
    const LV2_Feature* features_[2] = {&mapFeature_, nullptr};
    std::unordered_map<std::string, LV2_URID> urids_;
    std::vector<float> controls_;
    std::vector<uint64_t> sequence_;  // 64-bit aligned, as atoms are
    float latency_ = -1.0f;
};

}  // namespace plugin_test
