// The initialisation-file format that the settings file is kept in.
#include <gtest/gtest.h>

#include "platform/profile_file.h"

using platform::FindProfileValue;
using platform::SetProfileValue;

TEST(ProfileFormat, FindsKeysWithoutRegardToCase) {
    const std::string text = "[other]\nsl1=5\n[Kelvarin]\n  SL1 = 42 \r\nsldecrement=-3\n";
    EXPECT_EQ(FindProfileValue(text, "kelvarin", "sl1"), "42");
    EXPECT_EQ(FindProfileValue(text, "KELVARIN", "SlDecrement"), "-3");
    EXPECT_EQ(FindProfileValue(text, "Kelvarin", "sl2"), std::nullopt);
    EXPECT_EQ(FindProfileValue(text, "missing", "sl1"), std::nullopt);
}

TEST(ProfileFormat, WritingCreatesTheSectionThenReplacesInPlace) {
    std::string text = SetProfileValue("", "Kelvarin", "sl1", "100");
    EXPECT_EQ(text, "[Kelvarin]\nsl1=100\n");
    text = SetProfileValue(text, "Kelvarin", "sl2", "0");
    text = SetProfileValue(text, "kelvarin", "SL1", "7");
    EXPECT_EQ(text, "[Kelvarin]\nsl1=7\nsl2=0\n");
}

TEST(ProfileFormat, OtherSectionsAndLinesSurviveAWrite) {
    const std::string text = "; a note\n[a]\nx=1\n\n[Kelvarin]\nsl1=3\n\n[b]\ny=2";
    const std::string written = SetProfileValue(text, "Kelvarin", "HideWindow", "1");
    EXPECT_EQ(written, "; a note\n[a]\nx=1\n\n[Kelvarin]\nsl1=3\nHideWindow=1\n\n[b]\ny=2");
    EXPECT_EQ(FindProfileValue(SetProfileValue(text, "b", "z", "9"), "b", "z"), "9");
}

TEST(ProfileFormat, AnyGarbageFileStillTakesAWriteThatReadsBack) {
    // Random text built from the characters that matter to the format, NUL included.
    const std::string alphabet = std::string("[]=;\n\r \tKelvarinsl1HideWindow0-9x", 33) + '\0';
    uint32_t seed = 12345;
    const auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (int round = 0; round < 500; ++round) {
        std::string text;
        for (uint32_t n = next() % 200; n > 0; --n) text += alphabet[next() % alphabet.size()];
        const std::string written = SetProfileValue(text, "Kelvarin", "sl1", "42");
        EXPECT_EQ(FindProfileValue(written, "Kelvarin", "sl1"), "42") << round;
        // A second write replaces the first instead of adding another line.
        const std::string rewritten = SetProfileValue(written, "Kelvarin", "sl1", "7");
        EXPECT_EQ(FindProfileValue(rewritten, "Kelvarin", "sl1"), "7") << round;
        EXPECT_EQ(rewritten.size(), written.size() - 1) << round;
    }
}
