// Looks at the running program's window from outside, as a test on Windows (or Wine)
// can: where its controls are on the screen, what they show, and MIDI messages posted
// to it as the system's MIDI input would post them.
//   window_probe controls             each control: its class and id, one a line
//   window_probe centre ID            the control's centre in screen pixels: "X Y"
//   window_probe point X Y            the client point (X, Y) in screen pixels: "X Y"
//   window_probe text ID              the control's text, UTF-8
//   window_probe midi STATUS D1 D2    posts MM_MIM_DATA with these bytes (decimal)
// Exits 1 when there is no window titled "Kelvarin" or no such control, 2 on misuse.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HWND FindProgramWindow() { return FindWindowW(L"#32770", L"Kelvarin"); }

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
    char className[64] = {};
    GetClassNameA(control, className, sizeof className);
    std::printf("%s %d\n", className, GetDlgCtrlID(control));
    return TRUE;
}

int PrintPoint(HWND window, POINT point) {
    if (!ClientToScreen(window, &point)) return 1;
    std::printf("%ld %ld\n", point.x, point.y);
    return 0;
}

// Asked of the control itself: GetWindowText would give another process's edit
// control the text it was created with.
int PrintText(HWND control) {
    const int length = static_cast<int>(SendMessageW(control, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(
        SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    std::string utf8(static_cast<size_t>(length) * 4 + 1, '\0');
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                          utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
    std::fwrite(utf8.data(), 1, static_cast<size_t>(bytes), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);  // the texts' own line ends, not the console's
    if (argc < 2) return 2;
    const HWND window = FindProgramWindow();
    if (!window) {
        std::fputs("no window titled Kelvarin\n", stderr);
        return 1;
    }
    const std::string command = argv[1];
    if (command == "controls" && argc == 2) {
        EnumChildWindows(window, PrintControl, 0);
        return 0;
    }
    if (command == "point" && argc == 4)
        return PrintPoint(window, {std::atoi(argv[2]), std::atoi(argv[3])});
    if (command == "midi" && argc == 5) {
        const DWORD message = static_cast<DWORD>(std::atoi(argv[2]) | (std::atoi(argv[3]) << 8) |
                                                 (std::atoi(argv[4]) << 16));
        return PostMessageW(window, MM_MIM_DATA, 0, static_cast<LPARAM>(message)) ? 0 : 1;
    }
    if ((command == "centre" || command == "text") && argc == 3) {
        const HWND control = GetDlgItem(window, std::atoi(argv[2]));
        if (!control) {
            std::fprintf(stderr, "no control %s\n", argv[2]);
            return 1;
        }
        if (command == "text") return PrintText(control);
        RECT rect{};
        GetWindowRect(control, &rect);
        std::printf("%ld %ld\n", (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        return 0;
    }
    return 2;
}
