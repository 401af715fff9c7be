#pragma once
// What the arguments ask of the process: to run, or to print a text and end. The
// program takes no arguments beyond --help and --version.
#include <string>

namespace app {

struct CommandLine {
    bool run = true;       // false: print text and end with exitStatus
    bool toStderr = false;  // a refusal goes to the error stream
    int exitStatus = 0;
    std::string text;
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

}  // namespace app
