#pragma once
// Everything the program asks of the operating system, behind one object; the desktop
// and the simulated platform each implement it.
#include <cstdint>

#include "platform/dialog.h"
#include "platform/files.h"
#include "platform/midi_in.h"
#include "platform/wave_out.h"

namespace platform {

class Platform {
public:
    virtual ~Platform() = default;
    virtual WaveOut& GetWaveOut() = 0;
    virtual FileSystem& GetFiles() = 0;
    virtual MidiIn& GetMidiIn() = 0;
    // Milliseconds since some fixed moment, wrapping at 2^32.
    virtual uint32_t GetTickCount() = 0;
    // Creates the dialog's window from its template, runs WM_CREATE and OnInitDialog,
    // then pumps messages until EndDialog; returns the dialog's result, or -1 when
    // the window cannot be created. Nested calls (a modal box over the main window)
    // keep dispatching every window's messages.
    virtual int RunModal(Dialog& dialog) = 0;
};

}  // namespace platform
