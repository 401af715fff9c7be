#pragma once
// The one window of the program: every control, every handler, and the state of the
// wave-output stream. Its handlers live in files named for what they do.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/live_renderer.h"
#include "app/output_block.h"
#include "app/program_state.h"
#include "input/controller_bindings.h"
#include "input/held_keys.h"
#include "input/sustain_pedal.h"
#include "platform/dialog.h"
#include "platform/platform.h"
#include "platform/wave_out.h"

namespace app {

class MainDialog : public platform::Dialog {
public:
    MainDialog(platform::Platform& platform, ProgramState& state);

    bool OnInitDialog() override;
    bool PreTranslateMessage(const platform::Message& msg) override;
    platform::LRESULT WindowProc(platform::UINT message, platform::WPARAM wParam,
                                 platform::LPARAM lParam) override;

    // Played notes: strike (velocity != 0) or release (0); only the low 8 bits count.
    // While the sustain pedal is down, a release waits for the pedal to lift.
    void NoteEvent(int32_t note, int32_t velocity);
    void ResetSound();

    // Data exchange between the bound fields and their members; false when a numeric
    // field holds text that is not a number.
    bool UpdateData(bool saveAndValidate);
    void FocusStatusEdit();

private:
    // Members, in the order the dialog declares them. The first five are the output
    // stream's state (output_stream.cpp names its states); the rest are bound to fields.
    int32_t queuedBlocks = 0;
    uint32_t sampleRate = 0;
    int32_t stopRequested = 0;
    uint8_t closePending = 0;
    platform::WaveOutHandle waveOut = nullptr;
    uint32_t blockCount = 0;
    std::string logText;
    std::string deviceIndexText;
    std::string statusText;
    std::string amplitudeText = "4000";
    double shownFrequency = 0.0;
    int icon;

    struct Route;
    static const Route Routes[];
    platform::LRESULT Dispatch(platform::UINT message, platform::WPARAM wParam,
                               platform::LPARAM lParam);
    bool ClickAllowed(platform::WPARAM wParam) const;
    template <void (MainDialog::*Handler)()>
    platform::LRESULT Command(platform::WPARAM, platform::LPARAM);

    // Shell: main_dialog.cpp
    platform::LRESULT OnSysCommand(platform::WPARAM wParam, platform::LPARAM lParam);
    platform::LRESULT OnCreate(platform::WPARAM wParam, platform::LPARAM lParam);
    platform::LRESULT OnMove(platform::WPARAM wParam, platform::LPARAM lParam);
    platform::LRESULT OnChar(platform::WPARAM wParam, platform::LPARAM lParam);
    void AbortAndExit();
    platform::LRESULT OnEndSession(platform::WPARAM ending, platform::LPARAM lParam);
    void HideMainWindow();
    void OnCancel();

    // Settings: settings_sliders.cpp
    void SetSliderRanges();
    void LoadSliderPositions();
    void SaveSettingsAndExit();
    // True when every slider's value was written.
    bool SaveSliderPositions();
    // A session manager's save: the sliders now, and the program goes on.
    platform::LRESULT OnSaveSettings(platform::WPARAM wParam, platform::LPARAM lParam);

    // Output stream: output_stream.cpp
    void OnOK();
    void StopOutput();
    void RequestClose();
    void QueueSilentBlock(int8_t user, int32_t length);
    void RenderBlock();
    void OnBlockDone(platform::LPARAM header);
    void ReportWaveError(platform::MmResult result);
    void ShowStreaming(bool streaming);
    // Copies the count of blocks in flight into the BlockCount field.
    void ShowBlockCount();
    // Queues a filled block; a block the device refuses is freed at once and not
    // counted, since it would never come back.
    void WriteBlock(platform::WaveHeader* header);
    // With fewer than the designed blocks in flight, the device renders them itself
    // where it can: output_stream.cpp.
    platform::MmResult OpenOutput(platform::WaveOutHandle& opened);
    void SayWhatTheQueueGives();
    void QueueBlockForTheDevice();
    void CheckUnlockChord();
    // Every writer of the voices or the weights tells the device's renderer what it
    // changed, while one renders the open output.
    void HandOver(const NoteChange& change);

    // Refresh tick: refresh_parameters.cpp
    platform::LRESULT RefreshParameters(platform::WPARAM timerId, platform::LPARAM lParam);

    // Computer keyboard: input/keyboard_handlers.cpp
    void OnKeyMessage(const platform::Message& msg);
    platform::LRESULT OnActivate(platform::WPARAM wParam, platform::LPARAM lParam);

    // MIDI input: input/midi_handlers.cpp
    void OpenMidiInput();
    void CloseMidiInput();
    void ShowMidiInputOpen(bool open);
    void OnMidiData(platform::LPARAM lParam);

    // Controllers: input/controller_handlers.cpp. A right-button click on a slider arms
    // it to learn the next controller moved, or unbinds it; bound controllers move their
    // sliders; controller 64 is the sustain pedal until a slider learns it.
    platform::LRESULT OnContextMenu(platform::WPARAM sliderId, platform::LPARAM lParam);
    void CancelLearning();
    // Shows the slider armed, or none; the one armed before is shown as usual again.
    void ShowLearning(std::optional<int> sliderId);
    void OnControlChange(int32_t controller, int32_t value);
    void LoadControllerBindings();
    void SaveControllerBindings();
    void LiftPedal();

    // Keyboard view: view/paint_handlers.cpp
    void RepaintKeyboardView();
    platform::LRESULT OnPaint(platform::WPARAM wParam, platform::LPARAM lParam);
    platform::LRESULT OnQueryDragIcon(platform::WPARAM wParam, platform::LPARAM lParam);

    // Recording and playback: record/recording_handlers.cpp, record/playback_handlers.cpp
    void StartRecording();
    void StopRecording();
    // The last step of NoteEvent: one record while recording is on.
    void AppendNoteRecord(uint8_t note, uint8_t velocity);
    void StartPlayback();
    void PlaybackTick();
    void StopPlayback();
    // Enables the one button of a start/stop pair that fits the state, then focuses the
    // status field.
    void ShowButtonPair(int startButton, int stopButton, bool running);

    // Mouse striking: view/mouse_handlers.cpp
    platform::LRESULT OnLButtonDown(platform::WPARAM keys, platform::LPARAM point);
    platform::LRESULT OnMouseMove(platform::WPARAM keys, platform::LPARAM point);
    void StrikeUnderPointer(platform::WPARAM keys, platform::LPARAM point);

    platform::Platform& platform_;
    ProgramState& state_;
    OutputBlocks outputBlocks_;
    synth::Engine& engine_;
    input::HeldKeys heldKeys_;
    input::ControllerBindings controllers_;
    std::optional<int> learningSlider_;  // the slider armed to learn a controller
    input::SustainPedal pedal_;
    platform::MmResult lastWaveError = platform::MMSYSERR_NOERROR;  // said last on stderr
    std::unique_ptr<LiveRenderer> liveRenderer_;  // with fewer than the designed blocks only
    bool renderedByDevice_ = false;               // the open output's blocks, by liveRenderer_
    uint64_t clippedBlocksSeen_ = 0;              // of liveRenderer_'s count
};

}  // namespace app
