#pragma once
// MIDI input through winmm: devices numbered as Windows numbers them, named by szPname,
// short messages posted to the callback window as MM_MIM_DATA (CALLBACK_WINDOW), whose
// lParam packs the bytes as the program reads them.
#include <string>

#include "platform/midi_in.h"

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

// The UTF-8 name cut to fit productName, never inside a character.
void CopyProductName(const std::string& name, MidiInCaps& caps);

}  // namespace platform::win32
