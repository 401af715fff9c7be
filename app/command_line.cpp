#include "app/command_line.h"

namespace app {
namespace {

constexpr int UsageError = 2;

const char* const HelpText =
    "Usage: kelvarin [--help | --version]\n"
    "A polyphonic additive synthesizer, played from the computer keyboard.\n"
    "\n"
    "  --help     print this text and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "The slider positions are kept in Kelvarin.ini in the directory it starts from.\n"
    "The output goes to JACK, else PulseAudio/PipeWire, else ALSA.\n"
    "kelvarin(1) lists the keys that play.\n";

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    if (argc < 2) return {};
    const std::string first = argv[1];
    if (argc == 2 && first == "--help") return {false, false, 0, HelpText};
    if (argc == 2 && first == "--version") {
        return {false, false, 0, std::string("Kelvarin ") + KELVARIN_VERSION + "\n"};
    }
    const std::string wrong = first == "--help" || first == "--version" ? argv[2] : first;
    return {false, true, UsageError,
            "kelvarin: unexpected argument '" + wrong + "'\nUsage: kelvarin [--help | --version]\n"};
}

}  // namespace app
