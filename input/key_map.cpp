#include "input/key_map.h"

#include "platform/messages.h"

namespace input {

using namespace platform;

// Q is the first C; the letters are the naturals and the digit row the sharps, Tab the B
// below; the keypad carries on chromatically, and M ends the map.
const uint32_t KeyMap[] = {
    VK_TAB, 'Q', '2', 'W', '3', 'E', 'R', '5', 'T', '6', 'Y', '7', 'U',
    'I', '9', 'O', '0', 'P', VK_OEM_4, VK_OEM_PLUS, VK_OEM_6, VK_OEM_5, VK_RETURN, VK_BACK,
    VK_DELETE, VK_END, VK_HOME, VK_NEXT, VK_PRIOR,
    VK_NUMPAD7, VK_NUMPAD8, VK_DIVIDE, VK_NUMPAD9, VK_MULTIPLY, VK_ADD, VK_SUBTRACT,
    'M',
    0,
};

}  // namespace input
