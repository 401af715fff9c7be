#include "app/command_line.h"

#include <string_view>

namespace app {
namespace {

constexpr int UsageError = 2;
constexpr std::string_view BlocksOption = "--blocks";

const char* const Usage = "Usage: kelvarin [--help | --version | --blocks N]\n";

const char* const HelpText =
    "Usage: kelvarin [--help | --version | --blocks N]\n"
    "A polyphonic additive synthesizer, played from the computer keyboard.\n"
    "\n"
    "  --help      print this text and exit\n"
    "  --version   print the version and exit\n"
    "  --blocks N  keep N blocks of 100 samples in flight, from 2 to 60, for this run\n"
    "              (else the Blocks key of Kelvarin.ini, else 60: 136 ms from a key to\n"
    "              its sound). Below 60 the sound device renders each block as it\n"
    "              plays it, so a key sounds after about one period of the device\n"
    "              (on Windows, after the N blocks); fewer blocks leave the window\n"
    "              less slack when the machine is busy\n"
    "\n"
    "The slider positions are kept in Kelvarin.ini in the directory it starts from.\n"
    "The output goes to JACK, else PulseAudio/PipeWire, else ALSA.\n"
    "kelvarin(1) lists the keys that play.\n";

CommandLine Refusal(const std::string& reason) {
    return {false, true, UsageError, "kelvarin: " + reason + "\n" + Usage, std::nullopt};
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    if (argc < 2) return {};
    const std::string first = argv[1];
    if (argc == 2 && first == "--help") return {false, false, 0, HelpText, std::nullopt};
    if (argc == 2 && first == "--version") {
        return {false, false, 0, std::string("Kelvarin ") + KELVARIN_VERSION + "\n", std::nullopt};
    }
    if (first == "--help" || first == "--version")
        return Refusal("unexpected argument '" + std::string(argv[2]) + "'");
    CommandLine command;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == BlocksOption && i + 1 < argc) {
            command.blocks = argv[++i];
        } else if (argument.starts_with(std::string(BlocksOption) + "=")) {
            command.blocks = std::string(argument.substr(BlocksOption.size() + 1));
        } else if (argument == BlocksOption) {
            return Refusal("--blocks needs a number from 2 to 60");
        } else {
            return Refusal("unexpected argument '" + std::string(argument) + "'");
        }
    }
    return command;
}

}  // namespace app
