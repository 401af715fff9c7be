#pragma once
// The program on Windows: dialogs made by the dialog manager, the wave output and MIDI
// input through winmm, files through CreateFile. Everything runs on the thread that
// calls RunModal, in the program's own message loop.
#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/winmm_midi_in.h"
#include "platform/win32/winmm_wave_out.h"

namespace platform::win32 {

class DialogWindow;

class Win32Platform final : public Platform {
public:
    // Registers the common controls the templates name.
    Win32Platform();

    WaveOut& GetWaveOut() override { return waveOut_; }
    FileSystem& GetFiles() override { return files_; }
    MidiIn& GetMidiIn() override { return midiIn_; }
    uint32_t GetTickCount() override;
    // A nested call's window is owned by the one below it, which takes no input meanwhile.
    int RunModal(Dialog& dialog) override;

private:
    void RunLoop(const DialogWindow& window);
    DialogWindow* WindowFor(HWND hwnd) const;

    WinmmWaveOut waveOut_;
    WinmmMidiIn midiIn_;
    Win32FileSystem files_;
    std::vector<DialogWindow*> windows_;  // every running dialog's, the innermost last
};

}  // namespace platform::win32
