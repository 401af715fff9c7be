#include "tools/performance/performance_file.h"

#include "tools/performance/midi_dat.h"
#include "tools/performance/standard_midi_file.h"

namespace performance {

FileKind KindOf(std::string_view bytes) {
    return IsStandardMidiFile(bytes) ? FileKind::StandardMidiFile : FileKind::MidiDat;
}

Reading ReadPerformance(std::string_view bytes) {
    if (bytes.empty()) return {{}, "the file is empty"};
    return KindOf(bytes) == FileKind::StandardMidiFile ? ReadStandardMidiFile(bytes)
                                                       : ReadMidiDat(bytes);
}

}  // namespace performance
