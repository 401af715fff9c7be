#include "platform/desktop/midi/rtmidi_midi_in.h"

#include <RtMidi.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/desktop/midi/midi_ring.h"
#include "platform/desktop/run_within.h"
#include "platform/desktop/session/client_names.h"
#include "platform/product_name.h"

namespace platform::desktop {
namespace {

// The program's client is named by MidiClientName, and sources whose names start with
// that are never listed.
const char* const PortName = "Kelvarin MIDI in";
constexpr size_t RingCapacity = 65536;
const char* const AlsaSequencerDevice = "/dev/snd/seq";
// A JACK server that stops answering would hold a listing or a close for ever; one that
// takes longer than this is passed over, as if it were not there.
constexpr std::chrono::milliseconds JackLimit{1500};

// With an error callback RtMidi reports instead of throwing; warnings (no JACK server,
// a port gone) change nothing.
void OnError(RtMidiError::Type type, const std::string&, void* failed) {
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
        static_cast<std::atomic<bool>*>(failed)->store(true);
}

// A client of one MIDI system, or null when that system is not there (RtMidi throws
// when the ALSA sequencer cannot be opened).
std::unique_ptr<RtMidiIn> Connect(RtMidi::Api api, std::atomic<bool>& failed) {
    try {
        auto midi = std::make_unique<RtMidiIn>(api, MidiClientName());
        midi->setErrorCallback(&OnError, &failed);
        return midi;
    } catch (const RtMidiError&) {
        return nullptr;
    }
}

bool IsOwnPort(const std::string& name) { return name.rfind(MidiClientName(), 0) == 0; }

// Whether a JACK server, if one runs, answers a client in time. The trial client is
// the helper thread's own, so a server that never answers only keeps that thread.
bool JackAnswers() {
    return RunWithin(JackLimit, [] {
        std::atomic<bool> failed{false};
        if (std::unique_ptr<RtMidiIn> midi = Connect(RtMidi::UNIX_JACK, failed)) midi->getPortCount();
    });
}

// Walks the one list of sources: visit(client, port, name) for each in turn until it
// returns true; gives back that source's client then, else null.
template <typename Visit>
std::unique_ptr<RtMidiIn> FindSource(std::atomic<bool>& failed, Visit&& visit) {
    std::vector<RtMidi::Api> compiled;
    RtMidi::getCompiledApi(compiled);
    for (const RtMidi::Api api : {RtMidi::LINUX_ALSA, RtMidi::UNIX_JACK}) {
        if (std::find(compiled.begin(), compiled.end(), api) == compiled.end()) continue;
        // Without the sequencer's device RtMidi would fail loudly on every listing.
        if (api == RtMidi::LINUX_ALSA && access(AlsaSequencerDevice, F_OK) != 0) continue;
        if (api == RtMidi::UNIX_JACK && !JackAnswers()) continue;
        std::unique_ptr<RtMidiIn> midi = Connect(api, failed);
        if (!midi) continue;
        const unsigned count = midi->getPortCount();
        for (unsigned port = 0; port < count; ++port) {
            const std::string name = midi->getPortName(port);
            if (name.empty() || IsOwnPort(name)) continue;  // gone meanwhile, or our own
            if (visit(*midi, port, name)) return midi;
        }
    }
    return nullptr;
}

void OnMessage(double, std::vector<unsigned char>* message, void* device);

}  // namespace

struct RtMidiMidiIn::Device {
    Device(Window& window, UiWakeup& wake) : callbackWindow(&window), wakeup(wake) {}

    Window* callbackWindow;
    UiWakeup& wakeup;
    MidiRing received{RingCapacity};
    std::atomic<bool> started{false};
    std::atomic<uint64_t> lost{0};  // messages the full ring could not take
    uint64_t lostReported = 0;      // UI thread only
    std::atomic<bool> failed{false};
    std::unique_ptr<RtMidiIn> midi;  // last, so its thread stops before the rest goes
};

namespace {

// The MIDI thread: never waits, never allocates.
void OnMessage(double, std::vector<unsigned char>* message, void* data) {
    auto& device = *static_cast<RtMidiMidiIn::Device*>(data);
    if (!device.started.load(std::memory_order_acquire) || message->empty()) return;
    uint32_t packed = 0;
    const size_t bytes = std::min<size_t>(message->size(), 3);
    for (size_t i = 0; i < bytes; ++i) packed |= static_cast<uint32_t>((*message)[i]) << (8 * i);
    if (!device.received.Push(packed)) device.lost.fetch_add(1, std::memory_order_relaxed);
    device.wakeup.Wake();
}

}  // namespace

RtMidiMidiIn::RtMidiMidiIn() : wakeup_([this] { DeliverReceived(); }) {}

RtMidiMidiIn::~RtMidiMidiIn() = default;

uint32_t RtMidiMidiIn::GetNumDevs() {
    std::atomic<bool> failed{false};
    uint32_t count = 0;
    FindSource(failed, [&](RtMidiIn&, unsigned, const std::string&) {
        ++count;
        return false;
    });
    return count;
}

MmResult RtMidiMidiIn::GetDevCaps(uint32_t deviceId, MidiInCaps& caps) {
    std::atomic<bool> failed{false};
    uint32_t index = 0;
    std::string found;
    const bool exists = FindSource(failed, [&](RtMidiIn&, unsigned, const std::string& name) {
        if (index++ != deviceId) return false;
        found = name;
        return true;
    }) != nullptr;
    if (!exists) return MMSYSERR_BADDEVICEID;
    caps = {};
    CopyProductName(found, caps);
    return MMSYSERR_NOERROR;
}

MmResult RtMidiMidiIn::Open(MidiInHandle& handle, uint32_t deviceId, Window& callbackWindow) {
    handle = nullptr;
    auto device = std::make_unique<Device>(callbackWindow, wakeup_);
    uint32_t index = 0;
    unsigned sourcePort = 0;
    device->midi = FindSource(device->failed, [&](RtMidiIn&, unsigned port, const std::string&) {
        sourcePort = port;
        return index++ == deviceId;
    });
    if (!device->midi) return MMSYSERR_BADDEVICEID;
    RtMidiIn& midi = *device->midi;
    midi.ignoreTypes(true, false, false);  // timing and active sensing come through
    midi.setCallback(&OnMessage, device.get());
    midi.openPort(sourcePort, PortName);
    if (device->failed.load() || !midi.isPortOpen()) return MMSYSERR_ERROR;
    handle = reinterpret_cast<MidiInHandle>(device.get());
    devices_.push_back(std::move(device));
    return MMSYSERR_NOERROR;
}

RtMidiMidiIn::Device* RtMidiMidiIn::Find(MidiInHandle handle) const {
    for (const auto& device : devices_)
        if (reinterpret_cast<MidiInHandle>(device.get()) == handle) return device.get();
    return nullptr;
}

MmResult RtMidiMidiIn::Start(MidiInHandle handle) {
    Device* device = Find(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    device->started.store(true, std::memory_order_release);
    return MMSYSERR_NOERROR;
}

// What arrived before the stop is posted now, behind the messages already queued.
MmResult RtMidiMidiIn::Stop(MidiInHandle handle) {
    Device* device = Find(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    device->started.store(false, std::memory_order_release);
    Deliver(*device);
    return MMSYSERR_NOERROR;
}

MmResult RtMidiMidiIn::Close(MidiInHandle handle) {
    const auto found = std::find_if(devices_.begin(), devices_.end(), [&](const auto& device) {
        return reinterpret_cast<MidiInHandle>(device.get()) == handle;
    });
    if (found == devices_.end()) return MMSYSERR_INVALHANDLE;
    Forget(found, true);
    return MMSYSERR_NOERROR;
}

void RtMidiMidiIn::AbandonDevicesOf(const Window* window) {
    for (auto device = devices_.begin(); device != devices_.end();) {
        if ((*device)->callbackWindow == window) {
            device = Forget(device, false);
        } else {
            ++device;
        }
    }
}

// Ends the device's client, whose thread then stops, and posts what arrived before
// (unless its window is gone). A client whose server no longer answers is left to end
// on its own thread; its device is never freed, since a late message still finds it.
std::vector<std::unique_ptr<RtMidiMidiIn::Device>>::iterator RtMidiMidiIn::Forget(
    std::vector<std::unique_ptr<Device>>::iterator found, bool deliver) {
    Device& device = **found;
    device.started.store(false, std::memory_order_release);
    const bool ended = RunWithin(JackLimit, [midi = device.midi.release()] { delete midi; });
    if (deliver) Deliver(device);
    if (!ended) static_cast<void>(found->release());
    return devices_.erase(found);
}

void RtMidiMidiIn::DeliverReceived() {
    for (const auto& device : devices_) Deliver(*device);
}

void RtMidiMidiIn::Deliver(Device& device) {
    const auto handle = reinterpret_cast<WPARAM>(&device);
    uint32_t packed = 0;
    while (device.received.Pop(packed))
        device.callbackWindow->PostMessage(MM_MIM_DATA, handle, static_cast<LPARAM>(packed));
    const uint64_t lost = device.lost.load(std::memory_order_relaxed);
    if (lost == device.lostReported) return;
    std::fprintf(stderr, "Kelvarin: MIDI input: %" PRIu64 " messages lost, the program fell behind\n",
                 lost - device.lostReported);
    device.lostReported = lost;
}

}  // namespace platform::desktop
