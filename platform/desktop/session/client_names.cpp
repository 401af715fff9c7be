#include "platform/desktop/session/client_names.h"

namespace platform::desktop {
namespace {

std::string Audio = "Kelvarin";
std::string Midi = "Kelvarin MIDI";

}  // namespace

const char* AudioClientName() { return Audio.c_str(); }
const char* MidiClientName() { return Midi.c_str(); }

void NameClientsAfter(const std::string& clientId) {
    Audio = clientId;
    Midi = clientId + " MIDI";
}

}  // namespace platform::desktop
