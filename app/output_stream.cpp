// The wave-output stream: "Generate Mode", the completion handler that renders one
// block per returned block, "Stop", and the close that waits for the queue to drain.
// With fewer than the designed 60 blocks in flight (N, chosen at start-up), the device
// renders each block on its own thread just before it plays it, where the platform
// can, from the note changes handed over to it; the window's voices fade with each
// block as the device's do, and the window shows what the device rendered last.
//
// Its states, held in four of the dialog's members:
//
//   state       waveOut  stopRequested  closePending  queuedBlocks
//   closed      null     any            0             0
//   streaming   open     0              0             0..N (0 once a lost device refused them all)
//   draining    open     1              0             > 0
//   closing     open     1              1             > 0
//
//   closed    -> streaming  OnOK ("Generate Mode") primes N silent blocks
//   streaming -> draining   StopOutput ("Stop"); with nothing queued, straight to closed
//   streaming -> closing    RequestClose ("X", WM_CLOSE); with nothing queued the dialog ends
//   draining  -> closing    RequestClose, the same
//   draining  -> closed     OnBlockDone, when the last block comes back
//   closing   -> (ended)    OnBlockDone, when the last block comes back: RequestClose saves
//   streaming -> streaming  OnBlockDone renders one block for each that comes back
#include <cstdio>

#include "app/blocks_setting.h"
#include "app/main_dialog.h"
#include "app/output_block.h"
#include "res/control_ids.h"
#include "synth/block_renderer.h"

namespace app {

using namespace platform;
using namespace res;

namespace {

constexpr uint32_t OutputSampleRate = 44100;
constexpr int32_t BlockBytes = synth::SamplesPerBlock * 2;
constexpr intptr_t RenderedBlockTag = 98;

constexpr WaveFormat OutputFormat = {WAVE_FORMAT_PCM, 1, OutputSampleRate,
                                     OutputSampleRate * 2, 2, 16};

}  // namespace

void MainDialog::OnOK() {
    if (!UpdateData(true)) return;
    sampleRate = OutputSampleRate;
    stopRequested = 0;
    lastWaveError = MMSYSERR_NOERROR;
    WaveOutHandle opened = nullptr;
    const MmResult result = OpenOutput(opened);
    if (result != MMSYSERR_NOERROR) {
        ReportWaveError(result);
        return;
    }
    waveOut = opened;
    for (int i = 0; i < state_.BlocksInFlight; ++i) QueueSilentBlock(0, BlockBytes);
    ShowStreaming(true);
    if (state_.BlocksInFlight < DesignedBlocksInFlight) SayWhatTheQueueGives();
}

// The designed queue renders here; a shorter one on the device's thread, where the
// platform has one. A stream opened over one still open (a posted "Generate Mode")
// renders here too, so the renderer is never touched while a device renders with it.
MmResult MainDialog::OpenOutput(WaveOutHandle& opened) {
    WaveOut& device = platform_.GetWaveOut();
    renderedByDevice_ = false;
    if (state_.BlocksInFlight < DesignedBlocksInFlight && waveOut == nullptr) {
        if (!liveRenderer_) liveRenderer_ = std::make_unique<LiveRenderer>(OutputSampleRate);
        liveRenderer_->Restart(engine_);
        const MmResult result = device.OpenRendered(opened, OutputFormat, GetWindow(), *liveRenderer_);
        if (result != MMSYSERR_NOTSUPPORTED) {
            renderedByDevice_ = result == MMSYSERR_NOERROR;
            return result;
        }
    }
    return device.Open(opened, OutputFormat, GetWindow());
}

// One line on the error stream: how long a note takes to sound, and whether the
// device's period is longer than the queue, which then grows to cover it, since blocks
// come back a period before they play. Rendered on the device's thread, a note waits
// for the device's next period, for the block already rendered to play out, and for
// what the sound system holds; rendered here, for the whole queue.
void MainDialog::SayWhatTheQueueGives() {
    const DeviceTiming timing = platform_.GetWaveOut().GetDeviceTiming(waveOut);
    const int32_t queued = state_.BlocksInFlight * synth::SamplesPerBlock;
    const auto ms = [](double frames, uint32_t rate) { return 1000.0 * frames / rate; };
    if (!renderedByDevice_ || timing.rate == 0) {
        std::fprintf(stderr, "Kelvarin: %d blocks in flight: a note sounds about %.1f ms after it is played,"
                     " and the sound system's own delay\n", state_.BlocksInFlight, ms(queued, OutputSampleRate));
        return;
    }
    const double most = ms(timing.periodFrames + timing.bufferedFrames, timing.rate) +
                        ms(synth::SamplesPerBlock, OutputSampleRate);
    const bool outgrown = ms(timing.periodFrames, timing.rate) > ms(queued, OutputSampleRate);
    std::fprintf(stderr, "Kelvarin: %d blocks in flight: a note sounds at most %.1f ms after it is played"
                 " (the device's period is %u frames at %u Hz%s)\n", state_.BlocksInFlight, most,
                 timing.periodFrames, timing.rate, outgrown ? ", longer than the queue, which grows to cover it" : "");
}

// "Generate Mode" and "Stop": exactly one of the pair is enabled.
void MainDialog::ShowStreaming(bool streaming) {
    GetWindow().EnableDlgItem(IDOK, !streaming);
    GetWindow().EnableDlgItem(IDC_STOP, streaming);
    FocusStatusEdit();
}

void MainDialog::ShowBlockCount() {
    UpdateData(true);
    blockCount = static_cast<uint32_t>(queuedBlocks);
    UpdateData(false);
}

void MainDialog::QueueSilentBlock(int8_t user, int32_t length) {
    WriteBlock(&outputBlocks_.Allocate(length, user).header);
}

void MainDialog::WriteBlock(WaveHeader* header) {
    WaveOut& device = platform_.GetWaveOut();
    ReportWaveError(device.PrepareHeader(waveOut, header));
    const MmResult written = device.Write(waveOut, header);
    ReportWaveError(written);
    if (written != MMSYSERR_NOERROR) {
        ReportWaveError(device.UnprepareHeader(waveOut, header));
        outputBlocks_.Free(header);
        return;
    }
    ++queuedBlocks;
}

void MainDialog::RenderBlock() {
    if (renderedByDevice_) {
        QueueBlockForTheDevice();
        return;
    }
    OutputBlock& block = outputBlocks_.Allocate(BlockBytes, RenderedBlockTag);
    int16_t samples[synth::SamplesPerBlock];
    const double frequency = synth::RenderSamples(engine_, sampleRate, samples);
    for (int j = 0; j < synth::SamplesPerBlock; ++j) {
        const auto bits = static_cast<uint16_t>(samples[j]);
        block.buffer[2 * j] = static_cast<uint8_t>(bits & 0xFF);
        block.buffer[2 * j + 1] = static_cast<uint8_t>(bits >> 8);
    }
    synth::DecayVoices(engine_);
    WriteBlock(&block.header);

    shownFrequency = frequency;
    UpdateData(false);
    CheckUnlockChord();
}

// The device renders the block when it plays it. The window's voices fade here once
// per block as the device's do, and the fields and the meter show what it rendered last.
void MainDialog::QueueBlockForTheDevice() {
    OutputBlock& block = outputBlocks_.Allocate(BlockBytes, RenderedBlockTag);
    block.header.flags = WHDR_RENDER;
    liveRenderer_->Flush();  // changes that waited for room
    const RenderedSound sound = liveRenderer_->Rendered();
    engine_.PeakSample = sound.peak;
    if (sound.clippedBlocks != clippedBlocksSeen_) engine_.ClipFlag = 1;
    clippedBlocksSeen_ = sound.clippedBlocks;
    synth::DecayVoices(engine_);
    WriteBlock(&block.header);

    shownFrequency = sound.frequency;
    UpdateData(false);
    CheckUnlockChord();
}

// The unlock chord: holding notes 55 and 79 brings a hidden window back at the next
// refresh tick. Once the file says so, holding on rewrites nothing.
void MainDialog::CheckUnlockChord() {
    if (engine_.VoiceTable[55].active != 0 && engine_.VoiceTable[79].active != 0 &&
        !state_.settings.HoldsSettingInt(0, "HideWindow"))
        state_.settings.WriteSettingInt(0, "HideWindow");
}

void MainDialog::HandOver(const NoteChange& change) {
    if (renderedByDevice_ && waveOut != nullptr) liveRenderer_->Hand(change);
}

void MainDialog::OnBlockDone(LPARAM lParam) {
    auto* header = reinterpret_cast<WaveHeader*>(lParam);
    if (!outputBlocks_.Owns(header)) return;  // not a block of ours: nothing came back
    ReportWaveError(platform_.GetWaveOut().UnprepareHeader(waveOut, header));
    --queuedBlocks;
    ShowBlockCount();
    bool drained = true;
    if (stopRequested == 1) {
        if (queuedBlocks != 0) {
            drained = false;
        } else {
            ReportWaveError(platform_.GetWaveOut().Close(waveOut));
            waveOut = nullptr;
            ShowStreaming(false);
        }
    }
    if (drained && queuedBlocks == 0 && closePending == 1) RequestClose();
    outputBlocks_.Free(header);
    if (stopRequested == 0) {
        engine_.PeakSample = 0.0;
        RenderBlock();
    }
}

void MainDialog::StopOutput() {
    if (queuedBlocks != 0) stopRequested = 1;
    ShowBlockCount();
    if (queuedBlocks != 0) return;  // the last completion finishes the stop
    ShowStreaming(false);
    ReportWaveError(platform_.GetWaveOut().Close(waveOut));
    waveOut = nullptr;
}

void MainDialog::RequestClose() {
    if (queuedBlocks != 0) {
        stopRequested = 1;
        closePending = 1;
        return;
    }
    CloseMidiInput();
    SaveSettingsAndExit();
}

// The text goes to the error stream: the window has no place for it. A failure that
// repeats the one before (a lost device refuses every block) is said once per press
// of "Generate Mode".
void MainDialog::ReportWaveError(MmResult result) {
    if (result == MMSYSERR_NOERROR || result == lastWaveError) return;
    lastWaveError = result;
    const std::string text = platform_.GetWaveOut().GetErrorText(result);
    std::fprintf(stderr, "Kelvarin: wave output: %s\n", text.c_str());
}

}  // namespace app
