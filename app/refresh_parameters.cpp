// The refresh tick: the only way the controls reach the engine.
#include <array>

#include "app/ascii_to_int.h"
#include "app/main_dialog.h"
#include "app/slider_keys.h"
#include "app/tone_settings.h"

namespace app {

using namespace platform;

LRESULT MainDialog::RefreshParameters(WPARAM timerId, LPARAM lParam) {
    Window& window = GetWindow();
    UpdateData(true);
    engine_.AmplitudeSetting = AsciiToInt(amplitudeText);
    const std::array<int32_t, synth::PartialCount> weightsBefore = engine_.HarmonicWeights;
    for (int i = 0; i < synth::PartialCount; ++i)
        engine_.HarmonicWeights[i] = WeightAt(window.GetSliderPos(WeightSliders[i].id));
    engine_.NoteOffRelease = NoteOffReleaseAt(window.GetSliderPos(ReleaseSlider.id));
    // The device's renderer starts from the engine's weights, so only a change goes over.
    if (engine_.HarmonicWeights != weightsBefore) HandOver(NoteChange::Weights(engine_.HarmonicWeights));
    RepaintKeyboardView();  // keeps the meter moving
    // Looked up on disk every time (read again only when the file changed), so an
    // edit of the file by hand takes effect here.
    const int32_t hide = state_.settings.ReadSettingInt("HideWindow");
    window.ShowWindow(hide != 0 ? SW_HIDE : SW_SHOW);
    return window.DefWindowProc(WM_TIMER, timerId, lParam);
}

}  // namespace app
