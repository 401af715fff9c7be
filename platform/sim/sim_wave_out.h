#pragma once
// The simulated wave output. Nothing plays: every block the program writes is kept,
// and a block comes back (MM_WOM_DONE posted to the callback window) only when the
// test says it has played. A block flagged WHDR_RENDER on a device opened with a
// renderer gets its samples from the renderer as it plays. Any call can be made to
// fail with a chosen result.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <vector>

#include "platform/sim/injected_failures.h"
#include "platform/wave_out.h"

namespace sim {

enum class WaveCall { Open, Prepare, Write, Unprepare, Close };

struct WrittenBlock {
    std::vector<int16_t> samples;  // as the device plays them; a rendered block's once played
    intptr_t user;
    uint32_t length;  // bytes
    const platform::WaveHeader* header;  // for matching MM_WOM_DONE; do not follow it
    bool returned = false;               // MM_WOM_DONE has been posted
    bool rendered = false;               // flagged WHDR_RENDER
};

class SimWaveOut final : public platform::WaveOut {
public:
    // platform::WaveOut
    platform::MmResult Open(platform::WaveOutHandle& handle, const platform::WaveFormat& format,
                            platform::Window& callbackWindow) override;
    platform::MmResult OpenRendered(platform::WaveOutHandle& handle, const platform::WaveFormat& format,
                                    platform::Window& callbackWindow,
                                    platform::BlockRenderer& renderer) override;
    platform::MmResult PrepareHeader(platform::WaveOutHandle handle,
                                     platform::WaveHeader* header) override;
    platform::MmResult Write(platform::WaveOutHandle handle, platform::WaveHeader* header) override;
    platform::MmResult UnprepareHeader(platform::WaveOutHandle handle,
                                       platform::WaveHeader* header) override;
    platform::MmResult Close(platform::WaveOutHandle handle) override;
    std::string GetErrorText(platform::MmResult result) override;
    platform::DeviceTiming GetDeviceTiming(platform::WaveOutHandle handle) override;

    // What a test arranges: the device's timing as GetDeviceTiming gives it (none at first).
    void SetDeviceTiming(const platform::DeviceTiming& timing) { timing_ = timing; }
    // What a test arranges: the next call of that kind fails, or every one until cleared.
    void FailNext(WaveCall call, platform::MmResult result) { failures_.FailNext(call, result); }
    void FailAlways(WaveCall call, platform::MmResult result) { failures_.FailAlways(call, result); }
    void ClearFailures() { failures_.Clear(); }

    // Plays the oldest n blocks in flight (fewer if fewer are): each goes back to its
    // callback window as a posted MM_WOM_DONE. Returns how many went back.
    size_t CompleteBlocks(size_t n);
    // Plays every block in flight.
    size_t CompleteAll() { return CompleteBlocks(InFlight()); }

    // What a test reads.
    bool IsOpen() const;
    int Opens() const { return static_cast<int>(devices_.size()); }
    // The format of the latest successful open.
    std::optional<platform::WaveFormat> Format() const;
    // Every block the device accepted, in order of writing.
    const std::vector<WrittenBlock>& Blocks() const { return blocks_; }
    // The samples of every accepted block, end to end.
    std::vector<int16_t> Samples() const;
    size_t InFlight() const { return inFlight_.size(); }
    // Headers prepared and not yet unprepared.
    size_t Prepared() const { return prepared_.size(); }
    int FailedWrites() const { return failedWrites_; }
    // Results whose text the program looked up, in order.
    const std::vector<platform::MmResult>& ErrorTextLookups() const { return errorTextLookups_; }

private:
    struct Device {
        platform::WaveFormat format;
        platform::Window* callback;
        platform::BlockRenderer* renderer = nullptr;
        bool open = true;
    };

    std::optional<platform::MmResult> InjectedFailure(WaveCall call) { return failures_.Take(call); }
    Device* Find(platform::WaveOutHandle handle);
    bool IsInFlight(const platform::WaveHeader* header) const;

    std::deque<Device> devices_;  // a deque, so a handle (a device's address) stays valid
    InjectedFailures<WaveCall> failures_;
    std::set<const platform::WaveHeader*> prepared_;
    std::vector<WrittenBlock> blocks_;
    std::deque<size_t> inFlight_;  // indexes into blocks_, oldest first
    std::vector<Device*> blockDevice_;  // the device of each block
    int failedWrites_ = 0;
    std::vector<platform::MmResult> errorTextLookups_;
    platform::DeviceTiming timing_{};
};

}  // namespace sim
