// kelvarin-convert INPUT OUTPUT: a midi.dat to a Standard MIDI File, or the other way,
// as the input's content says.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "tools/cli/input_file.h"
#include "tools/cli/output_file.h"
#include "tools/performance/midi_dat.h"
#include "tools/performance/performance_file.h"
#include "tools/performance/standard_midi_file.h"

namespace {

constexpr int Failure = 1;

const char* const Help =
    "Usage: kelvarin-convert INPUT OUTPUT\n"
    "Converts a midi.dat recorded with \"Write\" to a Standard MIDI File, or a Standard\n"
    "MIDI File to a midi.dat, whichever INPUT's content shows it to be.\n"
    "\n"
    "  --help     print this text and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "From a midi.dat: a format-0 file with one track in which one tick is one\n"
    "millisecond (tempo 500,000 us per quarter note, 500 ticks per quarter note), the\n"
    "first record at tick 0. Strikes become Note On with their velocity, releases Note\n"
    "Off. Events whose note or velocity is above 127 cannot be written: they are left\n"
    "out, and the error stream says how many.\n"
    "\n"
    "From a Standard MIDI File (format 0 or 1): every Note On and Note Off of every track\n"
    "and channel, merged in time order, with the tempo map or the SMPTE time applied,\n"
    "each record stamped with its time in milliseconds, rounded. A Note On at velocity\n"
    "0 is a release.\n"
    "\n"
    "Exit status 0 on success; otherwise 1, with one line saying which file failed and\n"
    "why, and no output file is left behind.\n";

int Fail(const std::string& what, const std::string& reason) {
    std::fprintf(stderr, "kelvarin-convert: %s: %s\n", what.c_str(), reason.c_str());
    return Failure;
}

int Convert(const std::string& input, const std::string& output) {
    std::string bytes, reason;
    if (!cli::ReadInputFile(input, bytes, reason)) return Fail(input, reason);
    const performance::Reading reading = performance::ReadPerformance(bytes);
    if (!reading.error.empty()) return Fail(input, reading.error);
    std::string converted;
    if (performance::KindOf(bytes) == performance::FileKind::MidiDat) {
        performance::SmfWriting smf = performance::WriteStandardMidiFile(reading.events);
        if (smf.leftOut > 0) {
            std::fprintf(
                stderr,
                "kelvarin-convert: %s: left out %zu event(s) whose note or velocity is above 127\n",
                input.c_str(), smf.leftOut);
        }
        converted = std::move(smf.bytes);
    } else {
        converted = performance::WriteMidiDat(reading.events);
    }
    const std::unique_ptr<cli::OutputFile> file = cli::OutputFile::Create(output, reason);
    if (!file) return Fail(output, reason);
    if (!file->Write(converted.data(), converted.size(), reason) || !file->Commit(reason))
        return Fail(output, reason);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help") {
            std::fputs(Help, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("kelvarin-convert (Kelvarin) %s\n", KELVARIN_VERSION);
            return 0;
        }
        if (argument.size() > 1 && argument[0] == '-') {
            std::fprintf(stderr,
                         "kelvarin-convert: unknown option '%s' (see kelvarin-convert --help)\n",
                         argv[i]);
            return Failure;
        }
        files.emplace_back(argument);
    }
    if (files.size() != 2) {
        std::fprintf(stderr,
                     "kelvarin-convert: expected INPUT and OUTPUT, got %zu file names (see "
                     "kelvarin-convert --help)\n",
                     files.size());
        return Failure;
    }
    return Convert(files[0], files[1]);
}
