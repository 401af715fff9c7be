// kelvarin-render's speed as a ratio to real time: a 3-minute recording with 32 voices
// sounding at once and one with 256, each rendered to a WAV file, with the first-run
// tone (the fundamental alone) and with every weight at 100. The measure is the CPU
// time of the renderer's process (user and system), which other work on the machine
// does not inflate as it does the wall time; the load average is printed beside it.
//
//   tool_render_bench KELVARIN_RENDER
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t RecordingMs = 180000;
constexpr uint32_t RestrikeEveryMs = 500;  // each note struck again, as a player would
constexpr int Runs = 3;

void Record(std::string& bytes, int note, int velocity, uint32_t ms) {
    const char record[8] = {static_cast<char>(note),
                            static_cast<char>(velocity),
                            0,
                            0,
                            static_cast<char>(ms),
                            static_cast<char>(ms >> 8),
                            static_cast<char>(ms >> 16),
                            static_cast<char>(ms >> 24)};
    bytes.append(record, sizeof record);
}

// voices notes spread over the 256, struck together and again every half second, all
// released after three minutes.
std::string Recording(int voices) {
    std::string bytes;
    for (uint32_t ms = 0; ms < RecordingMs; ms += RestrikeEveryMs)
        for (int i = 0; i < voices; ++i) Record(bytes, i * 256 / voices, 100, ms);
    for (int i = 0; i < voices; ++i) Record(bytes, i * 256 / voices, 0, RecordingMs);
    return bytes;
}

struct Run {
    double cpuSeconds;
    double wallSeconds;
};

Run Render(const char* tool, const std::string& dir) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(dir.c_str()) == 0) execl(tool, tool, "--quiet", "midi.dat", "out.wav", nullptr);
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(child, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed with status %d\n", tool, status);
        std::exit(1);
    }
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
    };
    return {seconds(usage.ru_utime) + seconds(usage.ru_stime),
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tool_render_bench KELVARIN_RENDER\n");
        return 1;
    }
    char* tool = realpath(argv[1], nullptr);  // the renderer runs in the scratch directory
    if (!tool) {
        std::perror(argv[1]);
        return 1;
    }
    char pattern[] = "/tmp/kelvarin-tool-bench.XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::string dir = pattern;
    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::printf(
        "kelvarin-render, a 3-minute recording to WAV; load average %.2f %.2f %.2f on %ld cores\n",
        load[0], load[1], load[2], sysconf(_SC_NPROCESSORS_ONLN));
    for (const char* tone : {"first-run tone", "every weight 100"}) {
        if (tone[0] == 'e')
            std::ofstream(dir + "/Kelvarin.ini")
                << "[Kelvarin]\nsl1=100\nsl2=100\nsl3=100\nsl4=100\n"
                   "slm2=100\nslm3=100\nslm4=100\nsldecrement=90\n";
        for (const int voices : {32, 256}) {
            std::ofstream(dir + "/midi.dat", std::ios::binary) << Recording(voices);
            std::vector<Run> runs;
            for (int i = 0; i < Runs; ++i) runs.push_back(Render(tool, dir));
            const Run best = *std::min_element(
                runs.begin(), runs.end(),
                [](const Run& a, const Run& b) { return a.cpuSeconds < b.cpuSeconds; });
            std::ifstream wav(dir + "/out.wav", std::ios::binary | std::ios::ate);
            const double audioSeconds = (static_cast<double>(wav.tellg()) - 44) / 2 / 44100;
            std::printf(
                "%-16s %3d voices: %.1f s of sound in %.3f s of CPU (best of %d; wall %.3f s): "
                "%.0fx real time\n",
                tone, voices, audioSeconds, best.cpuSeconds, Runs, best.wallSeconds,
                audioSeconds / best.cpuSeconds);
        }
    }
    std::system(("rm -rf '" + dir + "'").c_str());
    std::free(tool);
    return 0;
}
