// The desktop's wave output when its sound server dies, hangs or comes back. Each test
// stops or kills the server of its session, so each runs in a session of its own that
// allows it (KELVARIN_TEST_MAY_STOP_JACKD or KELVARIN_TEST_MAY_STOP_PULSE, with the
// server's process in KELVARIN_TEST_JACKD_PID or KELVARIN_TEST_PULSE_PID); without one
// it fails. How long the output took to give up is printed as a figure.
#include <sys/prctl.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "desktop_audio.h"

namespace platform::desktop {
namespace {

using namespace std::chrono_literals;

// The server this session lets the test stop, or nothing after saying why.
std::optional<pid_t> ServerToStop(const char* permission, const char* server) {
    const char* pid = std::getenv(server);
    if (!std::getenv(permission) || !pid) {
        ADD_FAILURE() << "needs a sound server of its own to stop: run with " << permission << " and " << server
                      << " set, as the session tests do";
        return std::nullopt;
    }
    return static_cast<pid_t>(std::atoll(pid));
}

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec * 1e-9;
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A measurement, for the benchmark that runs these tests to print; no limit is put on it.
void Figure(const std::string& name, double value) {
    std::printf("figure: %s %.3f\n", name.c_str(), value);
    testing::Test::RecordProperty(name, std::to_string(value));
}

TEST(WaveOut, WhenTheServerVanishesEveryQueuedBlockComesBack) {
    const std::optional<pid_t> server = ServerToStop("KELVARIN_TEST_MAY_STOP_JACKD", "KELVARIN_TEST_JACKD_PID");
    ASSERT_TRUE(server);
    DesktopPlatform desktop;
    WaveOut& waveOut = desktop.GetWaveOut();
    ToneBlocks blocks(2000);  // about 4.5 s of sound
    PlayingDialog dialog(desktop, blocks);
    dialog.steps = {
        WaitUntil([&] { return dialog.returned.size() >= 10; }),
        Do([&] { EXPECT_EQ(kill(*server, SIGKILL), 0); }),
        WaitUntil([&] { return dialog.AllReturned(); }),
        Do([&] {
            WaveHeader late = {blocks.headers[0].data, 200, 0, 0, 1};
            EXPECT_EQ(waveOut.PrepareHeader(dialog.handle, &late), MMSYSERR_NOERROR);
            const MmResult refused = waveOut.Write(dialog.handle, &late);
            EXPECT_NE(refused, MMSYSERR_NOERROR) << "the device is gone";
            EXPECT_NE(waveOut.GetErrorText(refused).find("lost: the sound server ended the stream"),
                      std::string::npos) << waveOut.GetErrorText(refused);
            EXPECT_EQ(waveOut.Close(dialog.handle), MMSYSERR_NOERROR);
        }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
    EXPECT_EQ(dialog.returned, dialog.Written());
}

// The output gives the server up: its blocks come back, closing and opening again
// return, and the program goes on silent.
TEST(WaveOut, WhenTheServerHangsNothingWaitsOnIt) {
    const std::optional<pid_t> server = ServerToStop("KELVARIN_TEST_MAY_STOP_JACKD", "KELVARIN_TEST_JACKD_PID");
    ASSERT_TRUE(server);
    // The server goes on in the end, so that the streams given up on close by themselves.
    struct ResumeServer {
        pid_t pid;
        ~ResumeServer() { kill(pid, SIGCONT); }
    } resumeServer{*server};
    DesktopPlatform desktop;
    WaveOut& waveOut = desktop.GetWaveOut();
    StreamingDialog dialog(desktop, 1000000);
    Clock::time_point stopped;
    double cpuAtStop = 0.0;
    dialog.steps = {
        WaitUntil([&] { return dialog.returned >= 100; }),
        Do([&] {
            ASSERT_EQ(kill(*server, SIGSTOP), 0);
            stopped = Clock::now();
            cpuAtStop = ProcessCpuSeconds();
        }),
        // A drain would wait for these blocks, so they come back: the device is lost.
        WaitUntil([&] { return dialog.Lost(); }),
        Do([&] {
            Figure("stall_noticed_seconds", SecondsSince(stopped));
            Figure("cpu_share_while_stalled", (ProcessCpuSeconds() - cpuAtStop) / SecondsSince(stopped));
            EXPECT_NE(waveOut.GetErrorText(dialog.refusal).find("stopped answering"), std::string::npos)
                << waveOut.GetErrorText(dialog.refusal);
            const Clock::time_point closing = Clock::now();
            EXPECT_EQ(waveOut.Close(dialog.handle), MMSYSERR_NOERROR);
            Figure("close_seconds", SecondsSince(closing));
            const Clock::time_point opening = Clock::now();
            WaveOutHandle handle = nullptr;
            EXPECT_NE(waveOut.Open(handle, CdMono, dialog.GetWindow()), MMSYSERR_NOERROR);
            EXPECT_EQ(handle, nullptr);
            Figure("open_seconds", SecondsSince(opening));
        }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
    EXPECT_TRUE(dialog.inOrder);
}

TEST(WaveOut, WhenPulseAudioDiesEveryQueuedBlockComesBack) {
    const std::optional<pid_t> server = ServerToStop("KELVARIN_TEST_MAY_STOP_PULSE", "KELVARIN_TEST_PULSE_PID");
    ASSERT_TRUE(server);
    DesktopPlatform desktop;
    WaveOut& waveOut = desktop.GetWaveOut();
    StreamingDialog dialog(desktop, 1000000);
    Clock::time_point killed;
    double cpuAtLoss = 0.0;
    Clock::time_point lost;
    dialog.steps = {
        WaitUntil([&] { return dialog.returned >= 200; }),
        Do([&] {
            ASSERT_EQ(kill(*server, SIGKILL), 0);
            killed = Clock::now();
        }),
        WaitUntil([&] { return dialog.Lost(); }),
        Do([&] {
            Figure("loss_noticed_seconds", SecondsSince(killed));
            EXPECT_NE(waveOut.GetErrorText(dialog.refusal).find("RtApiPulse"), std::string::npos)
                << "the library's reason: " << waveOut.GetErrorText(dialog.refusal);
            cpuAtLoss = ProcessCpuSeconds();
            lost = Clock::now();
        }),
        // A second's measurement of what the process does once the stream is gone.
        WaitUntil([&] { return SecondsSince(lost) >= 1.0; }),
        Do([&] {
            Figure("cpu_share_after_loss", (ProcessCpuSeconds() - cpuAtLoss) / SecondsSince(lost));
            EXPECT_EQ(waveOut.Close(dialog.handle), MMSYSERR_NOERROR);
        }),
    };
    EXPECT_EQ(desktop.RunModal(dialog), 0);
    EXPECT_TRUE(dialog.inOrder);
}

// A sound server started as with_desktop_session.sh starts the session's, in its place.
// The session knows only the server it started, so this one is stopped here, and dies
// with the test if the test dies first.
class OwnServer {
public:
    // settings ("NAME=value") replace the environment's own, and unset leaves some out.
    OwnServer(std::vector<std::string> arguments, const std::vector<std::string>& settings,
              const std::vector<std::string>& unset = {}) {
        char pattern[] = "/tmp/kelvarin-server-XXXXXX";
        const int log = mkstemp(pattern);
        if (log < 0) return;
        log_ = pattern;
        std::vector<std::string> environment = settings;
        for (char** variable = environ; *variable; ++variable) {
            const std::string text = *variable;
            const std::string name = text.substr(0, text.find('=') + 1);
            const auto named = [&](const std::string& other) { return other.starts_with(name); };
            if (std::none_of(settings.begin(), settings.end(), named) &&
                std::find(unset.begin(), unset.end(), name.substr(0, name.size() - 1)) == unset.end()) {
                environment.push_back(text);
            }
        }
        // Built before the fork: the child of a threaded process only execs.
        std::vector<char*> argv, envp;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        for (std::string& variable : environment) envp.push_back(variable.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            dup2(log, STDOUT_FILENO);
            dup2(log, STDERR_FILENO);
            execvpe(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        close(log);
    }
    ~OwnServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            for (int i = 0; i < 50 && waitpid(pid_, &status, WNOHANG) == 0; ++i) std::this_thread::sleep_for(100ms);
            if (kill(pid_, SIGKILL) == 0) waitpid(pid_, &status, 0);
        }
        if (!log_.empty()) std::filesystem::remove(log_);
    }
    // A client that comes during start-up may be turned away, so it asks again.
    bool WaitReady(const std::function<bool()>& answers) {
        return WaitFor([&] {
            if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) != 0) pid_ = 0;
            return pid_ == 0 || answers();
        }) && pid_ > 0;
    }
    std::string Log() const {
        std::ifstream file(log_);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

private:
    pid_t pid_ = 0;
    std::string log_;
};

// The session's shell reaps the killed server; until then its name or socket is taken.
bool Reaped(pid_t server) {
    return WaitFor([server] { return kill(server, 0) != 0; });
}

// Plays until afterBlocks have come back, kills the server, and waits until every block
// is back and the write refused, as "Stop" would then close the device. Gives the refusal.
MmResult PlayUntilTheServerDies(DesktopPlatform& desktop, pid_t server, size_t afterBlocks) {
    StreamingDialog lost(desktop, 1000000);
    lost.steps = {
        WaitUntil([&] { return lost.returned >= afterBlocks; }),
        Do([&] { ASSERT_EQ(kill(server, SIGKILL), 0); }),
        WaitUntil([&] { return lost.Lost(); }),
        Do([&] { EXPECT_EQ(desktop.GetWaveOut().Close(lost.handle), MMSYSERR_NOERROR); }),
    };
    EXPECT_EQ(desktop.RunModal(lost), 0);
    return lost.refusal;
}

constexpr size_t AgainBlocks = 882;  // 2 s

// "Generate Mode" again: a new open plays a held note whole, in order, with no refusal,
// until heardToTheEnd says the listener has heard it all.
void PlayAgain(DesktopPlatform& desktop, std::function<void()> afterOpen, std::function<bool()> heardToTheEnd) {
    StreamingDialog again(desktop, AgainBlocks);
    if (afterOpen) again.afterOpen = std::move(afterOpen);
    again.steps = {
        WaitUntil([&] { return again.Drained(); }),
        WaitUntil(heardToTheEnd),  // blocks come back up to a device period before they are heard
        Do([&] { EXPECT_EQ(desktop.GetWaveOut().Close(again.handle), MMSYSERR_NOERROR); }),
    };
    ASSERT_EQ(desktop.RunModal(again), 0);
    EXPECT_TRUE(again.inOrder);
    EXPECT_EQ(again.refusal, MMSYSERR_NOERROR) << desktop.GetWaveOut().GetErrorText(again.refusal);
}

TEST(WaveOut, OnceTheServerIsBackANewOpenPlaysAHeldNote) {
    const std::optional<pid_t> server = ServerToStop("KELVARIN_TEST_MAY_STOP_JACKD", "KELVARIN_TEST_JACKD_PID");
    ASSERT_TRUE(server);
    const char* name = std::getenv("JACK_DEFAULT_SERVER");
    ASSERT_NE(name, nullptr) << "the session names its JACK server";
    // The new server runs as the session's did.
    unsigned rate = 0, period = 0;
    {
        jack_client_t* client = jack_client_open("kelvarin-probe", JackNoStartServer, nullptr);
        ASSERT_NE(client, nullptr) << "no JACK server; run through with_desktop_session.sh";
        rate = jack_get_sample_rate(client);
        period = jack_get_buffer_size(client);
        jack_client_close(client);
    }
    DesktopPlatform desktop;
    WaveOut& waveOut = desktop.GetWaveOut();

    // Playing when the server dies: every block comes back, and "Stop" closes the device.
    const MmResult refusal = PlayUntilTheServerDies(desktop, *server, 100);
    EXPECT_NE(waveOut.GetErrorText(refusal).find("lost: the sound server ended the stream"),
              std::string::npos) << waveOut.GetErrorText(refusal);

    ASSERT_TRUE(Reaped(*server)) << "the killed server was never reaped";
    // Semaphores that the killed server of this name left behind.
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm")) {
        const std::string file = entry.path().filename().string();
        if (file.starts_with("jack_sem.") && file.find(std::string("_") + name + "_") != std::string::npos) {
            std::filesystem::remove(entry.path());
        }
    }
    OwnServer restarted({"jackd", "--no-realtime", "--name", name, "-d", "dummy", "-r", std::to_string(rate),
                         "-p", std::to_string(period)},
                        {"JACK_NO_AUDIO_RESERVATION=1"});
    ASSERT_TRUE(restarted.WaitReady([] {
        jack_client_t* client = jack_client_open("kelvarin-probe", JackNoStartServer, nullptr);
        if (client) jack_client_close(client);
        return client != nullptr;
    })) << "jackd did not start again:\n" << restarted.Log();

    // "Generate Mode" again: a new open on the new server plays the held note.
    JackListener listener;
    ASSERT_TRUE(listener.Ready()) << "cannot listen on the new server";
    PlayAgain(desktop, [&] { EXPECT_TRUE(listener.Listen("Kelvarin:outport 0")); },
              [&] { return listener.EndsInSilence(); });
    ExpectTheHeldNote(Hear(listener.Recording(), listener.Rate()), listener.Rate(), AgainBlocks, listener.Period());
}

TEST(WaveOut, OncePulseAudioIsBackANewOpenPlaysAHeldNote) {
    const std::optional<pid_t> server = ServerToStop("KELVARIN_TEST_MAY_STOP_PULSE", "KELVARIN_TEST_PULSE_PID");
    ASSERT_TRUE(server);
    const char* address = std::getenv("PULSE_SERVER");
    ASSERT_TRUE(address && std::string(address).starts_with("unix:")) << "the session's server has a socket";
    DesktopPlatform desktop;

    PlayUntilTheServerDies(desktop, *server, 200);

    ASSERT_TRUE(Reaped(*server)) << "the killed server was never reaped";
    const std::string socket = std::string(address).substr(5);
    OwnServer restarted({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                         "--log-target=stderr", "-L",
                         "module-native-protocol-unix socket=" + socket + " auth-anonymous=1", "-L",
                         "module-null-sink sink_name=null rate=44100"},
                        {"DBUS_SESSION_BUS_ADDRESS=disabled:"}, {"DISPLAY"});
    ASSERT_TRUE(restarted.WaitReady([] { return std::system("pactl info >/dev/null 2>&1") == 0; }))
        << "pulseaudio did not start again:\n" << restarted.Log();

    PulseRecorder recorder;
    ASSERT_TRUE(recorder.Recording()) << "parec did not start";
    PlayAgain(desktop, nullptr, [&] { return recorder.EndsInSilence(); });
    ExpectTheHeldNote(Hear(recorder.Stop(), PulseRecorder::Rate), PulseRecorder::Rate, AgainBlocks,
                      PulseRecorder::PeriodFrames);
}

}  // namespace
}  // namespace platform::desktop
