#pragma once
// The lower band of the main window: a level meter, a clip lamp and a ten-octave
// keyboard (notes 12 to 127) whose sounding keys light up.
#include <cstdint>

#include "platform/device_context.h"
#include "synth/engine.h"
#include "view/keyboard_layout.h"

namespace view {

constexpr platform::ColorRef LightColour = platform::Rgb(250, 250, 250);
constexpr platform::ColorRef RedColour = platform::Rgb(255, 0, 0);
constexpr platform::ColorRef SoundingBlackKeyColour = platform::Rgb(0, 250, 200);
constexpr platform::ColorRef SilentBlackKeyColour = platform::Rgb(10, 10, 10);

// What the keyboard last drew, so unchanged voices cost no redraw.
struct KeyboardViewState {
    synth::VoiceArray VoiceSnapshot{};
    int32_t RedrawNeeded = 1;  // draw the keys at the next call whatever changed
};

// Repaints the lamp and the meter, and the keys when a voice changed since the last
// drawing or a redraw was asked for.
void DrawKeyboardView(platform::DeviceContext& dc, KeyboardViewState& view,
                      const synth::Engine& engine, int32_t keyboardBaseNote);

// Fill colour of a sounding white key: dark at low levels, full cyan-green from 4000 up.
platform::ColorRef LevelColour(double level);

}  // namespace view
