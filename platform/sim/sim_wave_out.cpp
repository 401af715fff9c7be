#include "platform/sim/sim_wave_out.h"

#include <algorithm>
#include <cstring>

#include "platform/wave_error_text.h"

namespace sim {

using namespace platform;

namespace {

// A handle is the device's address; the program never looks behind it.
WaveOutHandle HandleOf(void* device) { return reinterpret_cast<WaveOutHandle>(device); }

}  // namespace

MmResult SimWaveOut::Open(WaveOutHandle& handle, const WaveFormat& format, Window& callbackWindow) {
    if (const auto failure = InjectedFailure(WaveCall::Open)) return *failure;
    devices_.push_back({format, &callbackWindow});
    handle = HandleOf(&devices_.back());
    return MMSYSERR_NOERROR;
}

MmResult SimWaveOut::OpenRendered(WaveOutHandle& handle, const WaveFormat& format,
                                  Window& callbackWindow, BlockRenderer& renderer) {
    const MmResult result = Open(handle, format, callbackWindow);
    if (result == MMSYSERR_NOERROR) devices_.back().renderer = &renderer;
    return result;
}

MmResult SimWaveOut::PrepareHeader(WaveOutHandle handle, WaveHeader* header) {
    if (const auto failure = InjectedFailure(WaveCall::Prepare)) return *failure;
    if (!Find(handle) || !header) return MMSYSERR_INVALHANDLE;
    prepared_.insert(header);
    return MMSYSERR_NOERROR;
}

MmResult SimWaveOut::Write(WaveOutHandle handle, WaveHeader* header) {
    const auto failure = InjectedFailure(WaveCall::Write);
    Device* device = Find(handle);
    const bool rendered = header && (header->flags & WHDR_RENDER) != 0;
    const MmResult result = failure                       ? *failure
                            : !device || !header          ? MMSYSERR_INVALHANDLE
                            : !prepared_.contains(header) ? WAVERR_UNPREPARED
                            : IsInFlight(header)          ? WAVERR_STILLPLAYING
                            : rendered && (!device->renderer || header->bufferLength / 2 == 0 ||
                                           header->bufferLength / 2 > MaxRenderedSamples)
                                ? MMSYSERR_INVALPARAM
                                : MMSYSERR_NOERROR;
    if (result != MMSYSERR_NOERROR) {
        ++failedWrites_;
        return result;
    }
    WrittenBlock block{{}, header->user, header->bufferLength, header};
    block.rendered = rendered;
    // Samples are stored low byte first, as on the machines we run on.
    if (!rendered) block.samples.resize(header->bufferLength / sizeof(int16_t));
    if (!block.samples.empty())
        std::memcpy(block.samples.data(), header->data, block.samples.size() * sizeof(int16_t));
    inFlight_.push_back(blocks_.size());
    blocks_.push_back(std::move(block));
    blockDevice_.push_back(device);
    return MMSYSERR_NOERROR;
}

MmResult SimWaveOut::UnprepareHeader(WaveOutHandle handle, WaveHeader* header) {
    if (const auto failure = InjectedFailure(WaveCall::Unprepare)) return *failure;
    if (!Find(handle) || !header) return MMSYSERR_INVALHANDLE;
    if (IsInFlight(header)) return WAVERR_STILLPLAYING;
    prepared_.erase(header);
    return MMSYSERR_NOERROR;
}

MmResult SimWaveOut::Close(WaveOutHandle handle) {
    if (const auto failure = InjectedFailure(WaveCall::Close)) return *failure;
    Device* device = Find(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    const bool busy = std::any_of(inFlight_.begin(), inFlight_.end(),
                                  [&](size_t block) { return blockDevice_[block] == device; });
    if (busy) return WAVERR_STILLPLAYING;
    device->open = false;
    return MMSYSERR_NOERROR;
}

std::string SimWaveOut::GetErrorText(MmResult result) {
    errorTextLookups_.push_back(result);
    return WaveErrorText(result);
}

DeviceTiming SimWaveOut::GetDeviceTiming(WaveOutHandle) { return timing_; }

size_t SimWaveOut::CompleteBlocks(size_t n) {
    size_t completed = 0;
    for (; completed < n && !inFlight_.empty(); ++completed) {
        WrittenBlock& block = blocks_[inFlight_.front()];
        Device* device = blockDevice_[inFlight_.front()];
        inFlight_.pop_front();
        block.returned = true;
        if (block.rendered) {
            block.samples.assign(block.length / sizeof(int16_t), 0);
            device->renderer->RenderBlock(block.samples.data(), block.samples.size());
        }
        device->callback->PostMessage(
            MM_WOM_DONE, reinterpret_cast<WPARAM>(HandleOf(device)),
            reinterpret_cast<LPARAM>(block.header));
    }
    return completed;
}

bool SimWaveOut::IsOpen() const {
    return std::any_of(devices_.begin(), devices_.end(), [](const Device& device) { return device.open; });
}

std::optional<WaveFormat> SimWaveOut::Format() const {
    if (devices_.empty()) return std::nullopt;
    return devices_.back().format;
}

std::vector<int16_t> SimWaveOut::Samples() const {
    std::vector<int16_t> samples;
    for (const WrittenBlock& block : blocks_)
        samples.insert(samples.end(), block.samples.begin(), block.samples.end());
    return samples;
}

SimWaveOut::Device* SimWaveOut::Find(WaveOutHandle handle) {
    for (Device& device : devices_)
        if (HandleOf(&device) == handle && device.open) return &device;
    return nullptr;
}

bool SimWaveOut::IsInFlight(const WaveHeader* header) const {
    return std::any_of(inFlight_.begin(), inFlight_.end(),
                       [&](size_t block) { return blocks_[block].header == header; });
}

}  // namespace sim
