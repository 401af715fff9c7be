#include "app/tone_settings.h"

#include <algorithm>

namespace app {

namespace {

constexpr int DefaultFundamentalPosition = 0;
constexpr int DefaultOtherWeightPosition = 100;
constexpr int DefaultReleasePosition = 10;

int ReadPosition(SettingsFile& settings, const SliderKey& slider) {
    const int64_t position = int64_t{SliderMaximum} - settings.ReadSettingInt(slider.key);
    return static_cast<int>(std::clamp<int64_t>(position, SliderMinimum, SliderMaximum));
}

}  // namespace

SliderPositions FirstRunPositions() {
    SliderPositions positions;
    positions.weights.fill(DefaultOtherWeightPosition);
    positions.weights[0] = DefaultFundamentalPosition;
    positions.release = DefaultReleasePosition;
    return positions;
}

SliderPositions ReadSliderPositions(SettingsFile& settings) {
    if (!settings.SettingsFileExists()) return FirstRunPositions();
    SliderPositions positions;
    for (int i = 0; i < synth::PartialCount; ++i)
        positions.weights[i] = ReadPosition(settings, WeightSliders[i]);
    positions.release = ReadPosition(settings, ReleaseSlider);
    return positions;
}

Tone ToneAt(const SliderPositions& positions) {
    Tone tone;
    for (int i = 0; i < synth::PartialCount; ++i)
        tone.HarmonicWeights[i] = WeightAt(positions.weights[i]);
    tone.NoteOffRelease = NoteOffReleaseAt(positions.release);
    return tone;
}

}  // namespace app
