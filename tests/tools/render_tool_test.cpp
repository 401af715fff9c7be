// kelvarin-render against the engine driven by hand: each case strikes and releases
// voices at the blocks the rule gives (an event t ms after the first takes effect at
// the first block that starts at or after sample t * 44.1), with levels and release
// steps worked out from the design, and the WAV file must hold the same samples, bit
// for bit, and no more.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "../e2e/wav_reader.h"
#include "../note_records.h"
#include "synth/block_renderer.h"

namespace {

constexpr uint64_t TailCapBlocks = 26460;  // 60 s of 100-sample blocks at 44100 Hz

// One change to a voice at the start of a block.
struct VoiceChange {
    uint64_t block;
    int note;
    double level;        // for a strike
    double releaseStep;  // 0 for a strike
};

std::vector<int16_t> RenderByHand(std::array<int32_t, synth::PartialCount> weights,
                                  const std::vector<VoiceChange>& changes) {
    synth::Engine engine;
    engine.HarmonicWeights = weights;
    const uint64_t lastBlock = changes.back().block;
    std::vector<int16_t> samples;
    size_t next = 0;
    for (uint64_t block = 0;; ++block) {
        for (; next < changes.size() && changes[next].block == block; ++next) {
            synth::Voice& voice = engine.VoiceTable[changes[next].note];
            if (changes[next].releaseStep == 0)
                voice = {1, 0.0, changes[next].level};
            else
                voice.releaseStep = changes[next].releaseStep;
        }
        bool sounding = false;
        for (const synth::Voice& voice : engine.VoiceTable) sounding |= voice.active != 0;
        if (block >= lastBlock && (!sounding || block - lastBlock == TailCapBlocks)) return samples;
        int16_t out[synth::SamplesPerBlock];
        synth::RenderSamples(engine, 44100, out);
        synth::DecayVoices(engine);
        samples.insert(samples.end(), out, out + synth::SamplesPerBlock);
    }
}

class RenderTool : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kelvarin-render-test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }

    // Runs the tool in the test's directory; its samples, or nothing if it failed.
    std::vector<int16_t> Render(std::vector<std::string> arguments) const {
        const pid_t child = fork();
        if (child == 0) {
            std::vector<char*> argv{const_cast<char*>(KELVARIN_RENDER)};
            for (std::string& argument : arguments) argv.push_back(argument.data());
            argv.push_back(nullptr);
            if (chdir(dir_.c_str()) == 0) execv(KELVARIN_RENDER, argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        Recording wav;
        EXPECT_TRUE(ReadWav(Path("out.wav").c_str(), wav));
        EXPECT_EQ(wav.rate, 44100u);
        std::vector<int16_t> samples;
        for (double s : wav.samples) samples.push_back(static_cast<int16_t>(s * 32768));
        return samples;
    }

    std::string dir_;
};

constexpr std::array<int32_t, synth::PartialCount> FirstRunWeights = {100};
constexpr double FirstRunRelease = 21;  // release slider at 10

TEST_F(RenderTool, AMidiDatSoundsAsTheProgramPlaysIt) {
    // Struck at 5000 ms on the tick count, then 10 ms (4.41 blocks), 1000 ms (441 exactly)
    // and 1100 ms (485.1) later; the stray bytes at the end are ignored.
    Write("midi.dat", NoteBytes(57, 127, 5000) + NoteBytes(60, 100, 5010) + NoteBytes(57, 0, 6000) +
                          NoteBytes(60, 0, 6100) + "abc");
    const std::vector<int16_t> expected =
        RenderByHand(FirstRunWeights, {{0, 57, 4000.0, 0},
                                       {5, 60, 400000 * (1.0 / 127), 0},
                                       {441, 57, 0, FirstRunRelease},
                                       {486, 60, 0, FirstRunRelease}});
    EXPECT_EQ(Render({"midi.dat", "out.wav"}), expected);
    EXPECT_EQ(Render({"--amplitude", "4000", "--loops=1", "midi.dat", "out.wav"}), expected);
}

TEST_F(RenderTool, AStandardMidiFileTakesTheToneOfTheSettingsNamedAndLoops) {
    // sl4 beyond 100 is full weight for harmonics 4 and 6 alike, slm3 below 0 none; the
    // release slider at 100 - 80 = 20 steps 41 a block.
    Write("tone.ini", "[Kelvarin]\nsl1=0\nsl2=100\nsl4=150\nslm2=50\nslm3=-20\nsldecrement=80\n");
    // One tick a millisecond: a strike at 0 and its release at 230 ms (101.43 blocks).
    const std::string track = std::string(
        "\x00\xFF\x51\x03\x07\xA1\x20\x00\x90\x45\x40\x81\x66\x80\x45\x00"
        "\x00\xFF\x2F\x00",
        20);
    Write("song.mid",
          std::string("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xF4MTrk\x00\x00\x00\x14", 22) +
              track);
    // The second pass begins at 231 ms (101.87 blocks): released and struck again in
    // block 102, then released at 461 ms (203.3 blocks).
    const double level = 64000 * (1.0 / 127);
    const std::vector<int16_t> expected =
        RenderByHand({0, 100, 0, 100, 0, 100, 50},
                     {{0, 69, level, 0}, {102, 69, 0, 41}, {102, 69, level, 0}, {204, 69, 0, 41}});
    EXPECT_EQ(Render({"--settings", "tone.ini", "--amplitude=1000", "--loops", "2", "song.mid",
                      "out.wav"}),
              expected);
}

TEST_F(RenderTool, TheSettingsFileOfTheDirectoryIsReadWhenNoneIsNamed) {
    Write("Kelvarin.ini", "[Kelvarin]\nsl1=50\nsldecrement=100\n");  // release slider at 0: step 1
    Write("midi.dat", NoteBytes(57, 127, 0) + NoteBytes(57, 0, 100));
    EXPECT_EQ(Render({"midi.dat", "out.wav"}),
              RenderByHand({50}, {{0, 57, 4000.0, 0}, {45, 57, 0, 1}}));
}

TEST_F(RenderTool, ANoteNeverReleasedEndsSixtySecondsAfterTheLastEvent) {
    Write("midi.dat", NoteBytes(40, 127, 0) + NoteBytes(45, 127, 2000));  // 882 blocks
    const std::vector<int16_t> samples = Render({"midi.dat", "out.wav"});
    EXPECT_EQ(samples.size(), (882 + TailCapBlocks) * synth::SamplesPerBlock);
    EXPECT_EQ(samples, RenderByHand(FirstRunWeights, {{0, 40, 4000.0, 0}, {882, 45, 4000.0, 0}}));
}

}  // namespace
