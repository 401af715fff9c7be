// The initialisation-file format that the settings file is kept in.
#include <gtest/gtest.h>

#include "platform/profile_file.h"
#include "platform/sim/sim_file_system.h"

using platform::FindProfileSection;
using platform::FindProfileValue;
using platform::SetProfileSection;
using platform::SetProfileValue;
using Lines = std::vector<std::string>;

TEST(ProfileFormat, FindsKeysWithoutRegardToCase) {
    const std::string text = "[other]\nsl1=5\n[Kelvarin]\n  SL1 = 42 \r\nsldecrement=-3\n";
    EXPECT_EQ(FindProfileValue(text, "kelvarin", "sl1"), "42");
    EXPECT_EQ(FindProfileValue(text, "KELVARIN", "SlDecrement"), "-3");
    EXPECT_EQ(FindProfileValue(text, "Kelvarin", "sl2"), std::nullopt);
    EXPECT_EQ(FindProfileValue(text, "missing", "sl1"), std::nullopt);
}

TEST(ProfileFormat, AQuotedValueReadsWithoutItsQuotes) {
    const std::string text = "[Kelvarin]\na=\"42\"\nb='7'\nc=\"5'\nd=\"\n";
    EXPECT_EQ(FindProfileValue(text, "Kelvarin", "a"), "42");
    EXPECT_EQ(FindProfileValue(text, "Kelvarin", "b"), "7");
    EXPECT_EQ(FindProfileValue(text, "Kelvarin", "c"), "\"5'");
    EXPECT_EQ(FindProfileValue(text, "Kelvarin", "d"), "\"");
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

TEST(ProfileFormat, ACrLfFileKeepsCrLfOnEveryLineWritten) {
    std::string text = "; notes\r\n[Kelvarin]\r\nsl1=1\r\n\r\n[other]\r\nx=1\r\n";
    text = SetProfileValue(text, "Kelvarin", "sl1", "55");
    text = SetProfileValue(text, "Kelvarin", "sl2", "3");
    text = SetProfileValue(text, "new", "k", "9");
    EXPECT_EQ(text,
              "; notes\r\n[Kelvarin]\r\nsl1=55\r\nsl2=3\r\n\r\n[other]\r\nx=1\r\n[new]\r\nk=9\r\n");
    EXPECT_EQ(FindProfileValue(text, "Kelvarin", "sl1"), "55");
    // A file that starts with an empty line still has its own line end.
    EXPECT_EQ(SetProfileValue("\r\n[Kelvarin]\r\n", "Kelvarin", "a", "1"), "\r\n[Kelvarin]\r\na=1\r\n");
    // Without a line break the text is new, and new text uses the platform's own.
    EXPECT_EQ(SetProfileValue("[Kelvarin]", "Kelvarin", "a", "1"), "[Kelvarin]\na=1\n");
    EXPECT_EQ(SetProfileValue("[Kelvarin]\r\nsl1=1", "Kelvarin", "sl2", "2"),
              "[Kelvarin]\r\nsl1=1\r\nsl2=2\r\n");
}

TEST(ProfileFormat, NewTextTakesTheLineEndItIsGivenAndOldTextKeepsItsOwn) {
    EXPECT_EQ(SetProfileValue("", "Kelvarin", "a", "1", "\r\n"), "[Kelvarin]\r\na=1\r\n");
    EXPECT_EQ(SetProfileValue("[Kelvarin]", "Kelvarin", "a", "1", "\r\n"), "[Kelvarin]\r\na=1\r\n");
    EXPECT_EQ(SetProfileValue("[Kelvarin]\nsl1=1\n", "Kelvarin", "sl2", "2", "\r\n"),
              "[Kelvarin]\nsl1=1\nsl2=2\n");
}

TEST(ProfileFormat, ASectionIsItsLinesUpToTheLastNonBlankOneAndIsReplacedWhole) {
    const std::string text = "[Kelvarin]\r\nsl1=3\r\n\r\n[Controllers]\r\n2=20\r\n\r\n; mine\r\n x \r\n\r\n[b]\r\ny=2";
    EXPECT_EQ(FindProfileSection(text, "controllers"), (Lines{"2=20", "", "; mine", " x "}));
    EXPECT_EQ(FindProfileSection(text, "b"), Lines{"y=2"});
    EXPECT_EQ(FindProfileSection(text, "missing"), std::nullopt);
    EXPECT_EQ(SetProfileSection(text, "Controllers", {"base=7", " x "}),
              "[Kelvarin]\r\nsl1=3\r\n\r\n[Controllers]\r\nbase=7\r\n x \r\n\r\n[b]\r\ny=2");
    EXPECT_EQ(SetProfileSection(text, "b", {}), "[Kelvarin]\r\nsl1=3\r\n\r\n[Controllers]\r\n2=20\r\n\r\n; mine\r\n x \r\n\r\n[b]\r\n");
    // A missing section goes at the end; a header without a line end gets one.
    EXPECT_EQ(SetProfileSection("a=1", "Controllers", {"2=20"}, "\r\n"), "a=1\r\n[Controllers]\r\n2=20\r\n");
    EXPECT_EQ(SetProfileSection("[Controllers]", "Controllers", {"2=20"}), "[Controllers]\n2=20\n");
    EXPECT_EQ(FindProfileSection("[Controllers]", "Controllers"), Lines{});
}

namespace {

// UTF-16 bytes of text that is ASCII, with the byte-order mark first.
std::string Utf16(const std::string& ascii, bool littleEndian) {
    std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (const char c : ascii) {
        bytes += littleEndian ? c : '\0';
        bytes += littleEndian ? '\0' : c;
    }
    return bytes;
}

class ProfileFileTest : public testing::Test {
protected:
    static constexpr const char* Path = "/home/player/Kelvarin.ini";
    std::string Get(const char* key) {
        return profile.GetPrivateProfileString("Kelvarin", key, "none", 256, Path);
    }
    bool Put(const char* key, const char* value) {
        return profile.WritePrivateProfileString("Kelvarin", key, value, Path);
    }
    sim::SimFileSystem files;
    platform::ProfileFile profile{files};
};

}  // namespace

TEST_F(ProfileFileTest, AUtf8FileWithAByteOrderMarkReadsAndKeepsItsMark) {
    files.SetFile(Path, "\xEF\xBB\xBF[Kelvarin]\r\nsl1=30\r\n");
    EXPECT_EQ(Get("sl1"), "30");
    ASSERT_TRUE(Put("sl2", "4"));
    EXPECT_EQ(files.Contents(Path), "\xEF\xBB\xBF[Kelvarin]\r\nsl1=30\r\nsl2=4\r\n");
}

TEST_F(ProfileFileTest, AUtf16FileReadsAsTextAndIsWrittenBackInUtf16) {
    for (const bool little : {true, false}) {
        files.SetFile(Path, Utf16("[Kelvarin]\r\nsl1=30\r\nsl2=7\r\n", little));
        EXPECT_EQ(Get("sl1"), "30") << little;
        ASSERT_TRUE(Put("sl1", "100"));
        ASSERT_TRUE(Put("HideWindow", "1"));
        EXPECT_EQ(files.Contents(Path), Utf16("[Kelvarin]\r\nsl1=100\r\nsl2=7\r\nHideWindow=1\r\n", little))
            << little;
    }
}

TEST_F(ProfileFileTest, TextBeyondAsciiSurvivesAWriteInEveryEncoding) {
    // A Cyrillic comment, a character outside the basic plane, and a lone surrogate.
    const std::string utf16Le = std::string("\xFF\xFE", 2) + std::string(";\0\x3F\x04=\0\x3D\xD8\x00\xDE\x00\xD8\n\0", 14);
    files.SetFile(Path, utf16Le);
    ASSERT_TRUE(Put("sl1", "5"));
    EXPECT_EQ(files.Contents(Path), utf16Le + Utf16("[Kelvarin]\nsl1=5\n", true).substr(2));
    EXPECT_EQ(Get("sl1"), "5");

    const std::string utf8 = "\xEF\xBB\xBF; \xD0\xBF\xF0\x9F\x8E\xB5\n";
    files.SetFile(Path, utf8);
    ASSERT_TRUE(Put("sl1", "5"));
    EXPECT_EQ(files.Contents(Path), utf8 + "[Kelvarin]\nsl1=5\n");
}

TEST_F(ProfileFileTest, AValueIsCutToTheBufferLessItsTerminator) {
    files.SetFile(Path, "[Kelvarin]\nsl1=" + std::string(300, '7') + "\n");
    EXPECT_EQ(Get("sl1"), std::string(255, '7'));
    EXPECT_EQ(profile.GetPrivateProfileString("Kelvarin", "sl1", "", 3, Path), "77");
    files.SetFile(Path, "[Kelvarin]\nsl1=77\n");
    EXPECT_EQ(profile.GetPrivateProfileString("Kelvarin", "sl1", "", 2, Path), "7");
    EXPECT_EQ(profile.GetPrivateProfileString("Kelvarin", "sl1", "", 0, Path), "");
}

TEST_F(ProfileFileTest, ReadingAKeyAgainReadsTheFileOnlyOnceItHasChanged) {
    EXPECT_EQ(Get("sl1"), "none");
    EXPECT_EQ(files.Reads(Path), 0);  // no file: nothing to read
    files.SetFile(Path, "[Kelvarin]\nsl1=1\n");
    EXPECT_EQ(Get("sl1"), "1");
    EXPECT_EQ(Get("sl1"), "1");
    EXPECT_EQ(Get("sl2"), "none");
    EXPECT_EQ(files.Reads(Path), 2);
    files.SetFile(Path, "[Kelvarin]\nsl1=2\n");  // the same size, a later time
    EXPECT_EQ(Get("sl1"), "2");
    ASSERT_TRUE(Put("sl1", "3"));
    EXPECT_EQ(Get("sl1"), "3");
    files.SetUnreadable(Path);
    EXPECT_EQ(Get("sl1"), "none");
    EXPECT_FALSE(Put("sl1", "4"));  // a file that cannot be read is not replaced
    files.SetUnreadable(Path, false);
    EXPECT_EQ(Get("sl1"), "3");
}

// On Windows a settings file the program creates ends its lines in CR LF, as Notepad
// expects; one the user made with other line ends keeps them.
TEST_F(ProfileFileTest, ANewFileTakesTheSystemsLineEnd) {
    files.SetNewFileLineEnd("\r\n");
    ASSERT_TRUE(Put("sl1", "5"));
    ASSERT_TRUE(Put("sl2", "7"));
    EXPECT_EQ(files.Contents(Path), "[Kelvarin]\r\nsl1=5\r\nsl2=7\r\n");
}

TEST_F(ProfileFileTest, AFileWithItsOwnLineEndsKeepsThemWhateverTheSystemUses) {
    files.SetNewFileLineEnd("\r\n");
    files.SetFile(Path, "[Kelvarin]\nsl1=1\n");
    ASSERT_TRUE(Put("sl2", "2"));
    EXPECT_EQ(files.Contents(Path), "[Kelvarin]\nsl1=1\nsl2=2\n");
}

TEST_F(ProfileFileTest, ASectionIsWrittenInTheFilesEncodingAndKeyWritesLeaveItWhole) {
    files.SetFile(Path, Utf16("[Controllers]\r\n2=20\r\nbad\r\n", true));
    EXPECT_EQ(profile.GetPrivateProfileSection("Controllers", Path), (Lines{"2=20", "bad"}));
    ASSERT_TRUE(profile.WritePrivateProfileSection("Controllers", {"bad", "3=21"}, Path));
    ASSERT_TRUE(Put("sl1", "5"));
    EXPECT_EQ(files.Contents(Path), Utf16("[Controllers]\r\nbad\r\n3=21\r\n[Kelvarin]\r\nsl1=5\r\n", true));
    files.SetUnreadable(Path);
    EXPECT_EQ(profile.GetPrivateProfileSection("Controllers", Path), std::nullopt);
    EXPECT_FALSE(profile.WritePrivateProfileSection("Controllers", {}, Path));
    files.SetUnreadable(Path, false);
    EXPECT_EQ(profile.GetPrivateProfileSection("Controllers", Path), (Lines{"bad", "3=21"}));
}
