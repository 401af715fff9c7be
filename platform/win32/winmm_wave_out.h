#pragma once
// The wave output through winmm: waveOut* on the wave mapper, completions posted to the
// callback window as MM_WOM_DONE (CALLBACK_WINDOW). Each of the program's headers has a
// system header beside it from PrepareHeader to UnprepareHeader.
#include <map>
#include <memory>

#include "platform/wave_out.h"
#include "platform/win32/windows_api.h"

namespace platform::win32 {

// MM_WOM_DONE from the system carries its own header; the program's is the one
// PrepareHeader was given.
LPARAM ProgramWaveHeader(LPARAM systemHeader);

class WinmmWaveOut final : public WaveOut {
public:
    MmResult Open(WaveOutHandle& handle, const WaveFormat& format, Window& callbackWindow) override;
    // winmm gives the program no thread of the device's own to render on.
    MmResult OpenRendered(WaveOutHandle&, const WaveFormat&, Window&, BlockRenderer&) override {
        return MMSYSERR_NOTSUPPORTED;
    }
    MmResult PrepareHeader(WaveOutHandle handle, WaveHeader* header) override;
    MmResult Write(WaveOutHandle handle, WaveHeader* header) override;
    MmResult UnprepareHeader(WaveOutHandle handle, WaveHeader* header) override;
    MmResult Close(WaveOutHandle handle) override;
    std::string GetErrorText(MmResult result) override;
    DeviceTiming GetDeviceTiming(WaveOutHandle) override { return {}; }

private:
    struct Prepared {
        HWAVEOUT device;
        std::unique_ptr<WAVEHDR> system;
    };
    std::map<WaveHeader*, Prepared> prepared_;
};

}  // namespace platform::win32
