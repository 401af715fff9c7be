#pragma once
// The bindings as the settings file keeps them, in a section of their own: one line per
// binding, the slider's label, "=", the controller number ("2=20", "release=73").
// Blank lines and comments (";...") say nothing. Any other line that is not a binding
// (an unknown slider, a controller outside 0..119, a slider or controller bound by an
// earlier line, or garbage) is bad: it binds nothing, and it stays in the file.
#include <string>
#include <string_view>
#include <vector>

#include "input/controller_bindings.h"

namespace input {

constexpr std::string_view ControllerSection = "Controllers";

struct ReadBindings {
    ControllerBindings bindings;
    std::vector<std::string> problems;  // one sentence for each bad line
};

ReadBindings ReadControllerSection(const std::vector<std::string>& lines);

// The section's lines once the bindings are as given: a binding line of the section
// stays when its slider is bound so still, gives way to the slider's binding now, or
// goes when the slider has none; every other line stays where it is; bindings the
// section lacks follow at its end.
std::vector<std::string> WriteControllerSection(const std::vector<std::string>& lines,
                                                const ControllerBindings& bindings);

}  // namespace input
