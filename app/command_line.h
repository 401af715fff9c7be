#pragma once
// What the arguments ask of the process: to run, or to print a text and end. The
// program takes --help, --version, and --blocks N for one run.
#include <optional>
#include <string>

namespace app {

struct CommandLine {
    bool run = true;       // false: print text and end with exitStatus
    bool toStderr = false;  // a refusal goes to the error stream
    int exitStatus = 0;
    std::string text;
    std::optional<std::string> blocks;  // --blocks' value as given, checked at start-up
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

}  // namespace app
