#include "platform/desktop/window/key_translation.h"

#include <FL/Enumerations.H>

namespace platform::desktop {
namespace {

constexpr WPARAM VK_SPACE = 0x20;
constexpr WPARAM VK_SHIFT = 0x10;
constexpr WPARAM VK_CONTROL = 0x11;
constexpr WPARAM VK_MENU = 0x12;
constexpr WPARAM VK_PAUSE = 0x13;
constexpr WPARAM VK_CAPITAL = 0x14;
constexpr WPARAM VK_UP = 0x26;
constexpr WPARAM VK_DOWN = 0x28;
constexpr WPARAM VK_PRINT = 0x2C;
constexpr WPARAM VK_INSERT = 0x2D;
constexpr WPARAM VK_LWIN = 0x5B;
constexpr WPARAM VK_APPS = 0x5D;
constexpr WPARAM VK_NUMPAD0 = 0x60;
constexpr WPARAM VK_DECIMAL = 0x6E;
constexpr WPARAM VK_F1 = 0x70;
constexpr WPARAM VK_NUMLOCK = 0x90;
constexpr WPARAM VK_SCROLL = 0x91;
constexpr WPARAM VK_OEM_1 = 0xBA;  // ;
constexpr WPARAM VK_OEM_COMMA = 0xBC;
constexpr WPARAM VK_OEM_MINUS = 0xBD;
constexpr WPARAM VK_OEM_PERIOD = 0xBE;
constexpr WPARAM VK_OEM_2 = 0xBF;  // /
constexpr WPARAM VK_OEM_3 = 0xC0;  // `
constexpr WPARAM VK_OEM_7 = 0xDE;  // '

WPARAM KeypadKey(int key) {
    const int symbol = key - FL_KP;
    if (symbol >= '0' && symbol <= '9') return VK_NUMPAD0 + static_cast<WPARAM>(symbol - '0');
    switch (symbol) {
        case '*': return VK_MULTIPLY;
        case '+': return VK_ADD;
        case '-': return VK_SUBTRACT;
        case '.': return VK_DECIMAL;
        case '/': return VK_DIVIDE;
        case '\r': return VK_RETURN;
        default: return 0;
    }
}

WPARAM PrintableKey(int key) {
    if (key >= 'a' && key <= 'z') return static_cast<WPARAM>(key - 'a' + 'A');
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return static_cast<WPARAM>(key);
    switch (key) {
        case ' ': return VK_SPACE;
        case '[': return VK_OEM_4;
        case ']': return VK_OEM_6;
        case '\\': return VK_OEM_5;
        case '=': return VK_OEM_PLUS;
        case '-': return VK_OEM_MINUS;
        case ',': return VK_OEM_COMMA;
        case '.': return VK_OEM_PERIOD;
        case '/': return VK_OEM_2;
        case ';': return VK_OEM_1;
        case '\'': return VK_OEM_7;
        case '`': return VK_OEM_3;
        default: return 0;
    }
}

WPARAM NamedKey(int key) {
    if (key >= FL_F + 1 && key <= FL_F + 24) return VK_F1 + static_cast<WPARAM>(key - FL_F - 1);
    switch (key) {
        case FL_BackSpace: return VK_BACK;
        case FL_Tab: return VK_TAB;
        case FL_Enter: return VK_RETURN;
        case FL_Escape: return VK_ESCAPE;
        case FL_Pause: return VK_PAUSE;
        case FL_Print: return VK_PRINT;
        case FL_Scroll_Lock: return VK_SCROLL;
        case FL_Num_Lock: return VK_NUMLOCK;
        case FL_Caps_Lock: return VK_CAPITAL;
        case FL_Insert: return VK_INSERT;
        case FL_Delete: return VK_DELETE;
        case FL_Home: return VK_HOME;
        case FL_End: return VK_END;
        case FL_Page_Up: return VK_PRIOR;
        case FL_Page_Down: return VK_NEXT;
        case FL_Left: return VK_LEFT;
        case FL_Up: return VK_UP;
        case FL_Right: return VK_RIGHT;
        case FL_Down: return VK_DOWN;
        case FL_Shift_L:
        case FL_Shift_R: return VK_SHIFT;
        case FL_Control_L:
        case FL_Control_R: return VK_CONTROL;
        case FL_Alt_L:
        case FL_Alt_R: return VK_MENU;
        case FL_Meta_L:
        case FL_Meta_R: return VK_LWIN;
        case FL_Menu: return VK_APPS;
        default: return 0;
    }
}

}  // namespace

WPARAM VirtualKeyFor(int key, int originalKey) {
    if (originalKey >= FL_KP && originalKey <= FL_KP_Last) return KeypadKey(originalKey);
    if (key >= FL_KP && key <= FL_KP_Last) return KeypadKey(key);
    if (key > 0 && key < 0x80) return PrintableKey(key);
    return NamedKey(key);
}

}  // namespace platform::desktop
