// Slider positions to and from the settings file.
#include "app/main_dialog.h"
#include "app/slider_keys.h"
#include "app/tone_settings.h"

namespace app {

void MainDialog::SetSliderRanges() {
    for (const SliderKey& slider : WeightSliders)
        GetWindow().SetSliderRange(slider.id, SliderMinimum, SliderMaximum, true);
    GetWindow().SetSliderRange(ReleaseSlider.id, SliderMinimum, SliderMaximum, true);
}

void MainDialog::LoadSliderPositions() {
    platform::Window& window = GetWindow();
    const SliderPositions positions = ReadSliderPositions(state_.settings);
    for (int i = 0; i < synth::PartialCount; ++i)
        window.SetSliderPos(WeightSliders[i].id, positions.weights[i], true);
    window.SetSliderPos(ReleaseSlider.id, positions.release, true);
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
