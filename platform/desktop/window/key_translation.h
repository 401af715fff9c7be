#pragma once
// FLTK key codes to the Windows virtual-key codes that key messages carry.
#include "platform/messages.h"

namespace platform::desktop {

// key is Fl::event_key(), originalKey Fl::event_original_key(). Keypad keys are told
// by the original key, so they give their keypad codes whether NumLock is on or off.
// Returns 0 for a key with no virtual-key code.
WPARAM VirtualKeyFor(int key, int originalKey);

}  // namespace platform::desktop
