#pragma once
// The program on a Linux desktop: dialogs as FLTK windows on X11, the wave output
// through RtAudio, files through POSIX. Everything runs on the thread that calls
// RunModal; the audio thread only hands played blocks over to it.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/desktop/window/message_queue.h"
#include "platform/desktop/files/posix_file_system.h"
#include "platform/desktop/audio/desktop_wave_out.h"
#include "platform/desktop/midi/rtmidi_midi_in.h"
#include "platform/desktop/window/session_end.h"
#include "platform/platform.h"

namespace platform::desktop {

class NsmClient;

class DesktopPlatform final : public Platform {
public:
    DesktopPlatform();
    ~DesktopPlatform() override;
    DesktopPlatform(const DesktopPlatform&) = delete;
    DesktopPlatform& operator=(const DesktopPlatform&) = delete;

    WaveOut& GetWaveOut() override { return waveOut_; }
    FileSystem& GetFiles() override { return files_; }
    MidiIn& GetMidiIn() override { return midiIn_; }
    uint32_t GetTickCount() override;
    // False, having said why on stderr, when there is no display to show windows on.
    bool OpenDisplay();
    // With NSM_URL set, joins the session manager's session (nsm_client.h) before the
    // program's files and clients open; without it, does nothing.
    void JoinSession(const std::string& executable);
    int RunModal(Dialog& dialog) override;

private:
    void RunLoop(const DialogWindow& window);
    static void OnSessionMessage(int socket, void* self);
    // The session manager's "save", carried out by the main dialog.
    bool SaveSettings();

    MessageQueue queue_;
    PosixFileSystem files_;
    DesktopWaveOut waveOut_;
    SessionEnd sessionEnd_;
    RtMidiMidiIn midiIn_;
    int modalDepth_ = 0;
    DialogWindow* mainWindow_ = nullptr;  // the outermost dialog's, while it runs
    std::unique_ptr<NsmClient> session_;
};

}  // namespace platform::desktop
