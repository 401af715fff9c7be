#pragma once
// The wave output on the default output device of the first audio system that has
// one: JACK, then PulseAudio, then ALSA. Blocks are played in order and each comes back
// exactly once as MM_WOM_DONE, also when the stream dies (the server goes away): then
// every block still queued comes back as played and later writes fail.
#include <memory>
#include <string>
#include <vector>

#include "platform/desktop/ui_wakeup.h"
#include "platform/wave_out.h"

namespace platform::desktop {

class RtAudioWaveOut final : public WaveOut {
public:
    // windows tells which callback windows still exist.
    RtAudioWaveOut();
    ~RtAudioWaveOut() override;
    RtAudioWaveOut(const RtAudioWaveOut&) = delete;
    RtAudioWaveOut& operator=(const RtAudioWaveOut&) = delete;

    MmResult Open(WaveOutHandle& handle, const WaveFormat& format, Window& callbackWindow) override;
    MmResult PrepareHeader(WaveOutHandle handle, WaveHeader* header) override;
    MmResult Write(WaveOutHandle handle, WaveHeader* header) override;
    MmResult UnprepareHeader(WaveOutHandle handle, WaveHeader* header) override;
    MmResult Close(WaveOutHandle handle) override;
    std::string GetErrorText(MmResult result) override;

    // When a window ends, the streams that report to it stop at once, and the blocks
    // still queued on them, which belong to the ended dialog, are never touched again.
    void AbandonStreamsOf(const Window* window);

    // One open stream; opaque outside this class.
    struct Device;

private:
    enum class StartResult { NoDevice, Failed, Started };

    StartResult Start(Device& device, int api, unsigned blockRate);
    Device* Find(WaveOutHandle handle) const;
    // Stops and closes a stream and forgets it; returns the next device.
    std::vector<std::unique_ptr<Device>>::iterator Remove(
        std::vector<std::unique_ptr<Device>>::iterator device);
    // UI thread: posts MM_WOM_DONE for every block the devices have used up.
    void DeliverPlayed();
    // UI thread: a stream that stopped by itself gives back every queued block.
    void CheckStreams();
    static void OnCheckDue(void* self);

    UiWakeup wakeup_;
    std::vector<std::unique_ptr<Device>> devices_;
};

}  // namespace platform::desktop
