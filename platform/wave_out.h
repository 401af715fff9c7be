#pragma once
// The system's wave output: open, queue blocks, get each block back exactly once as
// MM_WOM_DONE posted to the callback window (lParam is the block's header), close.
// A device opened with a renderer can also play blocks whose samples that renderer
// fills on the device's own thread, just before they play.
#include <cstddef>
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
constexpr MmResult MMSYSERR_NOTSUPPORTED = 8;
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

// Set by the program in a header's flags, on a device opened with a renderer: the
// block's bufferLength / 2 samples, 1 to MaxRenderedSamples, come from the renderer,
// not from its buffer.
constexpr uint32_t WHDR_RENDER = 0x00010000;
constexpr uint32_t MaxRenderedSamples = 1024;

// Fills rendered blocks on the device's own thread, in the order they were written,
// each just before the device plays it. A device that may not wait for the program
// has it fill in blocks of its own too, as long as the last, when the program is late
// to queue the next.
class BlockRenderer {
public:
    // The device's thread: never locks, allocates or waits.
    virtual void RenderBlock(int16_t* samples, size_t count) = 0;

protected:
    ~BlockRenderer() = default;
};

// How a device plays, as far as the platform knows it; 0 where it does not.
struct DeviceTiming {
    uint32_t rate;            // the device's frames a second
    uint32_t periodFrames;    // frames it asks for at a time
    uint32_t bufferedFrames;  // frames the sound system holds after the program's own
};

struct WaveOutDevice;                   // a platform's open stream
using WaveOutHandle = WaveOutDevice*;   // null while closed

class WaveOut {
public:
    virtual ~WaveOut() = default;
    // Opens the default output device; completions go to callbackWindow.
    virtual MmResult Open(WaveOutHandle& handle, const WaveFormat& format,
                          Window& callbackWindow) = 0;
    // Opens as Open does, for a stream that plays blocks flagged WHDR_RENDER as renderer
    // fills them; the renderer must outlive the stream. MMSYSERR_NOTSUPPORTED where the
    // platform has no thread of the device's own to render on.
    virtual MmResult OpenRendered(WaveOutHandle& handle, const WaveFormat& format,
                                  Window& callbackWindow, BlockRenderer& renderer) = 0;
    virtual MmResult PrepareHeader(WaveOutHandle handle, WaveHeader* header) = 0;
    // Queues a prepared block behind the others. A block whose write fails never comes back.
    virtual MmResult Write(WaveOutHandle handle, WaveHeader* header) = 0;
    virtual MmResult UnprepareHeader(WaveOutHandle handle, WaveHeader* header) = 0;
    virtual MmResult Close(WaveOutHandle handle) = 0;
    virtual std::string GetErrorText(MmResult result) = 0;
    virtual DeviceTiming GetDeviceTiming(WaveOutHandle handle) = 0;
};

}  // namespace platform
