#pragma once
// The simulated MIDI input: the devices a test lists, and messages that arrive only
// when the test sends them. A started device posts each one to its callback window as
// MM_MIM_DATA. Any call can be made to fail with a chosen result.
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/midi_in.h"
#include "platform/sim/injected_failures.h"

namespace sim {

enum class MidiCall { GetDevCaps, Open, Start, Stop, Close };

// One call the program made, with the device number it named (Open and GetDevCaps).
struct MidiCallRecord {
    MidiCall call;
    uint32_t deviceId;

    bool operator==(const MidiCallRecord&) const = default;
};

class SimMidiIn final : public platform::MidiIn {
public:
    // platform::MidiIn
    uint32_t GetNumDevs() override { return static_cast<uint32_t>(names_.size()); }
    platform::MmResult GetDevCaps(uint32_t deviceId, platform::MidiInCaps& caps) override;
    platform::MmResult Open(platform::MidiInHandle& handle, uint32_t deviceId,
                            platform::Window& callbackWindow) override;
    platform::MmResult Start(platform::MidiInHandle handle) override;
    platform::MmResult Stop(platform::MidiInHandle handle) override;
    platform::MmResult Close(platform::MidiInHandle handle) override;

    // What a test arranges: the devices, by name, numbered in the order added.
    void AddDevice(std::string name) { names_.push_back(std::move(name)); }
    // The next call of that kind fails, or every one until cleared.
    void FailNext(MidiCall call, platform::MmResult result) { failures_.FailNext(call, result); }
    void FailAlways(MidiCall call, platform::MmResult result) { failures_.FailAlways(call, result); }
    void ClearFailures() { failures_.Clear(); }
    // Runs at the start of every call, so a test can see what the program had done by then.
    void SetCallHook(std::function<void(MidiCall)> hook) { hook_ = std::move(hook); }

    // A device receives a short message: when it is started, the message is posted to
    // its window. Returns false when no device was started to take it.
    bool Receive(uint32_t packed);
    bool Receive(uint8_t status, uint8_t data1, uint8_t data2) {
        return Receive(static_cast<uint32_t>(status) | static_cast<uint32_t>(data1) << 8 |
                       static_cast<uint32_t>(data2) << 16);
    }

    // What a test reads.
    bool IsOpen() const;
    bool IsStarted() const;
    // The device number of the device open now, if one is.
    std::optional<uint32_t> OpenDevice() const;
    const std::vector<MidiCallRecord>& Calls() const { return calls_; }

private:
    struct Device {
        uint32_t id;
        platform::Window* callback;
        bool open = true;
        bool started = false;
    };

    // Records the call, runs the hook, and gives the failure arranged for it.
    std::optional<platform::MmResult> Called(MidiCall call, uint32_t deviceId = 0);
    Device* Find(platform::MidiInHandle handle);

    std::vector<std::string> names_;
    std::deque<Device> devices_;  // a deque, so a handle (a device's address) stays valid
    InjectedFailures<MidiCall> failures_;
    std::vector<MidiCallRecord> calls_;
    std::function<void(MidiCall)> hook_;
};

}  // namespace sim
