// The Windows platform's own ways, beyond the contract that every platform keeps
// (platform_contract.h), in a Wine session with an X server and a sound server
// (wine_session.sh): sizes in the template's dialog units, titles, a brush of 0, and
// the wave output's blocks coming back.
#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/dialog_window.h"
#include "platform/win32/win32_platform.h"
#include "res/control_ids.h"
#include "res/dialog_template.h"
#include "tests/scripted_dialog.h"

namespace {

using platform::Message;
using namespace res;

constexpr platform::UINT Ping = 0x0400;  // a message of the test's own
constexpr platform::WaveFormat CdMono{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16};

HWND HandleOf(const platform::Dialog& dialog) {
    return static_cast<platform::win32::DialogWindow&>(dialog.GetWindow()).Handle();
}

class Win32Dialogs : public testing::Test {
protected:
    platform::win32::Win32Platform platform;
};

// The window and its controls measure what the dialog manager makes of the template's
// dialog units in the template's own font, and the title is kept in UTF-16.
TEST_F(Win32Dialogs, SizesFollowTheTemplatesDialogUnitsInItsFont) {
    ScriptedDialog dialog(platform);
    dialog.onInit = [&] {
        const HWND hwnd = HandleOf(dialog);
        dialog.GetWindow().SetWindowText("Kelvarin \xD0\x9A");
        wchar_t title[32] = {};
        GetWindowTextW(hwnd, title, 32);
        EXPECT_STREQ(title, L"Kelvarin \x041A");
        RECT size{0, 0, MainDialogTemplate.cx, MainDialogTemplate.cy};
        ASSERT_TRUE(MapDialogRect(hwnd, &size));
        const platform::Rect client = dialog.GetWindow().GetClientRect();
        EXPECT_EQ(client.right - client.left, size.right);
        EXPECT_EQ(client.bottom - client.top, size.bottom);
        for (const ControlTemplate& control : MainDialogTemplate.controls) {
            if (control.id < 0) continue;
            // Place and size convert apart, as the dialog manager converts them.
            RECT want{control.x, control.y, control.cx, control.cy};
            MapDialogRect(hwnd, &want);
            RECT got{};
            GetWindowRect(GetDlgItem(hwnd, control.id), &got);
            MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&got), 2);
            EXPECT_EQ(got.left, want.left) << control.id;
            EXPECT_EQ(got.top, want.top) << control.id;
            EXPECT_EQ(got.right - got.left, want.right) << control.id;
            EXPECT_EQ(got.bottom - got.top, want.bottom) << control.id;
        }
        dialog.GetWindow().EndDialog(0);
    };
    EXPECT_EQ(platform.RunModal(dialog), 0);
}

// Brush 0 is GDI's hollow brush: a shape is outlined only, and what was there shows through.
TEST_F(Win32Dialogs, ABrushOfZeroOutlinesAShapeOnly) {
    ScriptedDialog dialog(platform);
    constexpr platform::ColorRef Teal = platform::Rgb(0, 250, 200);
    dialog.steps = {Do([&] {
        platform::DeviceContext* dc = dialog.GetWindow().GetDC();
        const HDC hdc = static_cast<platform::win32::GdiContext*>(dc)->Handle();
        const platform::BrushHandle teal = dc->CreateSolidBrush(Teal);
        const platform::BrushHandle original = dc->SelectObject(teal);
        dc->Rectangle(10, 200, 30, 220);
        EXPECT_EQ(dc->SelectObject(0), teal);
        dc->Rectangle(12, 202, 28, 218);
        EXPECT_EQ(GetPixel(hdc, 20, 210), Teal);
        EXPECT_EQ(GetPixel(hdc, 12, 210), platform::Rgb(0, 0, 0));
        dc->SelectObject(original);
        EXPECT_TRUE(dc->DeleteObject(teal));
        dialog.GetWindow().ReleaseDC(dc);
    })};
    EXPECT_EQ(platform.RunModal(dialog), 0);
}

// The mouse's right button on a trackbar: the dialog hears of it with the slider's id,
// and the thumb stays. The keyboard's menu key is left to the system.
TEST_F(Win32Dialogs, ARightClickOnASliderReachesTheDialogWithItsIdAndASliderShowsItsColour) {
    ScriptedDialog dialog(platform);
    constexpr platform::ColorRef Teal = platform::Rgb(0, 250, 200);
    const auto item = [&](int id) { return GetDlgItem(HandleOf(dialog), id); };
    std::vector<COLORREF> corners;  // slider "2", then "3", then "2" again
    // Paints what waits to be painted: a new colour shows without more ado.
    const auto corner = [&](int id) {
        RedrawWindow(item(id), nullptr, nullptr, RDW_UPDATENOW);
        const HDC dc = GetDC(item(id));
        corners.push_back(GetPixel(dc, 1, 1));
        ReleaseDC(item(id), dc);
    };
    dialog.onInit = [&] {
        platform::Window& window = dialog.GetWindow();
        window.SetSliderRange(IDC_SLIDER_2, 0, 100, true);
        window.SetSliderPos(IDC_SLIDER_2, 50, true);
        PostMessageW(item(IDC_SLIDER_2), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(3, 3));
        PostMessageW(item(IDC_SLIDER_2), WM_RBUTTONUP, 0, MAKELPARAM(3, 3));
        SendMessageW(item(IDC_SLIDER_3), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(item(IDC_SLIDER_3)), -1);
    };
    dialog.steps = {WaitUntil([&] { return dialog.Handled(WM_CONTEXTMENU, IDC_SLIDER_2) == 1; }),
                    Do([&] {
                        platform::Window& window = dialog.GetWindow();
                        EXPECT_EQ(window.GetSliderPos(IDC_SLIDER_2), 50);
                        RedrawWindow(HandleOf(dialog), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
                        window.SetSliderColor(IDC_SLIDER_2, Teal);
                        corner(IDC_SLIDER_2);
                        corner(IDC_SLIDER_3);
                        window.SetSliderColor(IDC_SLIDER_2, std::nullopt);
                        corner(IDC_SLIDER_2);
                    })};
    EXPECT_EQ(platform.RunModal(dialog), 0);
    EXPECT_EQ(dialog.Handled(WM_CONTEXTMENU, IDC_SLIDER_2), 1u);
    EXPECT_EQ(dialog.Handled(WM_CONTEXTMENU, IDC_SLIDER_3), 0u);
    ASSERT_EQ(corners.size(), 3u);
    EXPECT_EQ(corners[0], Teal);
    EXPECT_NE(corners[1], Teal);
    EXPECT_EQ(corners[2], corners[1]);
}

// Blocks of silence written to the wave output as the dialog starts.
struct WrittenBlocks {
    static constexpr size_t Count = 8;
    void Write(platform::WaveOut& waveOut, platform::Window& window) {
        ASSERT_EQ(waveOut.Open(device, CdMono, window), 0u);
        for (size_t i = 0; i < Count; ++i) {
            headers[i].data = reinterpret_cast<uint8_t*>(&samples[i * 441]);
            headers[i].bufferLength = 441 * 2;
            ASSERT_EQ(waveOut.PrepareHeader(device, &headers[i]), 0u);
            ASSERT_EQ(waveOut.Write(device, &headers[i]), 0u);
        }
    }
    std::vector<int16_t> samples = std::vector<int16_t>(441 * Count);
    std::vector<platform::WaveHeader> headers = std::vector<platform::WaveHeader>(Count);
    platform::WaveOutHandle device = nullptr;
};

// Every block comes back once: once the device is closed after the last, nothing of it
// can come, and a message posted then arrives behind anything that came before.
TEST_F(Win32Dialogs, EveryWrittenBlockComesBackOnceAsMmWomDoneWithTheProgramsHeader) {
    ScriptedDialog dialog(platform);
    constexpr size_t Blocks = WrittenBlocks::Count;
    WrittenBlocks written;
    std::vector<int> returned(Blocks);
    platform::WaveOut& waveOut = platform.GetWaveOut();
    size_t done = 0;
    dialog.onInit = [&] { written.Write(waveOut, dialog.GetWindow()); };
    dialog.swallow = [&](const Message& m) {
        if (m.message != MM_WOM_DONE) return false;
        for (size_t i = 0; i < Blocks; ++i)
            if (m.lParam == reinterpret_cast<platform::LPARAM>(&written.headers[i])) ++returned[i];
        if (++done == Blocks) {
            for (auto& header : written.headers) EXPECT_EQ(waveOut.UnprepareHeader(written.device, &header), 0u);
            EXPECT_EQ(waveOut.Close(written.device), 0u);
            dialog.GetWindow().PostMessage(Ping, 0, 0);
        }
        return true;
    };
    dialog.steps = {WaitUntil([&] { return dialog.Handled(Ping, 0) == 1; })};
    EXPECT_EQ(platform.RunModal(dialog), 0);
    EXPECT_EQ(returned, std::vector<int>(Blocks, 1));
}

// The filter gives each block back, as the program's does, and that frees the system's
// header; the message then goes on to the window procedure with the program's header,
// not with one read from freed memory (this test program poisons what it frees).
TEST_F(Win32Dialogs, ABlockGivenBackInTheFilterIsNotReadAgainOnItsWayToTheWindowProcedure) {
    ScriptedDialog dialog(platform);
    WrittenBlocks written;
    std::vector<platform::LPARAM> filtered, dispatched;
    platform::WaveOut& waveOut = platform.GetWaveOut();
    dialog.onInit = [&] { written.Write(waveOut, dialog.GetWindow()); };
    dialog.swallow = [&](const Message& m) {
        if (m.message != MM_WOM_DONE) return false;
        filtered.push_back(m.lParam);
        auto* header = reinterpret_cast<platform::WaveHeader*>(m.lParam);
        EXPECT_EQ(waveOut.UnprepareHeader(written.device, header), 0u);
        return false;
    };
    dialog.onMessage = [&](platform::UINT message, platform::WPARAM, platform::LPARAM lParam)
        -> std::optional<platform::LRESULT> {
        if (message == MM_WOM_DONE) dispatched.push_back(lParam);
        return std::nullopt;
    };
    dialog.steps = {WaitUntil([&] { return dispatched.size() == WrittenBlocks::Count; })};
    EXPECT_EQ(platform.RunModal(dialog), 0);
    EXPECT_EQ(dispatched, filtered);
    EXPECT_EQ(waveOut.Close(written.device), 0u);
}

TEST_F(Win32Dialogs, ABlockPreparedForAClosedDeviceMustBePreparedAgain) {
    ScriptedDialog dialog(platform);
    std::vector<int16_t> samples(441);
    platform::WaveHeader header{};
    header.data = reinterpret_cast<uint8_t*>(samples.data());
    header.bufferLength = 441 * 2;
    platform::WaveOut& waveOut = platform.GetWaveOut();
    dialog.onInit = [&] {
        platform::WaveOutHandle first = nullptr;
        ASSERT_EQ(waveOut.Open(first, CdMono, dialog.GetWindow()), 0u);
        ASSERT_EQ(waveOut.PrepareHeader(first, &header), 0u);
        ASSERT_EQ(waveOut.Close(first), 0u);
        platform::WaveOutHandle second = nullptr;
        ASSERT_EQ(waveOut.Open(second, CdMono, dialog.GetWindow()), 0u);
        EXPECT_EQ(waveOut.Write(second, &header), static_cast<platform::MmResult>(WAVERR_UNPREPARED));
        EXPECT_EQ(waveOut.Close(second), 0u);
        dialog.GetWindow().EndDialog(0);
    };
    EXPECT_EQ(platform.RunModal(dialog), 0);
    EXPECT_TRUE(dialog.initialised);
}

}  // namespace
