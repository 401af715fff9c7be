#pragma once
// The system's MIDI input: devices numbered from 0, one opened by number with a
// window as its callback. While a device is started, every short message it receives
// is posted to that window as MM_MIM_DATA, in arrival order, with the packed message
// in lParam: status in bits 0-7, data 1 in bits 8-15, data 2 in bits 16-23 (0 when
// the message has fewer bytes). Every call returns 0 on success.
#include <cstdint>

#include "platform/wave_out.h"
#include "platform/window.h"

namespace platform {

constexpr MmResult MMSYSERR_ALLOCATED = 4;  // the device is open already

// A device's capabilities; productName holds at most 31 characters and a terminating 0.
struct MidiInCaps {
    char productName[32];
};

struct MidiInDevice;                  // a platform's open device
using MidiInHandle = MidiInDevice*;   // null while closed

class MidiIn {
public:
    virtual ~MidiIn() = default;
    virtual uint32_t GetNumDevs() = 0;
    // Fills caps for a device; on failure caps is left as it was.
    virtual MmResult GetDevCaps(uint32_t deviceId, MidiInCaps& caps) = 0;
    virtual MmResult Open(MidiInHandle& handle, uint32_t deviceId, Window& callbackWindow) = 0;
    // Messages are posted only between Start and Stop; those posted before Stop stay queued.
    virtual MmResult Start(MidiInHandle handle) = 0;
    virtual MmResult Stop(MidiInHandle handle) = 0;
    virtual MmResult Close(MidiInHandle handle) = 0;
};

}  // namespace platform
