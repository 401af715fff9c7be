#pragma once
// Which slider each MIDI controller moves. Controllers 0 to 119 can be bound (120 to 127
// are the channel-mode messages); each drives at most one slider, each slider has at
// most one controller.
#include <array>
#include <cstdint>
#include <optional>

namespace input {

constexpr int32_t BindableControllers = 120;

class ControllerBindings {
public:
    // The id of the slider the controller moves; nothing for an unbound controller or
    // one that cannot be bound.
    std::optional<int> SliderOf(int32_t controller) const;
    std::optional<int32_t> ControllerOf(int sliderId) const;
    // The controller leaves its old slider and the slider its old controller.
    void Bind(int32_t controller, int sliderId);
    void Unbind(int sliderId);

private:
    static constexpr int None = 0;  // no control has id 0
    std::array<int, BindableControllers> sliderOf_{};
};

}  // namespace input
