#pragma once
// What kelvarin-render is asked to do, from its arguments.
#include <cstdint>
#include <optional>
#include <string>

namespace render {

constexpr int32_t WindowAmplitude = 4000;  // the Amplitude field's text at start

struct RenderOptions {
    enum class Action { Render, Help, Version, Refuse } action = Action::Render;
    std::string problem;  // why the arguments are refused
    std::string input;
    std::string output;
    std::optional<std::string> settings;  // else ./Kelvarin.ini, else the first-run tone
    int32_t amplitude = WindowAmplitude;
    uint32_t passes = 1;
    uint32_t rate = 44100;
    bool quiet = false;
};

RenderOptions ParseRenderOptions(int argc, const char* const* argv);

extern const char* const RenderHelp;

}  // namespace render
