// The plugin as hosts use it: loaded from its bundle through lilv and played a score,
// which must sound exactly as the engine driven by hand sounds it, however the host
// cuts its runs; the pitch and level right at every usual rate; its controls the
// window's, clamped to their ranges; and runs that take no memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>

#include "lv2_test_host.h"
#include "synth/block_renderer.h"
#include "synth/note_control.h"
#include "tests/e2e/tone_measure.h"

namespace {

// Every C++ allocation counts while Counting is set, the plugin's included: the test
// program exports these, and the plugin's binary takes them as the process's own.
std::atomic<bool> Counting{false};
std::atomic<int> Allocations{0};

}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (Counting.load()) Allocations.fetch_add(1);
    return std::malloc(size ? size : 1);
}
void* operator new(std::size_t size) {
    if (void* memory = operator new(size, std::nothrow)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

using plugin_test::Lv2TestHost;
using plugin_test::Score;

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

// The weight controls in the window's order, from left to right, and the partial each
// one weighs: sub-harmonics 1/6 to 1/2, the fundamental, harmonics 2 to 6.
constexpr const char* WeightSymbols[synth::PartialCount] = {"sub6", "sub5", "sub4", "sub3", "sub2", "base",
                                                            "h2",   "h3",   "h4",   "h5",   "h6"};
constexpr int WeightPartials[synth::PartialCount] = {10, 9, 8, 7, 6, 0, 1, 2, 3, 4, 5};

struct Controls {
    std::array<float, synth::PartialCount> weights;
    float release;
    float amplitude;
};

void SetControls(Lv2TestHost& host, const Controls& controls) {
    for (int i = 0; i < synth::PartialCount; ++i) host.SetControl(WeightSymbols[i], controls.weights[i]);
    host.SetControl("release", controls.release);
    host.SetControl("amplitude", controls.amplitude);
}

// The engine as the program drives it, at whole-numbered controls: the messages up to
// and including a block's first frame are played, as the program's MIDI input plays
// them, then the block is rendered and the voices decay.
std::vector<float> PlayByHand(const Score& score, int64_t frames, uint32_t rate, const Controls& controls) {
    synth::Engine engine;
    for (int i = 0; i < synth::PartialCount; ++i)
        engine.HarmonicWeights[WeightPartials[i]] = static_cast<int32_t>(controls.weights[i]);
    engine.NoteOffRelease = 2 * static_cast<int32_t>(controls.release) + 1;
    std::vector<float> out;
    auto next = score.begin();
    for (int64_t start = 0; start < frames; start += synth::SamplesPerBlock) {
        for (; next != score.end() && next->frame <= start; ++next) {
            const std::vector<uint8_t>& bytes = next->bytes;
            if (bytes.size() < 3) continue;
            const int kind = bytes[0] & 0xF0;
            synth::Voice& voice = engine.VoiceTable[bytes[1]];
            if (kind == 0x90 && bytes[2] != 0)
                synth::StrikeVoice(voice, static_cast<int64_t>(controls.amplitude), bytes[2]);
            else if (kind == 0x90 || kind == 0x80)
                synth::ReleaseVoice(voice, engine.NoteOffRelease);
        }
        int16_t block[synth::SamplesPerBlock];
        synth::RenderSamples(engine, rate, block);
        synth::DecayVoices(engine);
        for (int j = 0; j < synth::SamplesPerBlock && start + j < frames; ++j) out.push_back(block[j] / 32768.0f);
    }
    return out;
}

// The first frame at which the plugin, latency taken off, parts from the engine; -1 when
// it never does. Before its latency has passed the plugin must be silent.
int64_t FirstDifference(const std::vector<float>& plugin, float latency, const std::vector<float>& byHand) {
    const auto delay = static_cast<size_t>(latency);
    for (size_t i = 0; i < plugin.size(); ++i)
        if (plugin[i] != (i < delay ? 0.0f : byHand[i - delay])) return static_cast<int64_t>(i);
    return -1;
}

void SortByFrame(Score& score) {
    std::stable_sort(score.begin(), score.end(),
                     [](const auto& a, const auto& b) { return a.frame < b.frame; });
}

// Every note from 0 to 127, struck on every channel at every velocity from 1 to 127,
// released by Note Off and by Note On at velocity 0; a note struck again while it
// sounds; messages that play nothing; and notes at block boundaries and at the last
// frame of runs of 1, 37, 100, 128 and 4096 frames.
Score EveryNote() {
    Score score;
    for (int n = 0; n < 128; ++n) {
        const int64_t on = 61 * n + n % 7;
        score.push_back({on, {uint8_t(0x90 | n % 16), uint8_t(n), uint8_t(1 + 37 * n % 127)}});
        const uint8_t off = n % 2 ? 0x80 : 0x90;
        score.push_back({on + 300 + n % 3, {uint8_t(off | (n + 5) % 16), uint8_t(n), uint8_t(n % 2 ? 64 : 0)}});
    }
    score.push_back({3700, {0x93, 60, 20}});  // note 60 again, softer, while it sounds
    for (const int64_t frame : {36, 99, 100, 127, 4000, 4095, 8191, 12287})
        score.push_back({frame, {0x9F, uint8_t(20 + frame % 50), 90}});
    score.push_back({500, {0xB0, 7, 100}});
    score.push_back({501, {0xE0, 0, 64}});
    score.push_back({502, {0xC0, 5}});
    score.push_back({503, {0xF8}});
    score.push_back({4400, {0x90, 70}});  // a Note On without its velocity, note 70 sounding
    SortByFrame(score);
    return score;
}

TEST(PluginInAHost, PlaysAScoreAsTheEngineDrivenByHandWhateverItsRuns) {
    const Controls controls = {{7, 0, 25, 3, 60, 100, 50, 0, 12, 40, 90}, 30, 3000};
    const Score score = EveryNote();
    constexpr int64_t Frames = 16384;
    const std::vector<float> byHand = PlayByHand(score, Frames, 44100, controls);
    ASSERT_GT(*std::max_element(byHand.begin(), byHand.end()), 0.1f);
    for (const uint32_t run : {1u, 37u, 100u, 128u, 4096u}) {
        Lv2TestHost host(44100);
        SetControls(host, controls);
        // Every run is followed by one of 0 frames.
        const std::vector<float> played = host.Play(score, Frames, {run, 0});
        EXPECT_EQ(host.Latency(), 0.0f) << "nothing is rendered ahead";
        EXPECT_EQ(FirstDifference(played, host.Latency(), byHand), -1) << "in runs of " << run;
    }
}

TEST(PluginInAHost, PitchAndLevelAreRightAtEveryHostRate) {
    for (const double rate : {44100.0, 48000.0, 88200.0, 96000.0}) {
        Lv2TestHost host(rate);  // its defaults: the fundamental alone, Amplitude 4000
        const std::vector<float> sound = host.Play({{0, {0x90, 57, 127}}}, static_cast<int64_t>(rate / 2), {512});
        const auto tone = e2e::MeasureTone(std::vector<double>(sound.begin(), sound.end()), static_cast<uint32_t>(rate));
        ASSERT_TRUE(tone) << rate;
        EXPECT_NEAR(tone->frequency, 440.0, 0.05) << rate;
        // A level of 4000 peaks at 3999 once truncated, a little less where no sample
        // meets the crest.
        EXPECT_NEAR(tone->peak * 32768, 3999.0, 2.0) << rate;
    }
}

TEST(PluginInAHost, ControlsBeyondTheirRangesAreClampedAndRounded) {
    struct Case {
        Controls given;
        Controls taken;
        uint8_t velocity;
    };
    const Case cases[] = {
        {{{-20, 250, 33.6f, 33.4f, -0.4f, 1e9f, 100.4f, -1e9f, 12, 7, 99}, 1000, 1e6f},
         {{0, 100, 34, 33, 0, 100, 100, 0, 12, 7, 99}, 100, 32767},
         10},
        // Values that are no number count as the window's defaults.
        {{{NaN, NaN, NaN, NaN, NaN, NaN, NaN, NaN, NaN, NaN, NaN}, -7, NaN},
         {{0, 0, 0, 0, 0, 100, 0, 0, 0, 0, 0}, 0, 4000},
         127},
        {{{0, 0, 0, 0, 0, 100, 0, 0, 0, 0, 0}, 10, -5}, {{0, 0, 0, 0, 0, 100, 0, 0, 0, 0, 0}, 10, 0}, 127},
    };
    for (const Case& c : cases) {
        const Score chord = {{0, {0x90, 45, c.velocity}}, {0, {0x90, 57, c.velocity}}, {3000, {0x80, 45, 0}}};
        Lv2TestHost host(44100);
        SetControls(host, c.given);
        const std::vector<float> played = host.Play(chord, 8000, {256});
        EXPECT_EQ(FirstDifference(played, host.Latency(), PlayByHand(chord, 8000, 44100, c.taken)), -1)
            << "with Amplitude " << c.given.amplitude;
    }
}

TEST(PluginInAHost, IsRefusedToAHostWithoutAUridMapOrAnAudioRate) {
    Lv2TestHost host(44100);
    LV2_URID_Map map = {nullptr, [](LV2_URID_Map_Handle, const char*) -> LV2_URID { return 1; }};
    const LV2_Feature mapFeature = {LV2_URID__map, &map};
    const LV2_Feature* withMap[] = {&mapFeature, nullptr};
    const LV2_Feature* without[] = {nullptr};
    EXPECT_EQ(lilv_plugin_instantiate(host.Plugin(), 44100, without), nullptr);
    for (const double rate : {0.0, -44100.0, 1e12, static_cast<double>(NaN)})
        EXPECT_EQ(lilv_plugin_instantiate(host.Plugin(), rate, withMap), nullptr) << rate;
}

TEST(PluginInAHost, ItsControlsAreTheWindowsWithTheirDefaults) {
    Lv2TestHost host(44100);
    const LilvPlugin* plugin = host.Plugin();
    struct Expected {
        const char* name;
        float minimum, maximum, fallback;
    };
    const Expected controls[] = {
        {"-6", 0, 100, 0}, {"-5", 0, 100, 0}, {"-4", 0, 100, 0},  {"-3", 0, 100, 0},
        {"-2", 0, 100, 0}, {"base", 0, 100, 100}, {"2", 0, 100, 0}, {"3", 0, 100, 0},
        {"4", 0, 100, 0},  {"5", 0, 100, 0},  {"6", 0, 100, 0},  {"Release", 0, 100, 10},
        {"Amplitude", 0, 32767, 4000},
    };
    LilvNode* control = lilv_new_uri(host.World(), LV2_CORE__ControlPort);
    LilvNode* input = lilv_new_uri(host.World(), LV2_CORE__InputPort);
    std::vector<std::string> names;
    for (uint32_t i = 0; i < lilv_plugin_get_num_ports(plugin); ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
        if (!lilv_port_is_a(plugin, port, control) || !lilv_port_is_a(plugin, port, input)) continue;
        LilvNode* name = lilv_port_get_name(plugin, port);
        LilvNode *fallback, *minimum, *maximum;
        lilv_port_get_range(plugin, port, &fallback, &minimum, &maximum);
        const size_t k = names.size();
        names.push_back(lilv_node_as_string(name));
        if (k < std::size(controls)) {
            EXPECT_EQ(lilv_node_as_float(minimum), controls[k].minimum) << names.back();
            EXPECT_EQ(lilv_node_as_float(maximum), controls[k].maximum) << names.back();
            EXPECT_EQ(lilv_node_as_float(fallback), controls[k].fallback) << names.back();
        }
        for (LilvNode* node : {name, fallback, minimum, maximum}) lilv_node_free(node);
    }
    lilv_node_free(control);
    lilv_node_free(input);
    std::vector<std::string> expected;
    for (const Expected& e : controls) expected.push_back(e.name);
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(lilv_plugin_has_latency(plugin));
}

TEST(PluginInAHost, RunsTakeNoMemoryWhateverTheirLength) {
    Lv2TestHost host(48000);
    std::vector<float> out(8192);
    for (const uint32_t frames : {1u, 2u, 99u, 100u, 101u, 1000u, 4096u, 8192u}) {
        Score events;  // a note struck or released every third frame
        for (uint32_t f = 0; f < frames; f += 3)
            events.push_back({f, {uint8_t(f % 2 ? 0x90 : 0x80), uint8_t(f * 7 % 128), 100}});
        host.Prepare(events);
        Counting = true;
        host.RunPrepared(frames, out.data());
        Counting = false;
    }
    EXPECT_EQ(Allocations.load(), 0);
}

}  // namespace
