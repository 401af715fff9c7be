#include "platform/sim/sim_midi_in.h"

#include <algorithm>

#include "platform/product_name.h"

namespace sim {

using namespace platform;

namespace {

MidiInHandle HandleOf(void* device) { return reinterpret_cast<MidiInHandle>(device); }

}  // namespace

MmResult SimMidiIn::GetDevCaps(uint32_t deviceId, MidiInCaps& caps) {
    if (const auto failure = Called(MidiCall::GetDevCaps, deviceId)) return *failure;
    if (deviceId >= names_.size()) return MMSYSERR_BADDEVICEID;
    caps = {};
    const std::string& name = names_[deviceId];
    CopyProductName(name, caps);
    return MMSYSERR_NOERROR;
}

MmResult SimMidiIn::Open(MidiInHandle& handle, uint32_t deviceId, Window& callbackWindow) {
    if (const auto failure = Called(MidiCall::Open, deviceId)) return *failure;
    if (deviceId >= names_.size()) return MMSYSERR_BADDEVICEID;
    if (OpenDevice() == deviceId) return MMSYSERR_ALLOCATED;
    devices_.push_back({deviceId, &callbackWindow});
    handle = HandleOf(&devices_.back());
    return MMSYSERR_NOERROR;
}

MmResult SimMidiIn::Start(MidiInHandle handle) {
    if (const auto failure = Called(MidiCall::Start)) return *failure;
    Device* device = Find(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    device->started = true;
    return MMSYSERR_NOERROR;
}

MmResult SimMidiIn::Stop(MidiInHandle handle) {
    if (const auto failure = Called(MidiCall::Stop)) return *failure;
    Device* device = Find(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    device->started = false;
    return MMSYSERR_NOERROR;
}

MmResult SimMidiIn::Close(MidiInHandle handle) {
    if (const auto failure = Called(MidiCall::Close)) return *failure;
    Device* device = Find(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    device->open = false;
    device->started = false;
    return MMSYSERR_NOERROR;
}

bool SimMidiIn::Receive(uint32_t packed) {
    for (Device& device : devices_) {
        if (!device.started) continue;
        device.callback->PostMessage(MM_MIM_DATA, reinterpret_cast<WPARAM>(HandleOf(&device)),
                                     static_cast<LPARAM>(packed));
        return true;
    }
    return false;
}

bool SimMidiIn::IsOpen() const { return OpenDevice().has_value(); }

bool SimMidiIn::IsStarted() const {
    return std::any_of(devices_.begin(), devices_.end(), [](const Device& device) { return device.started; });
}

std::optional<uint32_t> SimMidiIn::OpenDevice() const {
    for (const Device& device : devices_)
        if (device.open) return device.id;
    return std::nullopt;
}

std::optional<MmResult> SimMidiIn::Called(MidiCall call, uint32_t deviceId) {
    calls_.push_back({call, deviceId});
    if (hook_) hook_(call);
    return failures_.Take(call);
}

SimMidiIn::Device* SimMidiIn::Find(MidiInHandle handle) {
    for (Device& device : devices_)
        if (HandleOf(&device) == handle && device.open) return &device;
    return nullptr;
}

}  // namespace sim
