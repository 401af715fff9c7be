#include "platform/desktop/audio/audio_stream.h"

#include <RtAudio.h>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/desktop/audio/jack_output.h"
#include "platform/desktop/audio/sample_rate_converter.h"
#include "platform/desktop/session/client_names.h"
#include "platform/desktop/ui_wakeup.h"

namespace platform::desktop {
namespace {

const char* const StreamName = "Kelvarin";  // as PulseAudio and ALSA show the stream
// Asked of PulseAudio and ALSA (JACK sets its own period): 8 buffers of 256 frames keep
// about 46 ms in the device, so it never asks for more at once than is queued. Fewer
// would not hold a quantum of PipeWire's, 1024 frames by default, through its
// PulseAudio service.
constexpr unsigned BufferFrames = 256;
constexpr unsigned DeviceBuffers = 8;
constexpr unsigned MaxChannels = 2;  // the mono signal goes to both sides of a stereo device
// A dead PulseAudio server shows only as a warning after every callback; an ALSA
// underrun warns now and then.
constexpr unsigned WarningsMeaningLoss = 8;

// The stream whose callback runs on this thread: RtAudio's error callback names none.
thread_local AudioStream* CallingStream = nullptr;

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

void OnRtAudioError(RtAudioError::Type type, const std::string& text) {
    // Errors raised on other threads (opening, closing) end no playing stream.
    if (!CallingStream) return;
    CallingStream->OnError(type, text);
}

}  // namespace

std::unique_ptr<AudioStream> AudioStream::Open(unsigned blockRate, bool& sawDevice) {
    sawDevice = false;
    for (const RtAudio::Api api : {RtAudio::UNIX_JACK, RtAudio::LINUX_PULSE, RtAudio::LINUX_ALSA}) {
        if (api != RtAudio::UNIX_JACK && !IsCompiled(api)) continue;
        std::unique_ptr<AudioStream> stream(new AudioStream(blockRate));
        const StartResult started = api == RtAudio::UNIX_JACK ? stream->StartJack() : stream->Start(api);
        if (started == StartResult::Started) return stream;
        if (started == StartResult::Failed) sawDevice = true;
    }
    return nullptr;
}

AudioStream::AudioStream(unsigned blockRate) : blockRate_(blockRate) {}

// A JACK client closes as jack_ goes.
AudioStream::~AudioStream() {
    if (!audio_) return;
    try {
        // Closing a running stream stops it at once, without waiting for it to drain.
        if (audio_->isStreamOpen()) audio_->closeStream();
    } catch (const RtAudioError&) {
        // The stream goes with its RtAudio object in any case.
    }
}

// The server's rate and period are the device's; the client copies the mono signal to
// each of its ports.
AudioStream::StartResult AudioStream::StartJack() {
    JackOutput::OpenResult opened = JackOutput::OpenResult::NoServer;
    jack_ = JackOutput::Open(AudioClientName(), MaxChannels, opened);
    if (!jack_) return opened == JackOutput::OpenResult::NoServer ? StartResult::NoDevice : StartResult::Failed;
    deviceRate_ = jack_->Rate();
    periodFrames_ = jack_->PeriodFrames();
    if (!MatchDeviceRate()) return StartResult::Failed;
    if (!jack_->Start(&RenderJack, this)) return StartResult::Failed;
    bufferedFrames_ = jack_->PlaybackLatencyFrames();
    return StartResult::Started;
}

AudioStream::StartResult AudioStream::Start(int api) {
    try {
        auto audio = std::make_unique<RtAudio>(static_cast<RtAudio::Api>(api));
        if (audio->getDeviceCount() == 0) return StartResult::NoDevice;
        const unsigned id = audio->getDefaultOutputDevice();
        const RtAudio::DeviceInfo info = audio->getDeviceInfo(id);
        if (!info.probed || info.outputChannels == 0) return StartResult::Failed;
        deviceRate_ = DeviceRate(info, blockRate_);
        channels_ = std::min(info.outputChannels, MaxChannels);
        if (!MatchDeviceRate()) return StartResult::Failed;
        RtAudio::StreamParameters parameters;
        parameters.deviceId = id;
        parameters.nChannels = channels_;
        RtAudio::StreamOptions options;
        options.streamName = StreamName;
        options.numberOfBuffers = DeviceBuffers;
        unsigned frames = BufferFrames;
        audio->openStream(&parameters, nullptr, RTAUDIO_FLOAT32, deviceRate_, &frames, &Render,
                          this, &options, &OnRtAudioError);
        audio_ = std::move(audio);
        // With an error callback RtAudio reports some failures there instead of throwing.
        if (!audio_->isStreamOpen()) return StartResult::Failed;
        periodFrames_ = frames;
        bufferedFrames_ = frames * DeviceBuffers;
        audio_->startStream();
        return audio_->isStreamRunning() ? StartResult::Started : StartResult::Failed;
    } catch (const RtAudioError& error) {
        std::fprintf(stderr, "Kelvarin: audio output: %s\n", error.getMessage().c_str());
        return StartResult::Failed;
    }
}

bool AudioStream::MatchDeviceRate() {
    if (deviceRate_ == blockRate_) return true;
    converter_ = std::make_unique<SampleRateConverter>(blockRate_, deviceRate_, fifo_);
    return converter_->Valid();
}

void AudioStream::Attach(UiWakeup& wakeup) {
    wakeup_ = &wakeup;
    state_.store(Attached, std::memory_order_release);
}

void AudioStream::Detach() {
    // A callback copies a few hundred samples and never blocks, so this wait is short.
    for (;;) {
        int state = state_.load(std::memory_order_relaxed);
        if (state != InCallback &&
            state_.compare_exchange_weak(state, Detached, std::memory_order_acq_rel)) {
            return;
        }
        std::this_thread::yield();
    }
}

unsigned AudioStream::PeriodFrames() const {
    return std::max(periodFrames_, longestCall_.load(std::memory_order_relaxed));
}

uint64_t AudioStream::PeriodSamples() const {
    return (uint64_t{PeriodFrames()} * blockRate_ + deviceRate_ - 1) / deviceRate_;
}

std::string AudioStream::LossReason() const {
    if (loss_.load(std::memory_order_acquire) == Reported) return lossText_.data();
    // JACK ends the client when its server goes away; RtAudio stops a stream after an
    // error in its callback.
    if (jack_ ? jack_->Lost() : !audio_->isStreamRunning()) return "the sound server ended the stream";
    return {};
}

int AudioStream::Render(void* output, void*, unsigned frames, double, unsigned, void* data) {
    auto& self = *static_cast<AudioStream*>(data);
    CallingStream = &self;
    if (!self.warnedSinceCallback_) self.warningsInARow_ = 0;
    self.warnedSinceCallback_ = false;
    self.Serve(static_cast<float*>(output), frames);
    return 0;
}

void AudioStream::RenderJack(float* out, unsigned frames, void* self) {
    static_cast<AudioStream*>(self)->Serve(out, frames);
}

void AudioStream::Serve(float* out, unsigned frames) {
    callbacks_.fetch_add(1, std::memory_order_relaxed);
    if (frames > longestCall_.load(std::memory_order_relaxed)) longestCall_.store(frames, std::memory_order_relaxed);
    int state = Attached;
    if (!state_.compare_exchange_strong(state, InCallback, std::memory_order_acquire)) {
        std::fill(out, out + frames * channels_, 0.0f);
        return;
    }
    Play(out, frames);
    state_.store(Attached, std::memory_order_release);
}

void AudioStream::Play(float* out, unsigned frames) {
    size_t taken = 0;
    for (unsigned done = 0; done < frames;) {
        const auto count = static_cast<unsigned>(std::min<size_t>(frames - done, ChunkFrames));
        float* mono = mono_.data();
        taken += converter_ ? converter_->Read(mono, count) : fifo_.Read(mono, count);
        for (unsigned i = 0; i < count; ++i) {
            for (unsigned c = 0; c < channels_; ++c) out[(done + i) * channels_ + c] = mono[i];
        }
        done += count;
    }
    if (taken > 0) wakeup_->Wake();
}

void AudioStream::OnError(int type, const std::string& text) {
    const bool warning = type == RtAudioError::WARNING || type == RtAudioError::DEBUG_WARNING;
    if (warning) {
        warnedSinceCallback_ = true;
        if (++warningsInARow_ < WarningsMeaningLoss) return;
    }
    int loss = NoLoss;
    if (!loss_.compare_exchange_strong(loss, Reporting, std::memory_order_relaxed)) return;
    const size_t length = std::min(text.size(), lossText_.size() - 1);
    std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length), lossText_.begin());
    lossText_[length] = '\0';
    loss_.store(Reported, std::memory_order_release);
}

}  // namespace platform::desktop
