#include "input/controller_bindings.h"

namespace input {

std::optional<int> ControllerBindings::SliderOf(int32_t controller) const {
    if (controller < 0 || controller >= BindableControllers) return std::nullopt;
    const int id = sliderOf_[static_cast<size_t>(controller)];
    if (id == None) return std::nullopt;
    return id;
}

std::optional<int32_t> ControllerBindings::ControllerOf(int sliderId) const {
    for (int32_t controller = 0; controller < BindableControllers; ++controller)
        if (sliderOf_[static_cast<size_t>(controller)] == sliderId) return controller;
    return std::nullopt;
}

void ControllerBindings::Bind(int32_t controller, int sliderId) {
    if (controller < 0 || controller >= BindableControllers) return;
    Unbind(sliderId);
    sliderOf_[static_cast<size_t>(controller)] = sliderId;
}

void ControllerBindings::Unbind(int sliderId) {
    for (int& id : sliderOf_)
        if (id == sliderId) id = None;
}

}  // namespace input
