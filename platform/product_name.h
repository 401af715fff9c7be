#pragma once
// A device's name as MidiInCaps holds it: UTF-8, cut to fit, never inside a character.
#include <string_view>

#include "platform/midi_in.h"

namespace platform {

void CopyProductName(std::string_view name, MidiInCaps& caps);

}  // namespace platform
