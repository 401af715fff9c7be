// Any bytes as a Standard MIDI File: reading must never read past them, overflow or
// hang, and what it reads must keep its promises: notes and velocities as a file holds
// them, times in order and within a day, and the events written back as a midi.dat or
// as a Standard MIDI File of its own must read back the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tools/performance/midi_dat.h"
#include "tools/performance/standard_midi_file.h"

namespace {

using performance::Performance;

void Check(bool promise) {
    if (!promise) std::abort();
}

bool Same(const Performance& a, const Performance& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].timeMs != b[i].timeMs || a[i].note != b[i].note || a[i].velocity != b[i].velocity)
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const performance::Reading reading = performance::ReadStandardMidiFile(
        std::string_view(reinterpret_cast<const char*>(data), size));
    if (!reading.error.empty()) {
        Check(reading.events.empty());
        return 0;
    }
    // Written back, times count from the first event.
    Performance events = reading.events;
    for (size_t i = 0; i < events.size(); ++i) {
        Check(events[i].note <= 127 && events[i].velocity <= 127);
        Check(events[i].timeMs <= performance::LongestPerformanceMs);
        Check(i == 0 || events[i].timeMs >= events[i - 1].timeMs);
        events[i].timeMs -= reading.events[0].timeMs;
    }
    Check(Same(performance::ReadMidiDat(performance::WriteMidiDat(events)).events, events));
    const performance::SmfWriting smf = performance::WriteStandardMidiFile(events);
    Check(smf.leftOut == 0);
    Check(Same(performance::ReadStandardMidiFile(smf.bytes).events, events));
    return 0;
}
