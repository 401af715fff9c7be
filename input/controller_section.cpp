#include "input/controller_section.h"

#include <array>
#include <optional>

#include "input/controlled_sliders.h"
#include "platform/profile_file.h"

namespace input {
namespace {

using platform::TrimProfileBlanks;

// A controller number: one to three digits, 0 to 119.
std::optional<int32_t> ControllerNumber(std::string_view text) {
    if (text.empty() || text.size() > 3) return std::nullopt;
    int32_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');
    }
    if (number >= BindableControllers) return std::nullopt;
    return number;
}

// What one line of the section says, given the bindings of the lines before it.
struct Verdict {
    const ControlledSlider* slider = nullptr;  // set for a binding
    int32_t controller = 0;
    std::string problem;                       // set for a bad line
};

Verdict Judge(std::string_view line, const ControllerBindings& before) {
    const std::string_view text = TrimProfileBlanks(line);
    if (text.empty() || text.front() == ';') return {};
    std::string quoted(1, '"');
    quoted.append(text) += '"';
    const size_t eq = text.find('=');
    if (eq == std::string_view::npos) return {nullptr, 0, quoted + " is not slider=controller"};
    const std::string_view label = TrimProfileBlanks(text.substr(0, eq));
    const ControlledSlider* slider = FindControlledSlider(label);
    if (!slider) return {nullptr, 0, quoted + ": there is no slider \"" + std::string(label) + "\""};
    const std::optional<int32_t> controller = ControllerNumber(TrimProfileBlanks(text.substr(eq + 1)));
    if (!controller) return {nullptr, 0, quoted + ": the controller is not a number from 0 to 119"};
    if (before.ControllerOf(slider->id))
        return {nullptr, 0, quoted + ": slider " + std::string(slider->label) + " is bound already"};
    if (before.SliderOf(*controller))
        return {nullptr, 0,
                quoted + ": controller " + std::to_string(*controller) + " is bound already"};
    return {slider, *controller, {}};
}

std::string BindingLine(const ControlledSlider& slider, int32_t controller) {
    return std::string(slider.label) + "=" + std::to_string(controller);
}

}  // namespace

ReadBindings ReadControllerSection(const std::vector<std::string>& lines) {
    ReadBindings read;
    for (const std::string& line : lines) {
        const Verdict verdict = Judge(line, read.bindings);
        if (verdict.slider) read.bindings.Bind(verdict.controller, verdict.slider->id);
        if (!verdict.problem.empty()) read.problems.push_back(verdict.problem);
    }
    return read;
}

std::vector<std::string> WriteControllerSection(const std::vector<std::string>& lines,
                                                const ControllerBindings& bindings) {
    std::vector<std::string> written;
    ControllerBindings before;  // what the section's lines so far bind, as a read sees them
    std::array<bool, ControlledSliders.size()> placed{};
    // The slider's binding goes in the place of line, or at the end without one; a line
    // that already says it stays as it was written.
    const auto place = [&](size_t index, const std::string* line, int32_t lineController) {
        const ControlledSlider& slider = ControlledSliders[index];
        const std::optional<int32_t> controller = bindings.ControllerOf(slider.id);
        if (controller && !placed[index])
            written.push_back(line && *controller == lineController ? *line
                                                                    : BindingLine(slider, *controller));
        placed[index] = true;
    };
    for (const std::string& line : lines) {
        const Verdict verdict = Judge(line, before);
        if (!verdict.slider) {
            written.push_back(line);
            continue;
        }
        before.Bind(verdict.controller, verdict.slider->id);
        place(static_cast<size_t>(verdict.slider - ControlledSliders.data()), &line, verdict.controller);
    }
    for (size_t index = 0; index < ControlledSliders.size(); ++index) place(index, nullptr, 0);
    return written;
}

}  // namespace input
