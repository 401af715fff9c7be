#include "plugin/controls.h"

#include <algorithm>
#include <cmath>

namespace plugin {

namespace {

int ControlValue(float value, const ControlRange& range) {
    if (std::isnan(value)) return range.fallback;
    const float clamped = std::clamp(value, static_cast<float>(range.minimum),
                                     static_cast<float>(range.maximum));
    return static_cast<int>(std::lround(clamped));
}

}  // namespace

int32_t ApplyControls(synth::Engine& engine, const float (&weights)[synth::PartialCount],
                      float release, float amplitude) {
    for (int port = 0; port < synth::PartialCount; ++port) {
        const int partial = WeightPortPartial[port];
        engine.HarmonicWeights[partial] =
            ControlValue(weights[port], partial == 0 ? FundamentalRange : WeightRange);
    }
    engine.NoteOffRelease = 2 * ControlValue(release, ReleaseRange) + 1;
    return ControlValue(amplitude, AmplitudeRange);
}

}  // namespace plugin
