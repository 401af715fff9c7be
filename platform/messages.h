#pragma once
// Window messages as the dialog receives them: (message, wParam, lParam) on the one
// UI thread. The numbers are the classic Windows ones, so the routing table reads the
// way the dialog's design describes it, whichever platform delivers them.
#include <cstdint>

namespace platform {

using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

struct Message {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_ACTIVATE = 0x0006;  // wParam's low word WA_INACTIVE: the focus went elsewhere
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_ENDSESSION = 0x0016;  // wParam non-zero: the session, and the process, end
constexpr UINT WM_ICONERASEBKGND = 0x0027;
constexpr UINT WM_QUERYDRAGICON = 0x0037;
// A right-button click on a slider: wParam is the slider's id (Windows gives its handle,
// which the platform turns into the id). Only the left button moves a slider.
constexpr UINT WM_CONTEXTMENU = 0x007B;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;  // a key pressed with Alt held
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT MM_WOM_DONE = 0x03BD;  // a queued wave block has played; lParam is its header
constexpr UINT MM_MIM_DATA = 0x03C3;  // a short MIDI message; lParam is the packed bytes
constexpr UINT WM_APP = 0x8000;         // the first of the messages a program defines itself
// A session manager asks for the sliders to be saved now; the result is 1 when they were.
constexpr UINT WM_SAVESETTINGS = WM_APP + 1;

// WM_COMMAND: notification code in the high word of wParam, control id in the low word.
constexpr UINT BN_CLICKED = 0;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// WM_ACTIVATE states.
constexpr WPARAM WA_INACTIVE = 0;

// WM_SYSCOMMAND codes (the low four bits are the system's own).
constexpr WPARAM SC_CLOSE = 0xF060;

// Mouse key-state flags.
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;

// GetSystemMetrics indices.
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;

// Virtual-key codes that the program names; letters and digits are their ASCII capitals.
constexpr WPARAM VK_BACK = 0x08;
constexpr WPARAM VK_TAB = 0x09;
constexpr WPARAM VK_RETURN = 0x0D;
constexpr WPARAM VK_ESCAPE = 0x1B;
constexpr WPARAM VK_PRIOR = 0x21;
constexpr WPARAM VK_NEXT = 0x22;
constexpr WPARAM VK_END = 0x23;
constexpr WPARAM VK_HOME = 0x24;
constexpr WPARAM VK_LEFT = 0x25;
constexpr WPARAM VK_RIGHT = 0x27;
constexpr WPARAM VK_DELETE = 0x2E;
constexpr WPARAM VK_NUMPAD7 = 0x67;
constexpr WPARAM VK_NUMPAD8 = 0x68;
constexpr WPARAM VK_NUMPAD9 = 0x69;
constexpr WPARAM VK_MULTIPLY = 0x6A;
constexpr WPARAM VK_ADD = 0x6B;
constexpr WPARAM VK_SUBTRACT = 0x6D;
constexpr WPARAM VK_DIVIDE = 0x6F;
constexpr WPARAM VK_OEM_PLUS = 0xBB;
constexpr WPARAM VK_OEM_4 = 0xDB;  // [
constexpr WPARAM VK_OEM_5 = 0xDC;  // backslash
constexpr WPARAM VK_OEM_6 = 0xDD;  // ]

constexpr WPARAM MakeCommand(int id, UINT code) {
    return (static_cast<WPARAM>(code & 0xFFFF) << 16) | static_cast<WPARAM>(id & 0xFFFF);
}
constexpr int CommandId(WPARAM wParam) { return static_cast<int>(wParam & 0xFFFF); }
constexpr UINT CommandCode(WPARAM wParam) { return static_cast<UINT>((wParam >> 16) & 0xFFFF); }

// Pointer position in client pixels, packed as signed 16-bit x (low) and y (high).
constexpr LPARAM MakePointLParam(int x, int y) {
    return static_cast<LPARAM>((static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) |
                               static_cast<uint16_t>(x));
}
constexpr int PointX(LPARAM lParam) { return static_cast<int16_t>(lParam & 0xFFFF); }
constexpr int PointY(LPARAM lParam) { return static_cast<int16_t>((lParam >> 16) & 0xFFFF); }

}  // namespace platform
