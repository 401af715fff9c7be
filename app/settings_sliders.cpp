// Slider positions to and from the settings file.
#include <algorithm>
#include <cstdint>

#include "app/main_dialog.h"
#include "app/slider_keys.h"

namespace app {

namespace {

// Without a settings file a first run sounds a pure sine at the fundamental.
constexpr int DefaultFundamentalPosition = 0;
constexpr int DefaultOtherWeightPosition = 100;
constexpr int DefaultReleasePosition = 10;

}  // namespace

void MainDialog::SetSliderRanges() {
    for (const SliderKey& slider : WeightSliders)
        GetWindow().SetSliderRange(slider.id, SliderMinimum, SliderMaximum, true);
    GetWindow().SetSliderRange(ReleaseSlider.id, SliderMinimum, SliderMaximum, true);
}

void MainDialog::LoadSliderPositions() {
    platform::Window& window = GetWindow();
    if (!state_.settings.SettingsFileExists()) {
        for (const SliderKey& slider : WeightSliders)
            window.SetSliderPos(slider.id, slider.id == WeightSliders[0].id
                                               ? DefaultFundamentalPosition
                                               : DefaultOtherWeightPosition,
                                true);
        window.SetSliderPos(ReleaseSlider.id, DefaultReleasePosition, true);
        return;
    }
    // A stored value beyond 0..100 puts the slider at the nearer end.
    const auto load = [&](const SliderKey& slider) {
        const int64_t position = int64_t{SliderMaximum} - state_.settings.ReadSettingInt(slider.key);
        window.SetSliderPos(
            slider.id, static_cast<int>(std::clamp<int64_t>(position, SliderMinimum, SliderMaximum)),
            true);
    };
    for (const SliderKey& slider : WeightSliders) load(slider);
    load(ReleaseSlider);
}

void MainDialog::SaveSettingsAndExit() {
    SaveSliderPositions();
    GetWindow().EndDialog(0);
}

bool MainDialog::SaveSliderPositions() {
    UpdateData(true);
    bool saved = true;
    const auto save = [&](const SliderKey& slider) {
        saved = state_.settings.WriteSettingInt(SliderMaximum - GetWindow().GetSliderPos(slider.id),
                                                slider.key) &&
                saved;
    };
    for (const SliderKey& slider : WeightSliders) save(slider);
    save(ReleaseSlider);
    return saved;
}

platform::LRESULT MainDialog::OnSaveSettings(platform::WPARAM, platform::LPARAM) {
    return SaveSliderPositions() ? 1 : 0;
}

}  // namespace app
