#include "platform/win32/winmm_midi_in.h"

#include "platform/win32/dialog_window.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace platform::win32 {
namespace {

HMIDIIN DeviceOf(MidiInHandle handle) { return reinterpret_cast<HMIDIIN>(handle); }

}  // namespace

uint32_t WinmmMidiIn::GetNumDevs() { return midiInGetNumDevs(); }

MmResult WinmmMidiIn::GetDevCaps(uint32_t deviceId, MidiInCaps& caps) {
    MIDIINCAPSW system{};
    const MMRESULT result = midiInGetDevCapsW(deviceId, &system, sizeof system);
    if (result == MMSYSERR_NOERROR) CopyProductName(Narrow(system.szPname), caps);
    return result;
}

MmResult WinmmMidiIn::Open(MidiInHandle& handle, uint32_t deviceId, Window& callbackWindow) {
    const HWND window = static_cast<DialogWindow&>(callbackWindow).Handle();
    HMIDIIN device = nullptr;
    const MMRESULT result =
        midiInOpen(&device, deviceId, reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW);
    if (result == MMSYSERR_NOERROR) handle = reinterpret_cast<MidiInHandle>(device);
    return result;
}

MmResult WinmmMidiIn::Start(MidiInHandle handle) { return midiInStart(DeviceOf(handle)); }

MmResult WinmmMidiIn::Stop(MidiInHandle handle) { return midiInStop(DeviceOf(handle)); }

MmResult WinmmMidiIn::Close(MidiInHandle handle) { return midiInClose(DeviceOf(handle)); }

}  // namespace platform::win32
