#pragma once
// One output stream, through the program's own JACK client or through RtAudio to
// PulseAudio or ALSA, and everything its audio thread touches: the FIFO of samples, the
// resampler and the report of a loss. The audio thread never locks,
// allocates or blocks. Before Attach and after Detach its callback plays silence and
// touches nothing outside the stream, so a stream whose server hangs can be left to
// close on a thread of its own while the rest of the program goes on.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/desktop/audio/sample_fifo.h"
#include "platform/wave_out.h"

class RtAudio;

namespace platform::desktop {

class JackOutput;
class SampleRateConverter;
class UiWakeup;

class AudioStream {
public:
    // Opens and starts the default output device of the first audio system that has
    // one: JACK, then PulseAudio, then ALSA. Null when none could be; sawDevice then
    // tells whether some system had a device that failed.
    static std::unique_ptr<AudioStream> Open(unsigned blockRate, bool& sawDevice);
    // Stops and closes the stream, which may wait as long as the server does.
    ~AudioStream();
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;

    // UI thread: from now on the callback plays the FIFO and wakes the UI thread when
    // it took samples.
    void Attach(UiWakeup& wakeup);
    // UI thread: waits out a callback that is running, if any; afterwards none touches
    // the wakeup again.
    void Detach();

    SampleFifo& Fifo() { return fifo_; }
    // One device period, in samples at the block rate: the longest the device has asked
    // for, since a server may change its period while the stream plays (PipeWire does).
    uint64_t PeriodSamples() const;
    DeviceTiming Timing() const { return {deviceRate_, PeriodFrames(), bufferedFrames_}; }
    // How many times the device has asked for sound.
    uint64_t Callbacks() const { return callbacks_.load(std::memory_order_relaxed); }
    // UI thread: why the stream stopped playing, or empty while it plays.
    std::string LossReason() const;

    // The thread that raised an RtAudio error or warning during a callback: the first
    // one that means the stream is lost is kept.
    void OnError(int type, const std::string& text);

private:
    enum class StartResult { NoDevice, Failed, Started };
    enum CallbackState { Unattached, Attached, InCallback, Detached };
    enum LossState { NoLoss, Reporting, Reported };
    static constexpr size_t ChunkFrames = 256;

    explicit AudioStream(unsigned blockRate);
    StartResult StartJack();
    StartResult Start(int api);
    // Resamples the blocks when the device runs at another rate.
    bool MatchDeviceRate();
    void Serve(float* out, unsigned frames);
    void Play(float* out, unsigned frames);

    static int Render(void* output, void* input, unsigned frames, double time,
                      unsigned status, void* self);
    static void RenderJack(float* out, unsigned frames, void* self);

    unsigned blockRate_;
    unsigned deviceRate_ = 0;
    unsigned channels_ = 1;
    SampleFifo fifo_;
    std::unique_ptr<SampleRateConverter> converter_;  // null when no resampling is needed
    std::array<float, ChunkFrames> mono_{};
    UiWakeup* wakeup_ = nullptr;
    std::atomic<int> state_{Unattached};
    std::atomic<uint64_t> callbacks_{0};
    unsigned PeriodFrames() const;
    unsigned periodFrames_ = 0;  // as the device opened
    std::atomic<unsigned> longestCall_{0};  // frames, set by the audio thread
    unsigned bufferedFrames_ = 0;  // what the sound system holds after a callback, at most
    // Warnings in consecutive callbacks; the audio thread's own.
    unsigned warningsInARow_ = 0;
    bool warnedSinceCallback_ = false;
    std::atomic<int> loss_{NoLoss};
    std::array<char, 256> lossText_{};
    // Last, so that the stream stops before the rest goes; one of the two is set.
    std::unique_ptr<JackOutput> jack_;
    std::unique_ptr<RtAudio> audio_;
};

}  // namespace platform::desktop
