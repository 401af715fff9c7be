// Files on Windows: opened without sharing, replaced whole and atomically, and named in
// UTF-8 whatever the system's code page. Runs under Wine, whose server keeps the share
// modes as Windows does.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/win32/win32_file_system.h"
#include "platform/win32/windows_api.h"

namespace {

namespace fs = std::filesystem;
using platform::OpenMode;

// The program names files in UTF-8; std::filesystem's narrow strings are the ANSI code page's.
fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }
std::string Utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

class Win32Files : public testing::Test {
protected:
    void SetUp() override {
        static int made = 0;
        directory_ = fs::temp_directory_path() /
                     ("kelvarin-files-" + std::to_string(GetCurrentProcessId()) + "-" +
                      std::to_string(++made));
        fs::create_directories(directory_);
    }
    void TearDown() override {
        for (const auto& entry : fs::directory_iterator(directory_))
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(directory_);
    }
    std::string In(const std::string& name) const { return Utf8Of(directory_ / PathOf(name)); }
    static void Put(const std::string& path, const std::string& contents) {
        std::ofstream(PathOf(path), std::ios::binary) << contents;
    }
    static std::string Contents(const std::string& path) {
        std::ifstream in(PathOf(path), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    size_t Entries() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(directory_), {}));
    }

    platform::win32::Win32FileSystem files;
    fs::path directory_;
};

TEST_F(Win32Files, AFileHeldOpenCannotBeOpenedReadReplacedOrDeletedUntilItIsClosed) {
    const std::string path = In("midi.dat");
    Put(path, "old");
    auto held = files.OpenExclusive(path, OpenMode::Read);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(files.OpenExclusive(path, OpenMode::Read), nullptr);
    EXPECT_EQ(files.OpenExclusive(path, OpenMode::CreateWrite), nullptr);
    EXPECT_EQ(files.ReadWholeFile(path), std::nullopt);
    EXPECT_FALSE(files.ReplaceWholeFile(path, "new"));
    EXPECT_FALSE(files.DeleteFile(path));
    held.reset();
    EXPECT_EQ(Contents(path), "old");  // the failed create did not truncate it
    EXPECT_EQ(files.ReadWholeFile(path), "old");
    EXPECT_TRUE(files.DeleteFile(path));
    EXPECT_FALSE(files.Exists(path));
}

TEST_F(Win32Files, AWrittenFileReadsBackWithItsLength) {
    const std::string path = In("midi.dat");
    {
        auto file = files.OpenExclusive(path, OpenMode::CreateWrite);
        ASSERT_NE(file, nullptr);
        EXPECT_TRUE(file->Write("\x01\x02\x00\x03", 4));
        EXPECT_TRUE(file->Write("xyz", 3));
        EXPECT_EQ(file->Length(), 7u);
    }
    auto file = files.OpenExclusive(path, OpenMode::Read);
    ASSERT_NE(file, nullptr);
    char bytes[16] = {};
    EXPECT_EQ(file->Read(bytes, sizeof bytes), 7u);
    EXPECT_EQ(std::string(bytes, 7), std::string("\x01\x02\x00\x03xyz", 7));
}

TEST_F(Win32Files, AReplacementLeavesTheNewContentsAndNoTemporaryFile) {
    const std::string path = In("Kelvarin.ini");
    ASSERT_TRUE(files.ReplaceWholeFile(path, "[Kelvarin]\r\nsl1=100\r\n"));
    EXPECT_EQ(Contents(path), "[Kelvarin]\r\nsl1=100\r\n");
    ASSERT_TRUE(files.ReplaceWholeFile(path, "[Kelvarin]\r\n"));
    EXPECT_EQ(Contents(path), "[Kelvarin]\r\n");
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(Win32Files, AReadOnlyFileKeepsItsContents) {
    const std::string path = In("Kelvarin.ini");
    Put(path, "[Kelvarin]\r\nsl1=5\r\n");
    SetFileAttributesW(PathOf(path).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(files.ReplaceWholeFile(path, "[Kelvarin]\r\nsl1=6\r\n"));
    EXPECT_EQ(Contents(path), "[Kelvarin]\r\nsl1=5\r\n");
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(Win32Files, AKilledSavesTemporaryGoesAtTheNextSaveButOneStillHeldStays) {
    const std::string path = In("Kelvarin.ini");
    Put(In("Kelvarin.ini.tmp-abc123"), "stale");
    Put(In("Kelvarin.ini.tmp-held00"), "being written");
    Put(In("Kelvarin.ini.tmp-notours"), "another name");  // not six characters: not ours
    auto held = files.OpenExclusive(In("Kelvarin.ini.tmp-held00"), OpenMode::Read);
    ASSERT_NE(held, nullptr);
    ASSERT_TRUE(files.ReplaceWholeFile(path, "new"));
    EXPECT_FALSE(files.Exists(In("Kelvarin.ini.tmp-abc123")));
    EXPECT_TRUE(files.Exists(In("Kelvarin.ini.tmp-held00")));
    EXPECT_TRUE(files.Exists(In("Kelvarin.ini.tmp-notours")));
}

TEST_F(Win32Files, TheStampChangesWithTheFileAndIsNothingWithoutOne) {
    const std::string path = In("Kelvarin.ini");
    EXPECT_EQ(files.Stamp(path), std::nullopt);
    const std::string contents = "[Kelvarin]\r\nHideWindow=0\r\n";
    ASSERT_TRUE(files.ReplaceWholeFile(path, contents));
    const auto first = files.Stamp(path);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(files.Stamp(path), first);
    EXPECT_EQ(first->size, contents.size());
    ASSERT_TRUE(files.ReplaceWholeFile(path, "[Kelvarin]\r\nHideWindow=1\r\n"));  // same size
    EXPECT_NE(files.Stamp(path), first);  // a new file, with an identity of its own
}

TEST_F(Win32Files, NamesBeyondAsciiWorkInUtf8) {
    const std::string folder = In("\xD0\x9D\xD0\xB0\xD1\x81\xD1\x82\xD1\x80\xD0\xBE\xD0\xB9\xD0\xBA\xD0\xB8");
    ASSERT_TRUE(CreateDirectoryW(PathOf(folder).c_str(), nullptr));
    const std::string path = folder + "\\Kelvarin.ini";
    ASSERT_TRUE(files.ReplaceWholeFile(path, "[Kelvarin]\r\n"));
    EXPECT_TRUE(files.Exists(path));
    EXPECT_EQ(files.ReadWholeFile(path), "[Kelvarin]\r\n");
    EXPECT_TRUE(files.DeleteFile(path));
    RemoveDirectoryW(PathOf(folder).c_str());
}

TEST_F(Win32Files, TheCurrentDirectoryIsNamedInTheSystemsWay) {
    const std::string folder = In("\xD0\xB4\xD0\xB8\xD1\x80");
    ASSERT_TRUE(CreateDirectoryW(PathOf(folder).c_str(), nullptr));
    wchar_t before[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, before);
    ASSERT_TRUE(SetCurrentDirectoryW(PathOf(folder).c_str()));
    const std::string named = files.GetCurrentDirectory();
    SetCurrentDirectoryW(before);
    RemoveDirectoryW(PathOf(folder).c_str());
    EXPECT_EQ(PathOf(named), PathOf(folder));
    EXPECT_EQ(files.PathSeparator(), '\\');
    EXPECT_EQ(files.NewFileLineEnd(), "\r\n");
}

}  // namespace
