// The RtMidi input for real, under a JACK server on its dummy backend, with test MIDI
// keyboards as separate processes. Run through tests/with_desktop_session.sh; the
// keyboard program's path comes in KELVARIN_MIDI_TEST_SOURCE.
#include <gtest/gtest.h>

#include <FL/Fl.H>

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

// Polls until the platform lists count devices.
bool WaitForDevices(MidiIn& midi, uint32_t count) {
    for (auto end = Clock::now() + 15s; Clock::now() < end; std::this_thread::sleep_for(50ms))
        if (midi.GetNumDevs() == count) return true;
    return false;
}

std::string NameOf(MidiIn& midi, uint32_t device) {
    MidiInCaps caps{};
    if (midi.GetDevCaps(device, caps) != MMSYSERR_NOERROR) return "(no device)";
    return std::string(caps.productName, strnlen(caps.productName, sizeof caps.productName));
}

// A dialog that runs its steps from a timer while its modal loop runs, and keeps every
// MM_MIM_DATA that reaches its window procedure, with the thread it came on.
class ListeningDialog : public Dialog {
public:
    using Step = std::function<bool()>;  // true once done
    ListeningDialog() : Dialog(res::MainDialogTemplate) {}

    std::vector<Step> steps;
    std::vector<Message> received;
    bool onOtherThread = false;

    bool OnInitDialog() override {
        deadline_ = Clock::now() + 60s;
        GetWindow().SetTimer(1, 10, [this] { Advance(); });
        return false;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == MM_MIM_DATA) {
            received.push_back({message, wParam, lParam});
            onOtherThread |= std::this_thread::get_id() != uiThread_;
        }
        return Dialog::WindowProc(message, wParam, lParam);
    }

private:
    void Advance() {
        while (next_ < steps.size() && steps[next_]()) ++next_;
        if (next_ == steps.size()) {
            GetWindow().EndDialog(0);
        } else if (Clock::now() > deadline_) {
            ADD_FAILURE() << "stuck at step " << next_ << " with " << received.size() << " messages";
            GetWindow().EndDialog(-2);
        }
    }

    size_t next_ = 0;
    Clock::time_point deadline_;
    std::thread::id uiThread_ = std::this_thread::get_id();
};

ListeningDialog::Step Do(std::function<void()> action) {
    return [action] {
        action();
        return true;
    };
}

ListeningDialog::Step Pause(std::chrono::milliseconds length) {
    auto until = std::make_shared<Clock::time_point>();
    return [until, length] {
        if (*until == Clock::time_point{}) *until = Clock::now() + length;
        return Clock::now() >= *until;
    };
}

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
    ASSERT_TRUE(WaitForDevices(midi, 2));
    std::this_thread::sleep_for(300ms);  // the impostor's port is up by now too
    EXPECT_EQ(midi.GetNumDevs(), 2u);
    EXPECT_EQ(NameOf(midi, 0), "first-keys:out");
    EXPECT_EQ(NameOf(midi, 1), "a-keyboard-with-a-rather-long-n");  // 31 characters

    MidiInCaps untouched{};
    std::strcpy(untouched.productName, "unchanged");
    EXPECT_EQ(midi.GetDevCaps(2, untouched), MMSYSERR_BADDEVICEID);
    EXPECT_STREQ(untouched.productName, "unchanged");

    ListeningDialog dialog;
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
    ListeningDialog dialog;
    MidiInHandle handle = nullptr;
};

TEST_F(OneKeyboard, EveryMessageWhileStartedArrivesOnTheUiThreadInOrder) {
    constexpr int Flood = 3000;
    dialog.steps = {
        Do([&] {
            ASSERT_EQ(midi.Open(handle, 0, dialog.GetWindow()), MMSYSERR_NOERROR);
            keyboard.Command("send 144 1 1");  // not started yet: never delivered
        }),
        Pause(500ms),
        Do([&] {
            EXPECT_TRUE(dialog.received.empty());
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
        }),
        Pause(500ms),
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
    ListeningDialog dialog;
    MidiInHandle handle = nullptr;
    testing::internal::CaptureStderr();
    dialog.steps = {
        Do([&] {
            ASSERT_EQ(midi.Open(handle, 0, dialog.GetWindow()), MMSYSERR_NOERROR);
            ASSERT_EQ(midi.Start(handle), MMSYSERR_NOERROR);
            keyboard.Command("flood " + std::to_string(Flood));
            keyboard.Command("wait");
            // The UI thread takes nothing until the keyboard has sent it all.
            for (auto end = Clock::now() + 50s; keyboard.Replies().find("sent") == std::string::npos &&
                                                Clock::now() < end;)
                std::this_thread::sleep_for(20ms);
        }),
        [&] { return dialog.received.size() >= RingSize; },
        Pause(500ms),  // nothing more may come
        Do([&] { EXPECT_EQ(midi.Close(handle), MMSYSERR_NOERROR); }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
    const std::string errors = testing::internal::GetCapturedStderr();
    ASSERT_EQ(dialog.received.size(), RingSize);
    for (uint32_t i = 1; i <= RingSize; ++i)
        ASSERT_EQ(dialog.received[i - 1].lParam, Packed(0xB0, (i >> 7) & 0x7F, i & 0x7F)) << i;
    EXPECT_NE(errors.find("MIDI input: " + std::to_string(Flood - RingSize) + " messages lost"), std::string::npos)
        << errors;
}

// Stops the session's JACK server, so it runs in a session of its own.
TEST_F(OneKeyboard, WhenTheServerVanishesTheOpenDeviceStillStopsAndCloses) {
    const char* jackd = std::getenv("KELVARIN_TEST_JACKD_PID");
    if (!std::getenv("KELVARIN_TEST_MAY_STOP_JACKD") || !jackd) {
        GTEST_SKIP() << "needs a JACK server of its own to stop";
    }
    dialog.steps = {
        Do([&] {
            ASSERT_EQ(midi.Open(handle, 0, dialog.GetWindow()), MMSYSERR_NOERROR);
            EXPECT_EQ(midi.Start(handle), MMSYSERR_NOERROR);
            keyboard.Command("send 144 60 100");
        }),
        [&] { return !dialog.received.empty(); },
        Do([&] { EXPECT_EQ(kill(static_cast<pid_t>(std::atoll(jackd)), SIGKILL), 0); }),
        Pause(1000ms),
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
