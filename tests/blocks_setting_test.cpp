// How many blocks the output keeps in flight: --blocks N for one run, else the key
// "Blocks" of Kelvarin.ini, else the designed 60. Anything but a number from 2 to 60 is
// refused with one line that names it and the range, and the run keeps 60.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/blocks_setting.h"
#include "app/command_line.h"
#include "app_fixture.h"

namespace {

using app::ChooseBlocksInFlight;
using app::ParseBlocksInFlight;

TEST(BlocksSetting, OnlyANumberFrom2To60IsACount) {
    EXPECT_EQ(ParseBlocksInFlight("2"), 2);
    EXPECT_EQ(ParseBlocksInFlight("60"), 60);
    EXPECT_EQ(ParseBlocksInFlight("08"), 8);
    EXPECT_EQ(ParseBlocksInFlight("9"), 9);  // every digit counts
    EXPECT_EQ(ParseBlocksInFlight("59"), 59);
    for (const char* refused : {"abc", "0", "1", "61", "-5", "99999999999", "", "+8", "8 ", "4x", "100"})
        EXPECT_EQ(ParseBlocksInFlight(refused), std::nullopt) << "'" << refused << "'";
}

class BlocksSettingFile : public AppTest {
protected:
    // The count chosen, and what was said on the error stream meanwhile.
    std::pair<int32_t, std::string> Choose(const std::optional<std::string>& option) {
        app::SettingsFile settings(sim.GetFiles());
        testing::internal::CaptureStderr();
        const int32_t count = ChooseBlocksInFlight(option, settings);
        return {count, testing::internal::GetCapturedStderr()};
    }
    void Write(const std::string& text) { sim.Files().SetFile(SettingsPath, text); }
};

TEST_F(BlocksSettingFile, TheOptionOverridesTheKeyAndWithNeitherTheQueueIsTheDesignedOne) {
    EXPECT_EQ(Choose(std::nullopt), std::make_pair(60, std::string()));
    Write("[Kelvarin]\nsl1=100\n");
    EXPECT_EQ(Choose(std::nullopt), std::make_pair(60, std::string()));
    Write("[Kelvarin]\nBlocks=8\n");
    EXPECT_EQ(Choose(std::nullopt), std::make_pair(8, std::string()));
    EXPECT_EQ(Choose("3"), std::make_pair(3, std::string()));
    Write("[Other]\nBlocks=8\n");
    EXPECT_EQ(Choose(std::nullopt).first, 60);
}

TEST_F(BlocksSettingFile, ABadValueIsRefusedInOneLineNamingItAndTheRange) {
    for (const std::string value : {"abc", "0", "1", "61", "-5", "99999999999", ""}) {
        Write("[Kelvarin]\nBlocks=" + value + "\n");
        const auto [count, said] = Choose(std::nullopt);
        EXPECT_EQ(count, 60) << value;
        EXPECT_EQ(said, "Kelvarin: Blocks in Kelvarin.ini '" + value +
                            "' is not a number from 2 to 60; keeping 60 blocks in flight\n");
    }
    Write("[Kelvarin]\nBlocks=8\n");
    const auto [count, said] = Choose("abc");
    EXPECT_EQ(count, 60);
    EXPECT_EQ(said, "Kelvarin: --blocks 'abc' is not a number from 2 to 60; keeping 60 blocks in flight\n");
}

TEST_F(BlocksSettingFile, TheKeyIsNeverWrittenAndItsLineStaysAsItWas) {
    Write("[Kelvarin]\r\nBlocks = 07 \r\nsl1=100\r\n");
    Start(Choose(std::nullopt).first);
    ASSERT_EQ(sim.Wave().InFlight(), 7u);
    window->Click(res::IDC_CLOSE);
    sim.Pump();
    Complete(7);
    ASSERT_TRUE(sim.Ended());
    EXPECT_NE(Settings().value_or("").find("[Kelvarin]\r\nBlocks = 07 \r\nsl1=100\r\n"), std::string::npos)
        << Settings().value_or("");
}

app::CommandLine Parse(std::initializer_list<const char*> arguments) {
    std::vector<const char*> argv{"kelvarin"};
    argv.insert(argv.end(), arguments);
    return app::ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(BlocksOption, TakesOneValueForTheRunAndChecksItLater) {
    EXPECT_TRUE(Parse({"--blocks", "8"}).run);
    EXPECT_EQ(Parse({"--blocks", "8"}).blocks, "8");
    EXPECT_EQ(Parse({"--blocks=12"}).blocks, "12");
    EXPECT_EQ(Parse({"--blocks", "abc"}).blocks, "abc") << "refused at start-up, which then keeps 60";
    EXPECT_EQ(Parse({}).blocks, std::nullopt);
    const app::CommandLine missing = Parse({"--blocks"});
    EXPECT_FALSE(missing.run);
    EXPECT_EQ(missing.exitStatus, 2);
    EXPECT_EQ(missing.text.substr(0, missing.text.find('\n')), "kelvarin: --blocks needs a number from 2 to 60");
    const app::CommandLine extra = Parse({"--blocks", "8", "--play"});
    EXPECT_FALSE(extra.run);
    EXPECT_EQ(extra.text.substr(0, extra.text.find('\n')), "kelvarin: unexpected argument '--play'");
}

}  // namespace
