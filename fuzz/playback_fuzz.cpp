// Any file as midi.dat, played on the simulated platform: playback must never read past
// its buffer, overflow, or break its promises whatever the bytes say. Each input is
// played twice, at the largest and at the smallest Amplitude, from a tick count just
// before the wrap, with time running both in single milliseconds and in jumps that
// carry later records into due time and the clock around its 2^32 wrap.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/main_dialog.h"
#include "app/program_state.h"
#include "platform/sim/sim_platform.h"
#include "res/control_ids.h"

namespace {

constexpr uint32_t StartTick = 0xFFFFFF00;
constexpr int MaxTicks = 4096;
constexpr uint32_t Jump = 1u << 26;  // 64 jumps go once around the clock
constexpr double MaxVelocity = 255.0;

void Check(bool promise) {
    if (!promise) std::abort();
}

void Play(sim::SimPlatform& sim, app::ProgramState& state, size_t records, const char* amplitude) {
    sim::SimWindow& window = sim.Main();
    window.Type(res::IDC_AMPLITUDE, amplitude);
    window.FireTimer(1);  // the refresh tick hands the Amplitude to the engine
    sim.Pump();
    const double limit = std::fabs(static_cast<double>(state.engine.AmplitudeSetting)) * MaxVelocity / 127;
    window.Click(res::IDC_PLAY);
    sim.Pump();
    Check(!window.Enabled(res::IDC_PLAY));
    const int ticks = static_cast<int>(std::min<size_t>(2 * records + 16, MaxTicks));
    for (int k = 1; k <= ticks; ++k) {
        const synth::VoiceArray before = state.engine.VoiceTable;
        sim.AdvanceTime(k % 64 == 0 ? Jump : 1);
        sim.Pump();
        int changed = 0;
        for (int n = 0; n < synth::VoiceCount; ++n) {
            const synth::Voice& voice = state.engine.VoiceTable[n];
            const synth::Voice& was = before[n];
            if (voice.active == was.active && voice.level == was.level &&
                voice.releaseStep == was.releaseStep)
                continue;
            ++changed;
            // A strike's level is a whole number within the velocity's reach.
            Check(voice.level == std::trunc(voice.level) && std::fabs(voice.level) <= limit);
        }
        Check(changed <= 1);  // one record per tick at most
    }
    window.Click(res::IDC_STOP_PLAYING);
    sim.Pump();
    for (const synth::Voice& voice : state.engine.VoiceTable) Check(voice.active == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // No block ever comes back, so nothing renders: the voices keep what playback gives them.
    sim::SimPlatform sim;
    sim.Files().SetFile("midi.dat", std::string(reinterpret_cast<const char*>(data), size));
    sim.SetTickCount(StartTick);
    app::ProgramState state(sim.GetFiles());
    app::MainDialog dialog(sim, state);
    sim.Open(dialog);
    Play(sim, state, size / 8, "2147483647");
    Play(sim, state, size / 8, "-2147483648");
    return 0;
}
