#include "platform/desktop/audio/desktop_wave_out.h"

#include <FL/Fl.H>

#include <algorithm>
#include <mutex>

#include "platform/desktop/audio/audio_stream.h"
#include "platform/desktop/audio/block_queue.h"
#include "platform/desktop/window/message_queue.h"
#include "platform/desktop/run_within.h"
#include "platform/wave_error_text.h"

namespace platform::desktop {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr uint32_t WHDR_DONE = 0x01;
constexpr uint32_t WHDR_PREPARED = 0x02;
constexpr uint32_t WHDR_INQUEUE = 0x10;

constexpr size_t QueueCapacity = 4096;  // blocks written and not yet taken back
constexpr double CheckPeriodSeconds = 0.1;
// A server that takes longer than these is given up on. Opening a PulseAudio null sink
// can pause the first callbacks for about 2 s, so a stall must last longer.
constexpr auto OpenLimit = 3000ms;
constexpr auto CloseLimit = 2000ms;
constexpr auto StallLimit = 4s;

// What an open that runs on a thread of its own hands back, unless it was given up on;
// then the opener closes what it opened itself.
struct OpenSlot {
    std::mutex mutex;
    bool finished = false;
    bool abandoned = false;
    bool sawDevice = false;
    std::unique_ptr<AudioStream> stream;
};

// Stops and closes a stream on a thread of its own, waiting at most limit for it.
void ShutDown(std::unique_ptr<AudioStream> stream, std::chrono::milliseconds limit) {
    if (!stream) return;
    stream->Detach();
    RunWithin(limit, [owned = stream.release()] { delete owned; });
}

}  // namespace

struct DesktopWaveOut::Device {
    Device(Window& window, BlockRenderer* blockRenderer)
        : callbackWindow(&window), renderer(blockRenderer) {}

    Window* callbackWindow;
    BlockRenderer* renderer;  // null unless opened with one
    BlockQueue blocks{QueueCapacity};
    std::unique_ptr<AudioStream> stream;  // null once lost
    uint64_t callbacksSeen = 0;
    Clock::time_point progressAt = Clock::now();  // when the device last asked for sound
};

DesktopWaveOut::DesktopWaveOut() : wakeup_([this] { DeliverPlayed(); }) {}

DesktopWaveOut::~DesktopWaveOut() {
    Fl::remove_timeout(&OnCheckDue, this);
    for (auto& device : devices_) ShutDown(std::move(device->stream), CloseLimit);
}

MmResult DesktopWaveOut::Open(WaveOutHandle& handle, const WaveFormat& format,
                              Window& callbackWindow) {
    return OpenStream(handle, format, callbackWindow, nullptr);
}

MmResult DesktopWaveOut::OpenRendered(WaveOutHandle& handle, const WaveFormat& format,
                                      Window& callbackWindow, BlockRenderer& renderer) {
    return OpenStream(handle, format, callbackWindow, &renderer);
}

MmResult DesktopWaveOut::OpenStream(WaveOutHandle& handle, const WaveFormat& format,
                                    Window& callbackWindow, BlockRenderer* renderer) {
    handle = nullptr;
    if (format.formatTag != WAVE_FORMAT_PCM || format.channels != 1 ||
        format.bitsPerSample != 16 || format.blockAlign != 2 || format.samplesPerSec == 0) {
        return WAVERR_BADFORMAT;
    }
    auto slot = std::make_shared<OpenSlot>();
    RunWithin(OpenLimit, [slot, rate = format.samplesPerSec] {
        bool sawDevice = false;
        std::unique_ptr<AudioStream> stream = AudioStream::Open(rate, sawDevice);
        std::lock_guard lock(slot->mutex);
        slot->finished = true;
        slot->sawDevice = sawDevice;
        // Given up on: the stream closes here, as the lock guard goes.
        if (!slot->abandoned) slot->stream = std::move(stream);
    });
    std::unique_lock lock(slot->mutex);
    if (!slot->finished) {
        slot->abandoned = true;
        return MMSYSERR_ERROR;
    }
    if (!slot->stream) return slot->sawDevice ? MMSYSERR_ERROR : MMSYSERR_NODRIVER;
    auto device = std::make_unique<Device>(callbackWindow, renderer);
    device->stream = std::move(slot->stream);
    device->stream->Attach(wakeup_);
    handle = reinterpret_cast<WaveOutHandle>(device.get());
    devices_.push_back(std::move(device));
    if (devices_.size() == 1) Fl::add_timeout(CheckPeriodSeconds, &OnCheckDue, this);
    return MMSYSERR_NOERROR;
}

DesktopWaveOut::Device* DesktopWaveOut::Find(WaveOutHandle handle) const {
    for (const auto& device : devices_) {
        if (reinterpret_cast<WaveOutHandle>(device.get()) == handle) return device.get();
    }
    return nullptr;
}

MmResult DesktopWaveOut::PrepareHeader(WaveOutHandle handle, WaveHeader* header) {
    if (!Find(handle)) return MMSYSERR_INVALHANDLE;
    if (!header || (!header->data && header->bufferLength != 0)) return MMSYSERR_INVALPARAM;
    if (header->flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->flags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MmResult DesktopWaveOut::Write(WaveOutHandle handle, WaveHeader* header) {
    Device* device = Find(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    if (!header) return MMSYSERR_INVALPARAM;
    if (!(header->flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (header->flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    if (!device->stream) return MMSYSERR_NODRIVER;
    const uint32_t flags = header->flags;
    const bool rendered = (flags & WHDR_RENDER) != 0;
    if (rendered && (!device->renderer || header->bufferLength / 2 == 0 || header->bufferLength / 2 > MaxRenderedSamples))
        return MMSYSERR_INVALPARAM;
    header->flags = (flags & ~WHDR_DONE) | WHDR_INQUEUE;
    if (!device->blocks.Push(header, rendered ? device->renderer : nullptr)) {
        header->flags = flags;
        return MMSYSERR_NOMEM;
    }
    // In the FIFO at once: a device with a long period takes it at its next callback.
    device->blocks.Feed(device->stream->Fifo());
    // A rendered stream keeps few blocks: one already inside the device's next period
    // comes back at once, so the queue grows to cover the period before the device asks.
    if (device->renderer) GiveBackDone(*device);
    return MMSYSERR_NOERROR;
}

MmResult DesktopWaveOut::UnprepareHeader(WaveOutHandle handle, WaveHeader* header) {
    if (!Find(handle)) return MMSYSERR_INVALHANDLE;
    if (!header) return MMSYSERR_INVALPARAM;
    if (header->flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->flags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MmResult DesktopWaveOut::Close(WaveOutHandle handle) {
    const auto found = std::find_if(devices_.begin(), devices_.end(), [&](const auto& device) {
        return reinterpret_cast<WaveOutHandle>(device.get()) == handle;
    });
    if (found == devices_.end()) return MMSYSERR_INVALHANDLE;
    if ((*found)->blocks.Outstanding() > 0) return WAVERR_STILLPLAYING;
    Remove(found);
    return MMSYSERR_NOERROR;
}

void DesktopWaveOut::AbandonStreamsOf(const Window* window) {
    for (auto it = devices_.begin(); it != devices_.end();)
        it = (*it)->callbackWindow == window ? Remove(it) : it + 1;
}

std::vector<std::unique_ptr<DesktopWaveOut::Device>>::iterator DesktopWaveOut::Remove(
    std::vector<std::unique_ptr<Device>>::iterator device) {
    ShutDown(std::move((*device)->stream), CloseLimit);
    const auto next = devices_.erase(device);
    if (devices_.empty()) Fl::remove_timeout(&OnCheckDue, this);
    return next;
}

std::string DesktopWaveOut::GetErrorText(MmResult result) {
    if (result == MMSYSERR_NODRIVER && !lossReason_.empty())
        return WaveErrorText(result) + " The last one was lost: " + lossReason_;
    return WaveErrorText(result);
}

DeviceTiming DesktopWaveOut::GetDeviceTiming(WaveOutHandle handle) {
    const Device* device = Find(handle);
    if (!device || !device->stream) return {};
    return device->stream->Timing();
}

void DesktopWaveOut::GiveBack(Device& device, WaveHeader* header) {
    header->flags = (header->flags & ~WHDR_INQUEUE) | WHDR_DONE;
    device.callbackWindow->PostMessage(MM_WOM_DONE, reinterpret_cast<WPARAM>(&device),
                                       reinterpret_cast<LPARAM>(header));
}

void DesktopWaveOut::GiveBackDone(Device& device) {
    AudioStream& stream = *device.stream;
    // One device period early: the period that the device asks for next is then in the
    // FIFO however long it is.
    const uint64_t position = stream.Fifo().ReadPosition() + stream.PeriodSamples();
    while (WaveHeader* header = device.blocks.PopDone(position)) GiveBack(device, header);
}

void DesktopWaveOut::DeliverPlayed() {
    for (const auto& device : devices_) {
        if (!device->stream) continue;
        device->blocks.Feed(device->stream->Fifo());
        GiveBackDone(*device);
    }
}

void DesktopWaveOut::CheckStreams() {
    const Clock::time_point now = Clock::now();
    for (const auto& device : devices_) {
        if (!device->stream) continue;
        std::string reason = device->stream->LossReason();
        const uint64_t callbacks = device->stream->Callbacks();
        if (callbacks != device->callbacksSeen || device->blocks.Outstanding() == 0) {
            device->callbacksSeen = callbacks;
            device->progressAt = now;
        } else if (reason.empty() && now - device->progressAt > StallLimit) {
            reason = "the sound server stopped answering";
        }
        if (!reason.empty()) Lose(*device, reason);
    }
    DeliverPlayed();
}

void DesktopWaveOut::Lose(Device& device, const std::string& reason) {
    lossReason_ = reason;
    ShutDown(std::move(device.stream), CloseLimit);
    while (WaveHeader* header = device.blocks.PopAny()) GiveBack(device, header);
}

void DesktopWaveOut::OnCheckDue(void* data) {
    auto* self = static_cast<DesktopWaveOut*>(data);
    self->CheckStreams();
    Fl::repeat_timeout(CheckPeriodSeconds, &OnCheckDue, self);
}

}  // namespace platform::desktop
