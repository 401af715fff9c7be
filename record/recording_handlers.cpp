// "Write" and "Write Stop", and the record that every note event appends meanwhile.
#include "app/main_dialog.h"
#include "record/note_record.h"
#include "record/record_state.h"
#include "res/control_ids.h"

namespace app {

using namespace platform;
using namespace res;

namespace {

constexpr const char* WriteFailedText = "Recording write failed";

}  // namespace

void MainDialog::StartRecording() {
    FileSystem& files = platform_.GetFiles();
    files.DeleteFile(record::RecordingFileName);  // a file that is not there is no failure
    // A file that cannot be opened changes nothing: a recording already going on keeps
    // its file, and none starts without one.
    std::unique_ptr<File> file = files.OpenExclusive(record::RecordingFileName, OpenMode::CreateWrite);
    if (!file) return;
    record::RecordingState& recording = state_.recording;
    recording.RecordingFile = std::move(file);
    ShowButtonPair(IDC_WRITE, IDC_WRITE_STOP, true);
    recording.RecordingFlag = 1;
}

void MainDialog::StopRecording() {
    ShowButtonPair(IDC_WRITE, IDC_WRITE_STOP, false);
    state_.recording.RecordingFlag = 0;
    state_.recording.RecordingFile.reset();
}

// One unbuffered write per event, so a killed program loses nothing recorded.
void MainDialog::AppendNoteRecord(uint8_t note, uint8_t velocity) {
    record::RecordingState& recording = state_.recording;
    if (recording.RecordingFlag == 0) return;
    const auto bytes = record::EncodeNoteRecord({note, velocity, platform_.GetTickCount()});
    if (recording.RecordingFile->Write(bytes.data(), bytes.size())) return;
    // A failed write leaves the file ending with its last whole record; recording stops
    // there rather than go on with a gap the player could not see.
    StopRecording();
    UpdateData(true);
    statusText = WriteFailedText;
    UpdateData(false);
}

void MainDialog::ShowButtonPair(int startButton, int stopButton, bool running) {
    GetWindow().EnableDlgItem(startButton, !running);
    GetWindow().EnableDlgItem(stopButton, running);
    FocusStatusEdit();
}

}  // namespace app
