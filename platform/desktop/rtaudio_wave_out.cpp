#include "platform/desktop/rtaudio_wave_out.h"

#include <FL/Fl.H>
#include <RtAudio.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>

#include "platform/desktop/block_queue.h"
#include "platform/desktop/message_queue.h"
#include "platform/desktop/sample_rate_converter.h"
#include "platform/wave_error_text.h"

namespace platform::desktop {
namespace {

constexpr uint32_t WHDR_DONE = 0x01;
constexpr uint32_t WHDR_PREPARED = 0x02;
constexpr uint32_t WHDR_INQUEUE = 0x10;

const char* const ClientName = "Kelvarin";  // the JACK client's name
constexpr size_t QueueCapacity = 4096;      // blocks written and not yet taken back
constexpr unsigned BufferFrames = 256;      // asked of PulseAudio and ALSA; JACK sets its own
constexpr unsigned MaxChannels = 2;         // the mono signal goes to both sides of a stereo device
constexpr size_t ChunkFrames = 256;
constexpr double CheckPeriodSeconds = 0.1;

// RtAudio's error callback names no stream, so errors are only counted; any error
// ends the streams that were open when it came.
std::atomic<unsigned> StreamErrors{0};

void OnStreamError(RtAudioError::Type type, const std::string& text) {
    if (type == RtAudioError::WARNING || type == RtAudioError::DEBUG_WARNING) return;
    ++StreamErrors;
    std::fprintf(stderr, "Kelvarin: audio output: %s\n", text.c_str());  // rare: the stream ends with it
}

bool IsCompiled(RtAudio::Api api) {
    std::vector<RtAudio::Api> apis;
    RtAudio::getCompiledApi(apis);
    return std::find(apis.begin(), apis.end(), api) != apis.end();
}

// The blocks' own rate when the device offers it; else the device's preferred rate,
// and the blocks are resampled.
unsigned DeviceRate(const RtAudio::DeviceInfo& info, unsigned blockRate) {
    const auto& rates = info.sampleRates;
    if (rates.empty() || std::find(rates.begin(), rates.end(), blockRate) != rates.end()) {
        return blockRate;
    }
    if (info.preferredSampleRate != 0) return info.preferredSampleRate;
    return *std::max_element(rates.begin(), rates.end());
}

int Render(void* output, void*, unsigned frames, double, RtAudioStreamStatus, void* data);

}  // namespace

struct RtAudioWaveOut::Device {
    Device(Window& window, UiWakeup& wake) : callbackWindow(&window), wakeup(wake) {}

    Window* callbackWindow;
    UiWakeup& wakeup;
    BlockQueue blocks{QueueCapacity};
    std::unique_ptr<SampleRateConverter> converter;  // null when no resampling is needed
    unsigned channels = 1;
    unsigned errorsAtOpen = 0;
    bool dead = false;  // the stream stopped by itself; UI thread only
    std::array<float, ChunkFrames> mono{};
    std::unique_ptr<RtAudio> audio;  // last, so its stream stops before the rest goes
};

namespace {

// The audio thread: copies queued samples out, and wakes the UI thread when a block
// was used up.
int Render(void* output, void*, unsigned frames, double, RtAudioStreamStatus, void* data) {
    auto& device = *static_cast<RtAudioWaveOut::Device*>(data);
    auto* out = static_cast<float*>(output);
    bool usedUp = false;
    for (unsigned done = 0; done < frames;) {
        const auto count = static_cast<unsigned>(std::min<size_t>(frames - done, ChunkFrames));
        float* mono = device.mono.data();
        usedUp |= device.converter ? device.converter->Read(mono, count)
                                   : device.blocks.Fill(mono, count);
        for (unsigned i = 0; i < count; ++i) {
            for (unsigned c = 0; c < device.channels; ++c) out[(done + i) * device.channels + c] = mono[i];
        }
        done += count;
    }
    if (usedUp) device.wakeup.Wake();
    return 0;
}

}  // namespace

RtAudioWaveOut::RtAudioWaveOut() : wakeup_([this] { DeliverPlayed(); }) {}

RtAudioWaveOut::~RtAudioWaveOut() { Fl::remove_timeout(&OnCheckDue, this); }

MmResult RtAudioWaveOut::Open(WaveOutHandle& handle, const WaveFormat& format,
                              Window& callbackWindow) {
    handle = nullptr;
    if (format.formatTag != WAVE_FORMAT_PCM || format.channels != 1 ||
        format.bitsPerSample != 16 || format.blockAlign != 2 || format.samplesPerSec == 0) {
        return WAVERR_BADFORMAT;
    }
    bool sawDevice = false;
    for (const RtAudio::Api api : {RtAudio::UNIX_JACK, RtAudio::LINUX_PULSE, RtAudio::LINUX_ALSA}) {
        if (!IsCompiled(api)) continue;
        auto device = std::make_unique<Device>(callbackWindow, wakeup_);
        const StartResult started = Start(*device, api, format.samplesPerSec);
        if (started == StartResult::Failed) sawDevice = true;
        if (started != StartResult::Started) continue;
        handle = reinterpret_cast<WaveOutHandle>(device.get());
        devices_.push_back(std::move(device));
        if (devices_.size() == 1) Fl::add_timeout(CheckPeriodSeconds, &OnCheckDue, this);
        return MMSYSERR_NOERROR;
    }
    return sawDevice ? MMSYSERR_ERROR : MMSYSERR_NODRIVER;
}

RtAudioWaveOut::StartResult RtAudioWaveOut::Start(Device& device, int api, unsigned blockRate) {
    try {
        auto audio = std::make_unique<RtAudio>(static_cast<RtAudio::Api>(api));
        if (audio->getDeviceCount() == 0) return StartResult::NoDevice;
        const unsigned id = audio->getDefaultOutputDevice();
        const RtAudio::DeviceInfo info = audio->getDeviceInfo(id);
        if (!info.probed || info.outputChannels == 0) return StartResult::Failed;
        const unsigned rate = DeviceRate(info, blockRate);
        device.channels = std::min(info.outputChannels, MaxChannels);
        if (rate != blockRate) {
            device.converter = std::make_unique<SampleRateConverter>(blockRate, rate, device.blocks);
            if (!device.converter->Valid()) return StartResult::Failed;
        }
        RtAudio::StreamParameters parameters;
        parameters.deviceId = id;
        parameters.nChannels = device.channels;
        RtAudio::StreamOptions options;
        options.streamName = ClientName;
        unsigned frames = BufferFrames;
        device.errorsAtOpen = StreamErrors.load();
        audio->openStream(&parameters, nullptr, RTAUDIO_FLOAT32, rate, &frames, &Render, &device,
                          &options, &OnStreamError);
        device.audio = std::move(audio);
        // With an error callback RtAudio reports some failures there instead of throwing.
        if (!device.audio->isStreamOpen()) return StartResult::Failed;
        device.audio->startStream();
        return device.audio->isStreamRunning() ? StartResult::Started : StartResult::Failed;
    } catch (const RtAudioError& error) {
        std::fprintf(stderr, "Kelvarin: audio output: %s\n", error.getMessage().c_str());
        return StartResult::Failed;
    }
}

RtAudioWaveOut::Device* RtAudioWaveOut::Find(WaveOutHandle handle) const {
    for (const auto& device : devices_) {
        if (reinterpret_cast<WaveOutHandle>(device.get()) == handle) return device.get();
    }
    return nullptr;
}

MmResult RtAudioWaveOut::PrepareHeader(WaveOutHandle handle, WaveHeader* header) {
    if (!Find(handle)) return MMSYSERR_INVALHANDLE;
    if (!header || (!header->data && header->bufferLength != 0)) return MMSYSERR_INVALPARAM;
    if (header->flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->flags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MmResult RtAudioWaveOut::Write(WaveOutHandle handle, WaveHeader* header) {
    Device* device = Find(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    if (!header) return MMSYSERR_INVALPARAM;
    if (!(header->flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (header->flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    if (device->dead) return MMSYSERR_NODRIVER;
    const uint32_t flags = header->flags;
    header->flags = (flags & ~WHDR_DONE) | WHDR_INQUEUE;
    if (!device->blocks.Push(header)) {
        header->flags = flags;
        return MMSYSERR_NOMEM;
    }
    return MMSYSERR_NOERROR;
}

MmResult RtAudioWaveOut::UnprepareHeader(WaveOutHandle handle, WaveHeader* header) {
    if (!Find(handle)) return MMSYSERR_INVALHANDLE;
    if (!header) return MMSYSERR_INVALPARAM;
    if (header->flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->flags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MmResult RtAudioWaveOut::Close(WaveOutHandle handle) {
    const auto found = std::find_if(devices_.begin(), devices_.end(), [&](const auto& device) {
        return reinterpret_cast<WaveOutHandle>(device.get()) == handle;
    });
    if (found == devices_.end()) return MMSYSERR_INVALHANDLE;
    if ((*found)->blocks.Outstanding() > 0) return WAVERR_STILLPLAYING;
    Remove(found);
    return MMSYSERR_NOERROR;
}

void RtAudioWaveOut::AbandonStreamsOf(const Window* window) {
    for (auto it = devices_.begin(); it != devices_.end();)
        it = (*it)->callbackWindow == window ? Remove(it) : it + 1;
}

std::vector<std::unique_ptr<RtAudioWaveOut::Device>>::iterator RtAudioWaveOut::Remove(
    std::vector<std::unique_ptr<Device>>::iterator device) {
    try {
        RtAudio& audio = *(*device)->audio;
        if (audio.isStreamRunning()) audio.stopStream();
        if (audio.isStreamOpen()) audio.closeStream();
    } catch (const RtAudioError&) {
        // The stream goes with its RtAudio object below in any case.
    }
    const auto next = devices_.erase(device);
    if (devices_.empty()) Fl::remove_timeout(&OnCheckDue, this);
    return next;
}

std::string RtAudioWaveOut::GetErrorText(MmResult result) { return WaveErrorText(result); }

void RtAudioWaveOut::DeliverPlayed() {
    for (const auto& device : devices_) {
        const auto handle = reinterpret_cast<WPARAM>(device.get());
        while (WaveHeader* header = device->blocks.PopPlayed()) {
            header->flags = (header->flags & ~WHDR_INQUEUE) | WHDR_DONE;
            device->callbackWindow->PostMessage(MM_WOM_DONE, handle, reinterpret_cast<LPARAM>(header));
        }
    }
}

void RtAudioWaveOut::CheckStreams() {
    const unsigned errors = StreamErrors.load();
    for (const auto& device : devices_) {
        if (device->dead) continue;
        // JACK closes the stream itself when its server goes away.
        if (device->audio->isStreamRunning() && errors == device->errorsAtOpen) continue;
        device->dead = true;
        device->blocks.RetireAll();
    }
    DeliverPlayed();
}

void RtAudioWaveOut::OnCheckDue(void* data) {
    auto* self = static_cast<RtAudioWaveOut*>(data);
    self->CheckStreams();
    Fl::repeat_timeout(CheckPeriodSeconds, &OnCheckDue, self);
}

}  // namespace platform::desktop
