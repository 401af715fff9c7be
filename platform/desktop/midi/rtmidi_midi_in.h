#pragma once
// The MIDI input through RtMidi. The devices are one numbered list: the ALSA
// sequencer's readable sources first, then the MIDI output ports of other JACK clients;
// a sequencer or server that is not there adds none. The MIDI thread hands each short
// message to the UI thread through a lock-free ring and the wake-up pipe; the UI thread
// posts it to the callback window as MM_MIM_DATA, in arrival order.
//
// A ring that fills (the UI thread is over 65,536 messages behind) keeps what it holds:
// the MIDI thread must neither wait nor allocate, so it counts every message it could
// not store, and the UI thread reports the count on the error stream.
#include <memory>
#include <vector>

#include "platform/desktop/ui_wakeup.h"
#include "platform/midi_in.h"

namespace platform::desktop {

class RtMidiMidiIn final : public MidiIn {
public:
    RtMidiMidiIn();
    ~RtMidiMidiIn() override;
    RtMidiMidiIn(const RtMidiMidiIn&) = delete;
    RtMidiMidiIn& operator=(const RtMidiMidiIn&) = delete;

    uint32_t GetNumDevs() override;
    MmResult GetDevCaps(uint32_t deviceId, MidiInCaps& caps) override;
    MmResult Open(MidiInHandle& handle, uint32_t deviceId, Window& callbackWindow) override;
    MmResult Start(MidiInHandle handle) override;
    MmResult Stop(MidiInHandle handle) override;
    MmResult Close(MidiInHandle handle) override;

    // When a window ends, the devices that report to it close without posting again.
    void AbandonDevicesOf(const Window* window);

    // One open device; opaque outside this class.
    struct Device;

private:
    Device* Find(MidiInHandle handle) const;
    // Closes the device and takes it off the list; gives the next one.
    std::vector<std::unique_ptr<Device>>::iterator Forget(
        std::vector<std::unique_ptr<Device>>::iterator found, bool deliver);
    // UI thread: posts what the devices received.
    void DeliverReceived();
    void Deliver(Device& device);

    UiWakeup wakeup_;
    std::vector<std::unique_ptr<Device>> devices_;
};

}  // namespace platform::desktop
