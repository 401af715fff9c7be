// The platform contract on the Windows platform, in a Wine session of its own
// (wine_session.sh): the user's input comes through SendInput, as the system's own
// input does, and what the window shows is read back from its device context.
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/win32/dialog_window.h"
#include "platform/win32/win32_platform.h"
#include "tests/platform_contract.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;
using Clock = std::chrono::steady_clock;

class Win32Adapter {
public:
    Win32Adapter() {
        static int made = 0;
        directory_ = fs::temp_directory_path() /
                     ("kelvarin-contract-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++made));
        fs::create_directories(directory_);
    }
    ~Win32Adapter() { fs::remove_all(directory_); }

    Platform& GetPlatform() { return platform_; }

    void Click(Dialog& dialog, int id) {
        MoveTo(CentreOf(Item(dialog, id)));
        Button(MOUSEEVENTF_LEFTDOWN);
        Button(MOUSEEVENTF_LEFTUP);
    }
    void PressKey(Dialog&, WPARAM virtualKey) {
        Key(static_cast<WORD>(virtualKey), 0, 0);
        Key(static_cast<WORD>(virtualKey), 0, KEYEVENTF_KEYUP);
    }
    void Type(Dialog& dialog, int id, const std::string& text) {
        Click(dialog, id);
        for (const char c : text) {
            Key(0, static_cast<WORD>(c), KEYEVENTF_UNICODE);
            Key(0, static_cast<WORD>(c), KEYEVENTF_UNICODE | KEYEVENTF_KEYUP);
        }
    }
    void DragSliderToTop(Dialog& dialog, int id) {
        const HWND slider = Item(dialog, id);
        RECT thumb{};
        SendMessageW(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<::LPARAM>(&thumb));
        MapWindowPoints(slider, nullptr, reinterpret_cast<POINT*>(&thumb), 2);
        RECT track{};
        GetWindowRect(slider, &track);
        const POINT start = CentreOf(thumb);
        MoveTo(start);
        Button(MOUSEEVENTF_LEFTDOWN);
        MoveTo({start.x, std::max(0L, track.top - 20)});
        Button(MOUSEEVENTF_LEFTUP);
    }
    // What the system sends when the window is closed from its frame or the taskbar.
    void RequestClose(Dialog& dialog) { PostMessageW(Handle(dialog), WM_SYSCOMMAND, SC_CLOSE, 0); }

    int Focus(const Dialog& dialog) {
        const HWND focus = GetFocus();
        return focus && IsChild(Handle(dialog), focus) ? GetDlgCtrlID(focus) : 0;
    }
    bool Shown(const Dialog& dialog) { return IsWindowVisible(Handle(dialog)) != 0; }

    ColorRef Pixel(const Dialog& dialog, int x, int y) {
        const HDC dc = GetDC(Handle(dialog));
        const COLORREF pixel = GetPixel(dc, x, y);
        ReleaseDC(Handle(dialog), dc);
        return pixel;
    }

    uint32_t Stall(uint32_t ms) {
        const Clock::time_point start = Clock::now();
        Sleep(ms);
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    }
    uint32_t ClockMs() {
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
    }

    std::string PathOf(const std::string& name) { return (directory_ / name).string(); }
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(directory_)) names.push_back(entry.path().filename().string());
        return names;
    }

private:
    static HWND Handle(const Dialog& dialog) {
        return static_cast<win32::DialogWindow&>(dialog.GetWindow()).Handle();
    }
    static HWND Item(const Dialog& dialog, int id) { return GetDlgItem(Handle(dialog), id); }
    static POINT CentreOf(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
    static POINT CentreOf(HWND window) {
        RECT r{};
        GetWindowRect(window, &r);
        return CentreOf(r);
    }
    // Moves the pointer to a point of the screen, in SendInput's absolute coordinates.
    static void MoveTo(POINT point) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dx = point.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = point.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        EXPECT_EQ(SendInput(1, &input, sizeof input), 1u);
    }
    static void Button(DWORD flags) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = flags;
        EXPECT_EQ(SendInput(1, &input, sizeof input), 1u);
    }
    static void Key(WORD virtualKey, WORD character, DWORD flags) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = virtualKey;
        input.ki.wScan = character;
        input.ki.dwFlags = flags;
        EXPECT_EQ(SendInput(1, &input, sizeof input), 1u);
    }

    win32::Win32Platform platform_;
    fs::path directory_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, PlatformContract, Win32Adapter);

}  // namespace
