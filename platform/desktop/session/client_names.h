#pragma once
// The names the program's JACK clients take: "Kelvarin" for the output and "Kelvarin
// MIDI" for the MIDI input, or, in a session manager's session, the client id the
// session gives it and that id followed by " MIDI".
#include <string>

namespace platform::desktop {

const char* AudioClientName();
const char* MidiClientName();
// Before any client opens, on the thread that later opens them.
void NameClientsAfter(const std::string& clientId);

}  // namespace platform::desktop
