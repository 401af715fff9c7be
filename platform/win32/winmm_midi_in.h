#pragma once
// MIDI input through winmm: devices numbered as Windows numbers them, named by szPname,
// short messages posted to the callback window as MM_MIM_DATA (CALLBACK_WINDOW), whose
// lParam packs the bytes as the program reads them.
#include "platform/midi_in.h"
#include "platform/product_name.h"

namespace platform::win32 {

class WinmmMidiIn final : public MidiIn {
public:
    uint32_t GetNumDevs() override;
    MmResult GetDevCaps(uint32_t deviceId, MidiInCaps& caps) override;
    MmResult Open(MidiInHandle& handle, uint32_t deviceId, Window& callbackWindow) override;
    MmResult Start(MidiInHandle handle) override;
    MmResult Stop(MidiInHandle handle) override;
    MmResult Close(MidiInHandle handle) override;
};

// The name cut as every platform cuts it.
using platform::CopyProductName;

}  // namespace platform::win32
