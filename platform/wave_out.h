#pragma once
// The system's wave output: open, queue blocks, get each block back exactly once as
// MM_WOM_DONE posted to the callback window (lParam is the block's header), close.
#include <cstdint>
#include <string>

#include "platform/window.h"

namespace platform {

using MmResult = uint32_t;
constexpr MmResult MMSYSERR_NOERROR = 0;
constexpr MmResult MMSYSERR_ERROR = 1;
constexpr MmResult MMSYSERR_BADDEVICEID = 2;
constexpr MmResult MMSYSERR_INVALHANDLE = 5;
constexpr MmResult MMSYSERR_NODRIVER = 6;
constexpr MmResult MMSYSERR_NOMEM = 7;
constexpr MmResult MMSYSERR_INVALPARAM = 11;
constexpr MmResult WAVERR_BADFORMAT = 32;
constexpr MmResult WAVERR_STILLPLAYING = 33;  // blocks are still queued
constexpr MmResult WAVERR_UNPREPARED = 34;

constexpr uint16_t WAVE_FORMAT_PCM = 1;

struct WaveFormat {
    uint16_t formatTag;
    uint16_t channels;
    uint32_t samplesPerSec;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
};

struct WaveHeader {
    uint8_t* data;
    uint32_t bufferLength;  // bytes
    intptr_t user;
    uint32_t flags;
    uint32_t loops;
};

struct WaveOutDevice;                   // a platform's open stream
using WaveOutHandle = WaveOutDevice*;   // null while closed

class WaveOut {
public:
    virtual ~WaveOut() = default;
    // Opens the default output device; completions go to callbackWindow.
    virtual MmResult Open(WaveOutHandle& handle, const WaveFormat& format,
                          Window& callbackWindow) = 0;
    virtual MmResult PrepareHeader(WaveOutHandle handle, WaveHeader* header) = 0;
    // Queues a prepared block behind the others. A block whose write fails never comes back.
    virtual MmResult Write(WaveOutHandle handle, WaveHeader* header) = 0;
    virtual MmResult UnprepareHeader(WaveOutHandle handle, WaveHeader* header) = 0;
    virtual MmResult Close(WaveOutHandle handle) = 0;
    virtual std::string GetErrorText(MmResult result) = 0;
};

}  // namespace platform
