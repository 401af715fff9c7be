#include "tools/render/render_options.h"

#include <limits>
#include <string_view>
#include <vector>

#include "tools/cli/whole_number.h"

namespace render {

namespace {

constexpr int64_t MostPasses = 1000000;
constexpr int64_t LowestRate = 8000;
constexpr int64_t HighestRate = 192000;

// Takes "--name VALUE" or "--name=VALUE" at argv[i], moving i past what it used.
std::optional<std::string_view> OptionValue(std::string_view name, int argc,
                                            const char* const* argv, int& i, bool& missing) {
    const std::string_view argument = argv[i];
    if (argument == name) {
        if (i + 1 >= argc) {
            missing = true;
            return std::nullopt;
        }
        return std::string_view(argv[++i]);
    }
    if (argument.size() > name.size() && argument.substr(0, name.size()) == name &&
        argument[name.size()] == '=')
        return argument.substr(name.size() + 1);
    return std::nullopt;
}

}  // namespace

const char* const RenderHelp =
    "Usage: kelvarin-render [OPTIONS] INPUT OUTPUT\n"
    "Renders a performance to an audio file, with no window and no sound device.\n"
    "\n"
    "INPUT is a midi.dat recorded with \"Write\" or a Standard MIDI File (format 0 or 1),\n"
    "told apart by their content. OUTPUT's extension picks the file type: .wav or .flac\n"
    "(16-bit PCM, as the program plays), or .ogg (Ogg Vorbis).\n"
    "\n"
    "  --settings FILE  the tone (slider positions) from FILE; else from ./Kelvarin.ini\n"
    "                   when there is one, else the first-run tone, a pure sine\n"
    "  --amplitude N    the Amplitude a strike sounds at (default 4000, as the window):\n"
    "                   level N * velocity / 127, as for a played note\n"
    "  --loops N        play the performance N times over, as \"Play Writen\" repeats it\n"
    "                   (default 1)\n"
    "  --rate R         resample to R samples a second, 8000 to 192000 (default 44100)\n"
    "  --quiet          no progress line (it is shown only on a terminal)\n"
    "  --help           print this text and exit\n"
    "  --version        print the version and exit\n"
    "\n"
    "The samples are those the program plays for the same events: its renderer in\n"
    "100-sample blocks at 44100 Hz, its decay after every block. An event t ms after\n"
    "the first one takes effect at the first block that starts at or after sample\n"
    "t * 44.1. Each pass of --loops begins 1 ms after the last event of the one before.\n"
    "After the last event the rendering goes on until every note has faded, for at most\n"
    "60 s. The whole may last at most 24 hours.\n"
    "\n"
    "Exit status 0 on success; otherwise 1, with one line saying which file failed and\n"
    "why, and no output file is left behind.\n";

RenderOptions ParseRenderOptions(int argc, const char* const* argv) {
    RenderOptions options;
    const auto refuse = [&](std::string problem) {
        options.action = RenderOptions::Action::Refuse;
        options.problem = std::move(problem);
        return options;
    };
    // A number option's value, or a refusal naming the option and the range.
    const auto number = [&](std::string_view name, std::string_view text, int64_t least,
                            int64_t most) -> std::optional<int64_t> {
        const std::optional<int64_t> value = cli::ParseWholeNumber(text, least, most);
        if (!value)
            refuse(std::string(name) + ": '" + std::string(text) + "' is not a whole number from " +
                   std::to_string(least) + " to " + std::to_string(most));
        return value;
    };
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        bool missing = false;
        if (argument == "--help" || argument == "--version") {
            options.action =
                argument == "--help" ? RenderOptions::Action::Help : RenderOptions::Action::Version;
            return options;
        }
        if (argument == "--quiet") {
            options.quiet = true;
        } else if (auto value = OptionValue("--settings", argc, argv, i, missing)) {
            options.settings = std::string(*value);
        } else if (auto value = OptionValue("--amplitude", argc, argv, i, missing)) {
            const auto n = number("--amplitude", *value, std::numeric_limits<int32_t>::min(),
                                  std::numeric_limits<int32_t>::max());
            if (!n) return options;
            options.amplitude = static_cast<int32_t>(*n);
        } else if (auto value = OptionValue("--loops", argc, argv, i, missing)) {
            const auto n = number("--loops", *value, 1, MostPasses);
            if (!n) return options;
            options.passes = static_cast<uint32_t>(*n);
        } else if (auto value = OptionValue("--rate", argc, argv, i, missing)) {
            const auto n = number("--rate", *value, LowestRate, HighestRate);
            if (!n) return options;
            options.rate = static_cast<uint32_t>(*n);
        } else if (missing) {
            return refuse(std::string(argument) + " needs a value");
        } else if (argument.size() > 1 && argument[0] == '-') {
            return refuse("unknown option '" + std::string(argument) + "'");
        } else {
            files.emplace_back(argument);
        }
    }
    if (files.size() != 2)
        return refuse("expected INPUT and OUTPUT, got " + std::to_string(files.size()) +
                      " file names");
    options.input = files[0];
    options.output = files[1];
    return options;
}

}  // namespace render
