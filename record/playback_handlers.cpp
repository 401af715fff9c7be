// "Play Writen" and "Stop Playing": midi.dat replayed in a loop from memory, one record
// at most per tick of a 1 ms timer, at the records' offsets from the first one.
#include <new>

#include "app/main_dialog.h"
#include "record/note_record.h"
#include "record/record_state.h"
#include "res/control_ids.h"

namespace app {

using namespace platform;
using namespace res;

namespace {

constexpr uint32_t PlaybackTimerId = 5555;
constexpr uint32_t PlaybackPeriodMs = 1;
constexpr uint64_t LongestPlayableFile = UINT32_MAX;  // what PlaybackLength can count

// (velocity × Amplitude) / 127 truncated toward zero, as integer division does; the
// 64-bit product stays exact for any Amplitude.
double PlaybackLevel(uint8_t velocity, int32_t amplitude) {
    return static_cast<double>(int64_t{velocity} * amplitude / 127);
}

}  // namespace

void MainDialog::StartPlayback() {
    record::PlaybackState& playback = state_.playback;
    if (playback.PlaybackBuffer) return;  // already playing
    std::unique_ptr<File> file =
        platform_.GetFiles().OpenExclusive(record::RecordingFileName, OpenMode::Read);
    if (!file) return;  // missing, or held by the recording
    const uint64_t length = file->Length();
    std::unique_ptr<uint8_t[]> buffer;
    if (length <= LongestPlayableFile) buffer.reset(new (std::nothrow) uint8_t[length]);
    if (!buffer) {
        playback.PlaybackLength = 0;
        return;
    }
    // Only the bytes that arrived are played, should the file be shorter than it said.
    playback.PlaybackLength = static_cast<uint32_t>(file->Read(buffer.get(), length));
    playback.PlaybackBuffer = std::move(buffer);
    file.reset();
    ShowButtonPair(IDC_PLAY, IDC_STOP_PLAYING, true);
    playback.PlaybackIndex = 0;
    playback.PlaybackStart = platform_.GetTickCount();
    GetWindow().SetTimer(PlaybackTimerId, PlaybackPeriodMs, [this] { PlaybackTick(); });
}

// Applies the next record once it is due. A pass ends on the tick after its last record
// and the next pass starts from that tick. Stray bytes after the last whole record are
// never read. Only the voice changes: the refresh tick repaints the view.
void MainDialog::PlaybackTick() {
    record::PlaybackState& playback = state_.playback;
    const uint32_t now = platform_.GetTickCount();
    const uint32_t records = playback.PlaybackLength / record::NoteRecordSize;
    if (playback.PlaybackIndex >= records) {
        playback.PlaybackIndex = 0;
        playback.PlaybackStart = now;
        return;
    }
    const uint8_t* bytes = playback.PlaybackBuffer.get();
    const record::NoteRecord next =
        record::DecodeNoteRecord(bytes + size_t{playback.PlaybackIndex} * record::NoteRecordSize);
    // Offsets modulo 2^32, so a recording across the tick count's wrap plays in time.
    const uint32_t due = next.tick - record::DecodeNoteRecord(bytes).tick;
    if (now - playback.PlaybackStart < due) return;
    synth::Voice& voice = engine_.VoiceTable[next.note];
    if (next.velocity != 0) {
        voice.active = 1;
        voice.level = PlaybackLevel(next.velocity, engine_.AmplitudeSetting);
        voice.releaseStep = 0.0;
        HandOver(NoteChange::WholeVoice(next.note, voice));
    } else {
        voice.releaseStep = static_cast<double>(engine_.NoteOffRelease);
        HandOver(NoteChange::ReleaseStepOf(next.note, voice));
    }
    ++playback.PlaybackIndex;
}

// Silences live notes too, not only the played ones.
void MainDialog::StopPlayback() {
    state_.playback.PlaybackBuffer.reset();
    ShowButtonPair(IDC_PLAY, IDC_STOP_PLAYING, false);
    ResetSound();
    GetWindow().KillTimer(PlaybackTimerId);
}

}  // namespace app
