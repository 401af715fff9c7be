#pragma once
// The wave output on the default output device of the first audio system that has
// one: JACK, then PulseAudio, then ALSA. Blocks are played in order and each comes back
// exactly once as MM_WOM_DONE, one device period before it is heard, so that a device
// whose period is longer than what the caller keeps queued still plays without gaps.
// A stream opened with a renderer never waits for the caller: when it is late to queue
// the next block, the renderer fills in.
// When the stream is lost (the server goes away, or stops answering while blocks wait)
// every block still queued comes back and later writes fail. No call waits on the audio
// server for more than a few seconds.
#include <memory>
#include <string>
#include <vector>

#include "platform/desktop/ui_wakeup.h"
#include "platform/wave_out.h"

namespace platform::desktop {

class DesktopWaveOut final : public WaveOut {
public:
    DesktopWaveOut();
    ~DesktopWaveOut() override;
    DesktopWaveOut(const DesktopWaveOut&) = delete;
    DesktopWaveOut& operator=(const DesktopWaveOut&) = delete;

    MmResult Open(WaveOutHandle& handle, const WaveFormat& format, Window& callbackWindow) override;
    MmResult OpenRendered(WaveOutHandle& handle, const WaveFormat& format, Window& callbackWindow,
                          BlockRenderer& renderer) override;
    MmResult PrepareHeader(WaveOutHandle handle, WaveHeader* header) override;
    MmResult Write(WaveOutHandle handle, WaveHeader* header) override;
    MmResult UnprepareHeader(WaveOutHandle handle, WaveHeader* header) override;
    MmResult Close(WaveOutHandle handle) override;
    std::string GetErrorText(MmResult result) override;
    DeviceTiming GetDeviceTiming(WaveOutHandle handle) override;

    // When a window ends, the streams that report to it stop at once, and the blocks
    // still queued on them, which belong to the ended dialog, are never touched again.
    void AbandonStreamsOf(const Window* window);

    // One open stream; opaque outside this class.
    struct Device;

private:
    MmResult OpenStream(WaveOutHandle& handle, const WaveFormat& format, Window& callbackWindow,
                        BlockRenderer* renderer);
    Device* Find(WaveOutHandle handle) const;
    // Stops and closes a stream and forgets it; returns the next device.
    std::vector<std::unique_ptr<Device>>::iterator Remove(
        std::vector<std::unique_ptr<Device>>::iterator device);
    // Marks a block done and posts its MM_WOM_DONE.
    void GiveBack(Device& device, WaveHeader* header);
    // Gives back every block of a playing stream that is done.
    void GiveBackDone(Device& device);
    // UI thread: posts MM_WOM_DONE for every block that is done.
    void DeliverPlayed();
    // UI thread: a stream that was lost gives back every queued block.
    void CheckStreams();
    void Lose(Device& device, const std::string& reason);
    static void OnCheckDue(void* self);

    UiWakeup wakeup_;
    std::vector<std::unique_ptr<Device>> devices_;
    std::string lossReason_;  // of the last stream lost, for the error text
};

}  // namespace platform::desktop
