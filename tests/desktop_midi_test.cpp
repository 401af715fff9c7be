// The RtMidi input for real, under a JACK server on its dummy backend, with test MIDI
// keyboards as separate processes. Run through tests/with_desktop_session.sh; the
// keyboard program's path comes in KELVARIN_MIDI_TEST_SOURCE.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <jack/jack.h>

#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/desktop/desktop_platform.h"
#include "platform/desktop/ui_wakeup.h"
#include "res/dialog_template.h"
#include "scripted_dialog.h"

namespace platform::desktop {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A test MIDI keyboard: a JACK client with the output port NAME:out, fed commands
// through a pipe; it ends when the pipe closes. Its replies go to a private file.
class Keyboard {
public:
    explicit Keyboard(const std::string& name) {
        const char* program = std::getenv("KELVARIN_MIDI_TEST_SOURCE");
        char directory[] = "/tmp/kelvarin-midi-test-XXXXXX";
        if (!program || !mkdtemp(directory)) return;
        directory_ = directory;
        pipe_ = popen(("exec '" + std::string(program) + "' '" + name + "' >" + RepliesFile()).c_str(), "w");
    }
    ~Keyboard() {
        Quit();
        if (directory_.empty()) return;
        std::remove(RepliesFile().c_str());
        rmdir(directory_.c_str());
    }
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    // Whether the keyboard has said this word count times.
    bool Said(const std::string& word, size_t count = 1) const {
        const std::string replies = Replies();
        size_t said = 0;
        for (size_t at = replies.find(word); at != std::string::npos; at = replies.find(word, at + 1)) ++said;
        return said >= count;
    }

    void Command(const std::string& command) {
        ASSERT_NE(pipe_, nullptr) << "KELVARIN_MIDI_TEST_SOURCE names no program";
        std::fprintf(pipe_, "%s\n", command.c_str());
        std::fflush(pipe_);
    }
    // Everything the keyboard has said so far ("ready", "sent" after each "wait").
    std::string Replies() const {
        std::string text;
        if (FILE* file = std::fopen(RepliesFile().c_str(), "r")) {
            for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
            std::fclose(file);
        }
        return text;
    }
    void Quit() {
        if (pipe_) pclose(pipe_);
        pipe_ = nullptr;
    }

private:
    std::string RepliesFile() const { return directory_ + "/replies"; }

    FILE* pipe_ = nullptr;
    std::string directory_;
};

// Polls until the condition holds, for a minute at most.
bool WaitFor(const std::function<bool()>& condition) {
    for (auto end = Clock::now() + 60s; !condition() && Clock::now() < end;) std::this_thread::sleep_for(20ms);
    return condition();
}

// Polls until the platform lists count devices.
bool WaitForDevices(MidiIn& midi, uint32_t count) {
    return WaitFor([&] { return midi.GetNumDevs() == count; });
}

// Counts the JACK server's cycles. The server runs its clients one cycle at a time, so
// once two more have begun, every client has had its part of the cycle now running.
class JackCycles {
public:
    JackCycles() {
        client_ = jack_client_open("kelvarin-cycles", JackNoStartServer, nullptr);
        if (!client_) return;
        jack_set_process_callback(client_, &Process, this);
        jack_activate(client_);
    }
    ~JackCycles() {
        if (client_) jack_client_close(client_);
    }
    bool Ready() const { return client_ != nullptr; }
    // A step that waits until the cycle now running has ended for every client.
    std::function<bool()> UntilThisCycleHasEnded() {
        auto start = std::make_shared<uint64_t>(0);
        auto counted = std::make_shared<bool>(false);
        return [this, start, counted] {
            if (!*counted) *start = cycles_.load();
            *counted = true;
            return cycles_.load() >= *start + 2;
        };
    }

private:
    static int Process(jack_nframes_t, void* self) {
        static_cast<JackCycles*>(self)->cycles_.fetch_add(1);
        return 0;
    }

    jack_client_t* client_ = nullptr;
    std::atomic<uint64_t> cycles_{0};
};

std::string NameOf(MidiIn& midi, uint32_t device) {
    MidiInCaps caps{};
    if (midi.GetDevCaps(device, caps) != MMSYSERR_NOERROR) return "(no device)";
    return std::string(caps.productName, strnlen(caps.productName, sizeof caps.productName));
}

// The main template's dialog, keeping every MM_MIM_DATA that reaches its window
// procedure, and whether one came on a thread other than the UI's.
class ListeningDialog : public ScriptedDialog {
public:
    explicit ListeningDialog(Platform& platform) : ScriptedDialog(platform) {}

    std::vector<Message> received;
    bool onOtherThread = false;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == MM_MIM_DATA) {
            received.push_back({message, wParam, lParam});
            onOtherThread |= std::this_thread::get_id() != uiThread_;
        }
        return ScriptedDialog::WindowProc(message, wParam, lParam);
    }

private:
    std::thread::id uiThread_ = std::this_thread::get_id();
};

constexpr UINT Ping = 0x0400;  // a message of the test's own

LPARAM Packed(uint32_t status, uint32_t data1 = 0, uint32_t data2 = 0) {
    return static_cast<LPARAM>(status | data1 << 8 | data2 << 16);
}

// Every message reaches the UI thread only if no wake-up is ever lost, also one that
// comes while the last is being taken.
TEST(UiWakeup, AWakeDuringTheLastOneIsNeverLost) {
    constexpr uint64_t Wakes = 200000;
    std::atomic<uint64_t> produced{0};
    uint64_t seen = 0;
    UiWakeup wakeup([&] { seen = produced.load(); });
    std::thread producer([&] {
        for (uint64_t i = 0; i < Wakes; ++i) {
            produced.store(i + 1);
            wakeup.Wake();
            if (i % 64 == 0) std::this_thread::yield();
        }
    });
    // Waits while wakes come; a lost one leaves seen short for good.
    for (auto end = Clock::now() + 60s; seen < Wakes && Clock::now() < end;) Fl::wait(0.5);
    producer.join();
    EXPECT_EQ(seen, Wakes);
}

TEST(MidiIn, JackSourcesAreOneListInOrderWithoutTheProgramsOwn) {
    DesktopPlatform desktop;
    MidiIn& midi = desktop.GetMidiIn();
    Keyboard first("first-keys");
    ASSERT_TRUE(WaitForDevices(midi, 1)) << "no JACK server, or the keyboard did not come up";
    Keyboard impostor("Kelvarin MIDI");  // a client named like the program's own
    Keyboard second("a-keyboard-with-a-rather-long-name");
    ASSERT_TRUE(WaitFor([&] { return impostor.Said("ready") && second.Said("ready"); }));
    EXPECT_EQ(midi.GetNumDevs(), 2u);
    EXPECT_EQ(NameOf(midi, 0), "first-keys:out");
    EXPECT_EQ(NameOf(midi, 1), "a-keyboard-with-a-rather-long-n");  // 31 characters

    MidiInCaps untouched{};
    std::strcpy(untouched.productName, "unchanged");
    EXPECT_EQ(midi.GetDevCaps(2, untouched), MMSYSERR_BADDEVICEID);
    EXPECT_STREQ(untouched.productName, "unchanged");

    ListeningDialog dialog(desktop);
    dialog.steps = {Do([&] {
        MidiInHandle handle = reinterpret_cast<MidiInHandle>(1);
        EXPECT_EQ(midi.Open(handle, 2, dialog.GetWindow()), MMSYSERR_BADDEVICEID);
        EXPECT_EQ(handle, nullptr);
        EXPECT_EQ(midi.Open(handle, 0, dialog.GetWindow()), MMSYSERR_NOERROR);
        EXPECT_EQ(midi.GetNumDevs(), 2u) << "the open device's own port is listed";
        EXPECT_EQ(midi.Close(handle), MMSYSERR_NOERROR);
    })};
    EXPECT_EQ(desktop.RunModal(dialog), 0);
}

TEST(MidiIn, ALetterThatWouldNotFitWholeIsLeftOutOfTheName) {
    DesktopPlatform desktop;
    MidiIn& midi = desktop.GetMidiIn();
    // 30 letters, then a two-byte Cyrillic letter across the 31-byte limit.
    Keyboard keyboard(std::string(30, 'k') + "\xD0\x96");
    ASSERT_TRUE(WaitForDevices(midi, 1)) << "no JACK server, or the keyboard did not come up";
    EXPECT_EQ(NameOf(midi, 0), std::string(30, 'k'));
}

// The platform, one test keyboard listed as device 0, and a dialog to open it for.
class OneKeyboard : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WaitForDevices(midi, 1)) << "no JACK server, or the keyboard did not come up";
    }

    DesktopPlatform desktop;
    MidiIn& midi = desktop.GetMidiIn();
    Keyboard keyboard{"test-keys"};
    ListeningDialog dialog{desktop};
    MidiInHandle handle = nullptr;
};

TEST_F(OneKeyboard, EveryMessageWhileStartedArrivesOnTheUiThreadInOrder) {
    constexpr int Flood = 3000;
    JackCycles cycles;
    ASSERT_TRUE(cycles.Ready());
    dialog.steps = {
        Do([&] {
            ASSERT_EQ(midi.Open(handle, 0, dialog.GetWindow()), MMSYSERR_NOERROR);
            keyboard.Command("send 144 1 1");  // not started yet: never delivered
            keyboard.Command("wait");
        }),
        [&] { return keyboard.Said("sent"); },
        cycles.UntilThisCycleHasEnded(),
        Do([&] {
            EXPECT_EQ(midi.Start(handle), MMSYSERR_NOERROR);
            keyboard.Command("send 144 60 100");
            keyboard.Command("send 248");     // one byte
            keyboard.Command("send 254");     // Active Sensing comes through too
            keyboard.Command("send 193 5");   // two bytes
            keyboard.Command("send 240 1 247");  // system exclusive: never delivered
            keyboard.Command("flood " + std::to_string(Flood));
        }),
        [&] { return dialog.received.size() >= 4 + Flood; },
        Do([&] {
            EXPECT_EQ(midi.Stop(handle), MMSYSERR_NOERROR);
            keyboard.Command("send 144 2 2");  // stopped: never delivered
            keyboard.Command("wait");
        }),
        [&] { return keyboard.Said("sent", 2); },
        cycles.UntilThisCycleHasEnded(),
        // Whatever came from the MIDI thread before is handed to the window before this.
        Do([&] { dialog.GetWindow().PostMessage(Ping, 0, 0); }),
        [&] { return dialog.Handled(Ping, 0) == 1; },
        Do([&] {
            EXPECT_EQ(midi.Close(handle), MMSYSERR_NOERROR);
            EXPECT_EQ(midi.Close(handle), MMSYSERR_INVALHANDLE);
        }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);

    std::vector<LPARAM> expected = {Packed(0x90, 60, 100), Packed(0xF8), Packed(0xFE), Packed(0xC1, 5)};
    for (uint32_t i = 1; i <= Flood; ++i) expected.push_back(Packed(0xB0, (i >> 7) & 0x7F, i & 0x7F));
    std::vector<LPARAM> received;
    for (const Message& message : dialog.received) {
        received.push_back(message.lParam);
        EXPECT_EQ(message.wParam, reinterpret_cast<WPARAM>(handle));
    }
    const auto difference = std::mismatch(received.begin(), received.end(), expected.begin(), expected.end());
    EXPECT_EQ(received, expected) << "first difference at message " << difference.first - received.begin();
    EXPECT_FALSE(dialog.onOtherThread);
}

// While the UI thread is held up, the MIDI thread neither waits nor grows anything: the
// ring keeps the oldest 65,536 messages and the rest are counted and reported.
TEST_F(OneKeyboard, AFloodBeyondTheRingKeepsTheOldestAndReportsTheRest) {
    constexpr uint32_t Flood = 70000;
    constexpr uint32_t RingSize = 65536;
    ListeningDialog dialog(desktop);
    MidiInHandle handle = nullptr;
    const LPARAM last = Packed(0x90, 3, 3);
    testing::internal::CaptureStderr();
    dialog.steps = {
        Do([&] {
            ASSERT_EQ(midi.Open(handle, 0, dialog.GetWindow()), MMSYSERR_NOERROR);
            ASSERT_EQ(midi.Start(handle), MMSYSERR_NOERROR);
            keyboard.Command("flood " + std::to_string(Flood));
            keyboard.Command("wait");
            // The UI thread takes nothing until the keyboard has sent it all.
            ASSERT_TRUE(WaitFor([&] { return keyboard.Said("sent"); }));
        }),
        [&] { return dialog.received.size() >= RingSize; },
        // Sent once the ring has room again, it comes after anything still on its way.
        Do([&] { keyboard.Command("send 144 3 3"); }),
        [&] { return dialog.received.back().lParam == last; },
        Do([&] { EXPECT_EQ(midi.Close(handle), MMSYSERR_NOERROR); }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
    const std::string errors = testing::internal::GetCapturedStderr();
    ASSERT_EQ(dialog.received.size(), RingSize + 1);
    for (uint32_t i = 1; i <= RingSize; ++i)
        ASSERT_EQ(dialog.received[i - 1].lParam, Packed(0xB0, (i >> 7) & 0x7F, i & 0x7F)) << i;
    EXPECT_NE(errors.find("MIDI input: " + std::to_string(Flood - RingSize) + " messages lost"), std::string::npos)
        << errors;
}

// Kills the session's JACK server, so it runs in a session of its own that allows it;
// anywhere else it fails.
TEST_F(OneKeyboard, WhenTheServerVanishesTheOpenDeviceStillStopsAndCloses) {
    const char* jackd = std::getenv("KELVARIN_TEST_JACKD_PID");
    ASSERT_TRUE(std::getenv("KELVARIN_TEST_MAY_STOP_JACKD") && jackd)
        << "needs a JACK server of its own to stop: run with KELVARIN_TEST_MAY_STOP_JACKD and "
           "KELVARIN_TEST_JACKD_PID set, as the session tests do";
    dialog.steps = {
        Do([&] {
            ASSERT_EQ(midi.Open(handle, 0, dialog.GetWindow()), MMSYSERR_NOERROR);
            EXPECT_EQ(midi.Start(handle), MMSYSERR_NOERROR);
            keyboard.Command("send 144 60 100");
        }),
        [&] { return !dialog.received.empty(); },
        Do([&] { EXPECT_EQ(kill(static_cast<pid_t>(std::atoll(jackd)), SIGKILL), 0); }),
        // Gone once the session's shell has reaped it.
        [&] { return kill(static_cast<pid_t>(std::atoll(jackd)), 0) != 0; },
        Do([&] {
            EXPECT_EQ(midi.Stop(handle), MMSYSERR_NOERROR);
            EXPECT_EQ(midi.Close(handle), MMSYSERR_NOERROR);
            EXPECT_EQ(midi.GetNumDevs(), 0u);
            MidiInHandle again = nullptr;
            EXPECT_EQ(midi.Open(again, 0, dialog.GetWindow()), MMSYSERR_BADDEVICEID);
        }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
}

}  // namespace
}  // namespace platform::desktop
