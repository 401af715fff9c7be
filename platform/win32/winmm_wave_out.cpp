#include "platform/win32/winmm_wave_out.h"

#include "platform/wave_error_text.h"
#include "platform/win32/dialog_window.h"

namespace platform::win32 {
namespace {

HWAVEOUT DeviceOf(WaveOutHandle handle) { return reinterpret_cast<HWAVEOUT>(handle); }

}  // namespace

LPARAM ProgramWaveHeader(LPARAM systemHeader) {
    const auto* header = reinterpret_cast<const WAVEHDR*>(systemHeader);
    return header ? static_cast<LPARAM>(header->dwUser) : 0;
}

MmResult WinmmWaveOut::Open(WaveOutHandle& handle, const WaveFormat& format, Window& callbackWindow) {
    WAVEFORMATEX system{};
    system.wFormatTag = format.formatTag;
    system.nChannels = format.channels;
    system.nSamplesPerSec = format.samplesPerSec;
    system.nAvgBytesPerSec = format.avgBytesPerSec;
    system.nBlockAlign = format.blockAlign;
    system.wBitsPerSample = format.bitsPerSample;
    const HWND window = static_cast<DialogWindow&>(callbackWindow).Handle();
    HWAVEOUT device = nullptr;
    const MMRESULT result = waveOutOpen(&device, WAVE_MAPPER, &system,
                                        reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW);
    if (result == MMSYSERR_NOERROR) handle = reinterpret_cast<WaveOutHandle>(device);
    return result;
}

MmResult WinmmWaveOut::PrepareHeader(WaveOutHandle handle, WaveHeader* header) {
    if (!header) return MMSYSERR_INVALPARAM;
    auto system = std::make_unique<WAVEHDR>();
    system->lpData = reinterpret_cast<LPSTR>(header->data);
    system->dwBufferLength = header->bufferLength;
    system->dwUser = reinterpret_cast<DWORD_PTR>(header);
    system->dwLoops = header->loops;
    const MMRESULT result = waveOutPrepareHeader(DeviceOf(handle), system.get(), sizeof(WAVEHDR));
    if (result == MMSYSERR_NOERROR) prepared_[header] = {DeviceOf(handle), std::move(system)};
    return result;
}

// The program fills a block anew before each write, its length included.
MmResult WinmmWaveOut::Write(WaveOutHandle handle, WaveHeader* header) {
    const auto found = prepared_.find(header);
    if (found == prepared_.end()) return WAVERR_UNPREPARED;
    WAVEHDR& system = *found->second.system;
    system.lpData = reinterpret_cast<LPSTR>(header->data);
    system.dwBufferLength = header->bufferLength;
    return waveOutWrite(DeviceOf(handle), &system, sizeof(WAVEHDR));
}

MmResult WinmmWaveOut::UnprepareHeader(WaveOutHandle handle, WaveHeader* header) {
    const auto found = prepared_.find(header);
    if (found == prepared_.end()) return MMSYSERR_NOERROR;  // as Windows, for an unprepared one
    const MMRESULT result =
        waveOutUnprepareHeader(DeviceOf(handle), found->second.system.get(), sizeof(WAVEHDR));
    if (result == MMSYSERR_NOERROR) prepared_.erase(found);
    return result;
}

// A closed device's headers are of no more use; the program's blocks outlive them.
MmResult WinmmWaveOut::Close(WaveOutHandle handle) {
    const MMRESULT result = waveOutClose(DeviceOf(handle));
    if (result != MMSYSERR_NOERROR) return result;
    std::erase_if(prepared_, [&](const auto& entry) { return entry.second.device == DeviceOf(handle); });
    return result;
}

std::string WinmmWaveOut::GetErrorText(MmResult result) { return WaveErrorText(result); }

}  // namespace platform::win32
