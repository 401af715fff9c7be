#pragma once
// The simulated platform: one UI thread with no threads and no real time, on which a
// test runs the program's dialogs message by message. Time, wave-block completions
// and user input happen only when the test makes them happen.
//
//   sim::SimPlatform sim;
//   MainDialog dialog(sim);
//   sim.Open(dialog);                  // WM_CREATE and OnInitDialog, no loop
//   sim.Click(res::IDC_STOP);          // queued as the system would queue it
//   sim.Wave().CompleteBlocks(60);     // the device gives the blocks back
//   sim.Pump();                        // the dialog handles all of it
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_clock.h"
#include "platform/sim/sim_file_system.h"
#include "platform/sim/sim_graphics.h"
#include "platform/sim/sim_message_queue.h"
#include "platform/sim/sim_midi_in.h"
#include "platform/sim/sim_wave_out.h"
#include "platform/sim/sim_window.h"

namespace sim {

// One run of RunModal, recorded when it returns.
struct ModalRun {
    int templateId;
    int result;
    bool gaveUp;  // the loop ran out of things to do and ended the dialog itself

    bool operator==(const ModalRun&) const = default;
};

class SimPlatform final : public platform::Platform {
public:
    // Called by a modal loop whenever its queue is empty. It may post messages,
    // complete blocks, move time or click; it returns false when it has nothing more
    // to do. A loop whose hook returns false, or which has no hook, or whose hook
    // queued nothing, ended nothing and moved no time, gives up: it ends its dialog
    // as if OK had been pressed, with the result IDOK.
    using IdleHook = std::function<bool(SimPlatform&)>;

    SimPlatform() = default;
    SimPlatform(const SimPlatform&) = delete;
    SimPlatform& operator=(const SimPlatform&) = delete;

    // platform::Platform
    platform::WaveOut& GetWaveOut() override { return wave_; }
    platform::FileSystem& GetFiles() override { return files_; }
    platform::MidiIn& GetMidiIn() override { return midi_; }
    uint32_t GetTickCount() override { return clock_.TickCount(); }
    int RunModal(platform::Dialog& dialog) override;

    SimWaveOut& Wave() { return wave_; }
    SimFileSystem& Files() { return files_; }
    SimMidiIn& Midi() { return midi_; }
    SimGraphics& Graphics() { return graphics_; }

    // Step by step: creates the dialog's window and initialises it without looping.
    // A dialog opened before and still running is destroyed first. The window is
    // the main window from then on.
    SimWindow& Open(platform::Dialog& dialog);
    // Dispatches queued messages in order, including those posted meanwhile, until
    // the queue is empty or the main dialog has ended.
    void Pump();
    // Dispatches the next queued message, unless the main dialog has ended; false when
    // none was dispatched.
    bool PumpOne();
    // The window made by Open or by the outermost RunModal; it stays readable after
    // its dialog has ended.
    SimWindow& Main();
    // The window of the innermost dialog still running, else the main window.
    SimWindow& Top();
    bool Ended() { return Main().Ended(); }
    int Result() { return Main().Result(); }
    // Every window made, oldest first.
    const std::vector<std::unique_ptr<SimWindow>>& Windows() const { return windows_; }
    const SimMessageQueue& Queue() const { return queue_; }

    // The user's actions on the main window; see SimWindow.
    void Post(platform::UINT message, platform::WPARAM wParam = 0, platform::LPARAM lParam = 0) {
        Main().Post(message, wParam, lParam);
    }
    bool Click(int id) { return Main().Click(id); }
    void KeyDown(platform::WPARAM virtualKey, bool autoRepeat = false) {
        Main().KeyDown(virtualKey, autoRepeat);
    }
    void KeyUp(platform::WPARAM virtualKey) { Main().KeyUp(virtualKey); }
    void SysCommand(platform::WPARAM code) { Main().SysCommand(code); }

    // Time.
    void SetTickCount(uint32_t ms);
    // Moves the clock on and queues WM_TIMER for every timer of a running window that
    // came due, at most one waiting per timer. Dispatches nothing.
    void AdvanceTime(uint32_t ms);
    // AdvanceTime(1) and Pump, ms times: timers run as often as they would for real.
    void RunFor(uint32_t ms);
    // Queues WM_TIMER for the main window's timer unless one is already waiting.
    void FireTimer(uint32_t id) { Main().FireTimer(id); }

    // Modal loops.
    void SetIdleHook(IdleHook hook) { idle_ = std::move(hook); }
    const std::vector<ModalRun>& ModalRuns() const { return modalRuns_; }

private:
    // False when the dialog refused WM_CREATE; the window is finished then.
    bool Create(platform::Dialog& dialog);
    void DispatchNext();
    void Finish(SimWindow& window);

    SimClock clock_;
    SimMessageQueue queue_;
    SimGraphics graphics_;
    SimWaveOut wave_;
    SimFileSystem files_;
    SimMidiIn midi_;
    std::vector<std::unique_ptr<SimWindow>> windows_;
    std::vector<SimWindow*> running_;  // dialogs not yet finished, outermost first
    SimWindow* main_ = nullptr;
    IdleHook idle_;
    std::vector<ModalRun> modalRuns_;
};

}  // namespace sim
