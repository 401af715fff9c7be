// MIDI controllers: sliders that learn a controller from a right-button click and then
// follow it, the sustain pedal, and the channel-mode messages that silence notes.
#include <cstdio>
#include <string>

#include "app/main_dialog.h"
#include "input/controlled_sliders.h"
#include "input/controller_section.h"
#include "view/keyboard_view.h"

namespace app {

using namespace platform;

namespace {

constexpr int32_t SustainController = 64;
constexpr int32_t SustainDownFrom = 64;  // a pedal value from here up holds
constexpr int32_t AllSoundOff = 120;
constexpr int32_t ResetAllControllers = 121;
constexpr int32_t AllNotesOff = 123;

std::string SliderName(int id) {
    return "Slider " + std::string(input::FindControlledSlider(id)->label);
}

}  // namespace

// An armed slider's click cancels; a bound one's unbinds it; any other slider is armed.
LRESULT MainDialog::OnContextMenu(WPARAM sliderId, LPARAM lParam) {
    const input::ControlledSlider* slider = input::FindControlledSlider(static_cast<int>(sliderId));
    if (!slider) return GetWindow().DefWindowProc(WM_CONTEXTMENU, sliderId, lParam);
    if (learningSlider_ == slider->id) {
        CancelLearning();
        return 0;
    }
    UpdateData(true);
    if (const auto controller = controllers_.ControllerOf(slider->id)) {
        ShowLearning(std::nullopt);
        controllers_.Unbind(slider->id);
        SaveControllerBindings();
        statusText = SliderName(slider->id) + ": controller " + std::to_string(*controller) + " unbound";
    } else {
        ShowLearning(slider->id);
        statusText = SliderName(slider->id) + ": move a controller";
    }
    UpdateData(false);
    return 0;
}

void MainDialog::CancelLearning() {
    UpdateData(true);
    statusText = SliderName(*learningSlider_) + ": learning cancelled";
    ShowLearning(std::nullopt);
    UpdateData(false);
}

void MainDialog::ShowLearning(std::optional<int> sliderId) {
    if (learningSlider_) GetWindow().SetSliderColor(*learningSlider_, std::nullopt);
    learningSlider_ = sliderId;
    if (sliderId) GetWindow().SetSliderColor(*sliderId, view::SoundingBlackKeyColour);
}

// A move from a controller is a move by hand: the refresh tick takes the position into
// the engine, and "X" saves it.
void MainDialog::OnControlChange(int32_t controller, int32_t value) {
    if (learningSlider_ && controller < input::BindableControllers) {
        const int id = *learningSlider_;
        ShowLearning(std::nullopt);
        controllers_.Bind(controller, id);
        SaveControllerBindings();
        statusText = SliderName(id) + ": controller " + std::to_string(controller);
        if (controller == SustainController) LiftPedal();  // it is no pedal any more
    }
    if (const auto id = controllers_.SliderOf(controller)) {
        GetWindow().SetSliderPos(*id, input::SliderPositionFor(value, *input::FindControlledSlider(*id)),
                                 true);
        return;
    }
    switch (controller) {
        case SustainController:
            if (value >= SustainDownFrom) {
                pedal_.Press();
            } else {
                LiftPedal();
            }
            break;
        case AllSoundOff:
            ResetSound();
            break;
        case ResetAllControllers:
            LiftPedal();
            break;
        case AllNotesOff:
            // As if every key still down were let go: the pedal, if down, holds them.
            for (int32_t note = 0; note < synth::VoiceCount; ++note) {
                const synth::Voice& voice = engine_.VoiceTable[note];
                if (voice.active != 0 && voice.releaseStep == 0.0) NoteEvent(note, 0);
            }
            break;
        default:
            break;
    }
}

void MainDialog::LiftPedal() {
    pedal_.Lift([this](int32_t note) { NoteEvent(note, 0); });
}

// A bad line is said once, here at start-up, and stays in the file.
void MainDialog::LoadControllerBindings() {
    const input::ReadBindings read =
        input::ReadControllerSection(state_.settings.ReadSection(input::ControllerSection));
    for (const std::string& problem : read.problems)
        std::fprintf(stderr, "Kelvarin: %s, section [%s]: %s; the line is ignored\n", SettingsFileName,
                     std::string(input::ControllerSection).c_str(), problem.c_str());
    controllers_ = read.bindings;
}

// Written as the bindings change, over the section as the file holds it now.
void MainDialog::SaveControllerBindings() {
    SettingsFile& settings = state_.settings;
    settings.WriteSection(input::ControllerSection,
                          input::WriteControllerSection(settings.ReadSection(input::ControllerSection),
                                                        controllers_));
}

}  // namespace app
