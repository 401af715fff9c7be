// The desktop's wave output for real, through the session's JACK server or its private
// PulseAudio server (with_desktop_session.sh), heard by a client of the test's own.
#include "desktop_audio.h"

namespace platform::desktop {
namespace {

constexpr UINT Ping = 0x0400;  // a message of the test's own

TEST(WaveOut, EveryBlockComesBackOnceInOrderAndSoundsAtItsPitch) {
    DesktopPlatform desktop;
    WaveOut& waveOut = desktop.GetWaveOut();
    JackListener listener;
    ASSERT_TRUE(listener.Ready()) << "no JACK server; run through with_desktop_session.sh";
    ToneBlocks blocks(700);  // more than the FIFO holds at once
    PlayingDialog dialog(desktop, blocks);
    dialog.afterOpen = [&] { EXPECT_TRUE(listener.Listen("Kelvarin:outport 0")); };
    WaveHeader unprepared = {blocks.headers[0].data, 200, 0, 0, 1};
    dialog.steps = {
        Do([&] {
            EXPECT_EQ(waveOut.Write(dialog.handle, &unprepared), WAVERR_UNPREPARED);
            EXPECT_EQ(waveOut.Close(dialog.handle), WAVERR_STILLPLAYING);
        }),
        WaitUntil([&] { return dialog.AllReturned(); }),
        // Closed, the device gives nothing more back; what it gave before comes first.
        Do([&] {
            EXPECT_EQ(waveOut.Close(dialog.handle), MMSYSERR_NOERROR);
            WaveHeader late = {blocks.headers[0].data, 200, 0, 0, 1};
            EXPECT_NE(waveOut.PrepareHeader(dialog.handle, &late), MMSYSERR_NOERROR);
            EXPECT_NE(waveOut.Write(dialog.handle, &late), MMSYSERR_NOERROR);
            dialog.GetWindow().PostMessage(Ping, 0, 0);
        }),
        WaitUntil([&] { return dialog.Handled(Ping, 0) == 1; }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
    EXPECT_EQ(dialog.returned, dialog.Written());
    EXPECT_NEAR(listener.HeardFrequency(), 441.0, 441.0 * 0.005) << "at " << listener.Rate() << " Hz";
}

// The session's dummy system is stereo: both of its speakers play the mono signal.
TEST(WaveOut, BothSidesOfAStereoSystemPlayTheNote) {
    DesktopPlatform desktop;
    JackListener right;
    ASSERT_TRUE(right.Ready()) << "no JACK server; run through with_desktop_session.sh";
    ToneBlocks blocks(200);
    PlayingDialog dialog(desktop, blocks);
    dialog.afterOpen = [&] {
        EXPECT_TRUE(right.Listen("Kelvarin:outport 1"));
        EXPECT_TRUE(right.Joined("Kelvarin:outport 0", "system:playback_1"));
        EXPECT_TRUE(right.Joined("Kelvarin:outport 1", "system:playback_2"));
    };
    dialog.steps = {
        WaitUntil([&] { return dialog.AllReturned(); }),
        // Blocks come back a device period before they are heard.
        WaitUntil([&] { return right.EndsInSilence(); }),
        Do([&] { EXPECT_EQ(desktop.GetWaveOut().Close(dialog.handle), MMSYSERR_NOERROR); }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
    const Hearing heard = Hear(right.Recording(), right.Rate());
    EXPECT_NEAR(heard.frequency, 441.0, 441.0 * 0.005) << "at " << right.Rate() << " Hz";
    EXPECT_NEAR(heard.peak, 16000 / 32768.0, 0.02);
}

TEST(WaveOut, OnlySixteenBitMonoPcmOpens) {
    DesktopPlatform desktop;
    ScriptedDialog dialog(desktop);
    dialog.steps = {Do([&] {
        WaveFormat stereo = CdMono;
        stereo.channels = 2;
        stereo.blockAlign = 4;
        WaveOutHandle handle = reinterpret_cast<WaveOutHandle>(1);
        EXPECT_EQ(desktop.GetWaveOut().Open(handle, stereo, dialog.GetWindow()), WAVERR_BADFORMAT);
        EXPECT_EQ(handle, nullptr);
    })};
    EXPECT_EQ(desktop.RunModal(dialog), 0);
}

constexpr size_t HeldNoteBlocks = 882;  // 2 s

// Fed as the program feeds it, through JACK at the session's period or through
// PulseAudio when the session has no JACK server.

void ExpectAHeldNoteWithoutGaps(size_t inFlight, ToneRenderer* renderer) {
    constexpr size_t ToneBlocks = HeldNoteBlocks;
    std::unique_ptr<PulseRecorder> pulse;
    std::unique_ptr<JackListener> jack;
    if (std::getenv("KELVARIN_TEST_PULSE_PID")) {
        pulse = std::make_unique<PulseRecorder>();
        ASSERT_TRUE(pulse->Recording()) << "parec did not start";
    } else {
        jack = std::make_unique<JackListener>();
        ASSERT_TRUE(jack->Ready()) << "no JACK server; run through with_desktop_session.sh";
    }
    DesktopPlatform desktop;
    StreamingDialog dialog(desktop, ToneBlocks, inFlight, renderer);
    if (jack) dialog.afterOpen = [&] { EXPECT_TRUE(jack->Listen("Kelvarin:outport 0")); };
    size_t renderedByThen = 0;
    dialog.steps = {
        WaitUntil([&] { return dialog.Drained(); }),
        Do([&] { renderedByThen = renderer ? renderer->Rendered() : 0; }),
        // Blocks come back up to a device period before they are heard.
        WaitUntil([&] { return pulse ? pulse->EndsInSilence() : jack->EndsInSilence(); }),
        Do([&] { EXPECT_EQ(desktop.GetWaveOut().Close(dialog.handle), MMSYSERR_NOERROR); }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
    EXPECT_TRUE(dialog.inOrder);
    // Blocks the device filled in for a late window are rendered too; most must have
    // played in their places, the queue having grown to cover the device's period.
    EXPECT_LT(renderedByThen, ToneBlocks * 3 / 2) << "the device filled in for most blocks";

    if (pulse) {
        ExpectTheHeldNote(Hear(pulse->Stop(), PulseRecorder::Rate), PulseRecorder::Rate, ToneBlocks,
                          PulseRecorder::PeriodFrames);
    } else {
        ExpectTheHeldNote(Hear(jack->Recording(), jack->Rate()), jack->Rate(), ToneBlocks, jack->Period());
    }
}

TEST(WaveOut, AHeldNoteSoundsWithoutGapsAtItsPitchAndLevel) { ExpectAHeldNoteWithoutGaps(60, nullptr); }

// Two blocks in flight, rendered on the device's thread; the device's period may be
// longer than they are.
TEST(WaveOut, AHeldNoteRenderedByTheDeviceFromTwoBlocksSoundsWithoutGaps) {
    ToneRenderer renderer(HeldNoteBlocks);
    ExpectAHeldNoteWithoutGaps(2, &renderer);
}

}  // namespace
}  // namespace platform::desktop
