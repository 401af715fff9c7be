// The MIDI input: "Midi Open" and "Midi Close", and each incoming short message logged
// and played.
#include <cstring>

#include "app/ascii_to_int.h"
#include "app/main_dialog.h"
#include "input/midi_log.h"
#include "res/control_ids.h"

namespace app {

using namespace platform;
using namespace res;

namespace {

// The name a device reports, read only within its record even when it lacks an end.
std::string ProductName(const MidiInCaps& caps) {
    return std::string(caps.productName, strnlen(caps.productName, sizeof caps.productName - 1));
}

}  // namespace

void MainDialog::OpenMidiInput() {
    UpdateData(true);
    if (state_.MidiInHandle != nullptr) return;  // a device is open already
    state_.MidiDeviceIndex = AsciiToInt(deviceIndexText);
    deviceIndexText = std::to_string(state_.MidiDeviceIndex);
    // A negative number names the device with the same 32 bits.
    const auto deviceId = static_cast<uint32_t>(state_.MidiDeviceIndex);
    MidiIn& midi = platform_.GetMidiIn();
    MidiInCaps caps{};
    midi.GetDevCaps(deviceId, caps);  // a failed query leaves the name empty
    MidiInHandle opened = nullptr;
    if (midi.Open(opened, deviceId, GetWindow()) != MMSYSERR_NOERROR) {
        statusText = "MidiInOpen error";
        UpdateData(false);
        state_.MidiInHandle = nullptr;
        return;
    }
    state_.MidiInHandle = opened;
    statusText = ProductName(caps);
    if (midi.Start(opened) != MMSYSERR_NOERROR) {
        statusText = "MidiInStart error";
        UpdateData(false);
        midi.Close(opened);
        state_.MidiInHandle = nullptr;
        return;
    }
    ShowMidiInputOpen(true);
    UpdateData(false);
}

// Shows the fields as they were last loaded: no UpdateData(true) first.
void MainDialog::CloseMidiInput() {
    const MidiInHandle handle = state_.MidiInHandle;
    if (handle == nullptr) return;
    MidiIn& midi = platform_.GetMidiIn();
    if (midi.Stop(handle) != MMSYSERR_NOERROR) {
        statusText = "Ошибка midiInStop";  // still open and started; the user may try again
        UpdateData(false);
        return;
    }
    const MmResult closed = midi.Close(handle);
    ShowMidiInputOpen(false);
    statusText = closed == MMSYSERR_NOERROR ? "midi close" : "Ошибка midiInClose";
    UpdateData(false);
    state_.MidiInHandle = nullptr;
}

// "Midi Open" and "Midi Close": exactly one of the pair is enabled.
void MainDialog::ShowMidiInputOpen(bool open) {
    GetWindow().EnableDlgItem(IDC_MIDI_OPEN, !open);
    GetWindow().EnableDlgItem(IDC_MIDI_CLOSE, open);
    FocusStatusEdit();
}

// Messages still queued after a close are handled like any other.
void MainDialog::OnMidiData(LPARAM lParam) {
    const auto packed = static_cast<uint32_t>(lParam);
    const auto status = static_cast<uint8_t>(packed & 0xFF);
    if (status == input::ActiveSensing) return;  // no trace at all
    UpdateData(true);
    const std::string line = input::FormatMidiLogLine(packed);
    // Counted with wrap-around: the count never resets, so it must not overflow.
    int32_t& count = state_.MidiMessageCount;
    count = static_cast<int32_t>(static_cast<uint32_t>(count) + 1);
    if (count % input::MidiLogClearEvery == 0) logText.clear();
    logText += line;
    logText += input::MidiLogLineBreak;
    const int32_t data1 = static_cast<int32_t>((packed >> 8) & 0xFF);
    const int32_t data2 = static_cast<int32_t>((packed >> 16) & 0xFF);
    // Every channel plays the same voices.
    if ((status & 0xF0) == input::NoteOnKind) NoteEvent(data1, data2);  // velocity 0 releases
    if ((status & 0xF0) == input::NoteOffKind) NoteEvent(data1, 0);
    if ((status & 0xF0) == input::ControlChangeKind) OnControlChange(data1, data2);
    UpdateData(false);
}

}  // namespace app
