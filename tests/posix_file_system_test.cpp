// The desktop's files on a real file system, each test in a private directory of its
// own: links written through, read-only files left alone, temporary files that do not
// pile up, a current directory that is gone, and stamps that see every change.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/desktop/files/posix_file_system.h"

namespace {

using testing::UnorderedElementsAre;

class PosixFilesTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = std::filesystem::temp_directory_path() / "kelvarin-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(dir, ignored);
    }
    std::string In(const std::string& name) const { return dir + "/" + name; }
    static void Put(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            names.push_back(entry.path().filename());
        return names;
    }
    static bool IsLink(const std::string& path) { return std::filesystem::is_symlink(path); }

    std::string dir;
    platform::desktop::PosixFileSystem files;
};

TEST_F(PosixFilesTest, ASymlinkedFileIsWrittenThroughToItsTarget) {
    std::filesystem::create_directory(In("real"));
    Put(In("real/settings.ini"), "old");
    std::filesystem::create_symlink("real/settings.ini", In("Kelvarin.ini"));
    ASSERT_TRUE(files.ReplaceWholeFile(In("Kelvarin.ini"), "new"));
    EXPECT_TRUE(IsLink(In("Kelvarin.ini")));
    EXPECT_EQ(Contents(In("real/settings.ini")), "new");
    EXPECT_EQ(files.ReadWholeFile(In("Kelvarin.ini")), "new");
    EXPECT_THAT(Names(), UnorderedElementsAre("real", "Kelvarin.ini"));
}

TEST_F(PosixFilesTest, ALinkToALinkAndADanglingLinkAreFollowedToTheEnd) {
    std::filesystem::create_symlink(In("middle"), In("Kelvarin.ini"));
    std::filesystem::create_symlink("last.ini", In("middle"));
    ASSERT_TRUE(files.ReplaceWholeFile(In("Kelvarin.ini"), "made"));
    EXPECT_TRUE(IsLink(In("Kelvarin.ini")));
    EXPECT_TRUE(IsLink(In("middle")));
    EXPECT_EQ(Contents(In("last.ini")), "made");
}

TEST_F(PosixFilesTest, ALinkThatLoopsIsNotReplaced) {
    std::filesystem::create_symlink("b", In("a"));
    std::filesystem::create_symlink("a", In("b"));
    EXPECT_FALSE(files.ReplaceWholeFile(In("a"), "x"));
    EXPECT_TRUE(IsLink(In("a")) && IsLink(In("b")));
}

TEST_F(PosixFilesTest, AReadOnlyFileIsLeftUntouched) {
    Put(In("Kelvarin.ini"), "[Kelvarin]\nsl1=5\n");
    chmod(In("Kelvarin.ini").c_str(), 0444);
    EXPECT_FALSE(files.ReplaceWholeFile(In("Kelvarin.ini"), "replaced"));
    EXPECT_EQ(Contents(In("Kelvarin.ini")), "[Kelvarin]\nsl1=5\n");
    struct stat status;
    ASSERT_EQ(stat(In("Kelvarin.ini").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0444u);
    EXPECT_THAT(Names(), UnorderedElementsAre("Kelvarin.ini"));
}

TEST_F(PosixFilesTest, AFileHeldOpenElsewhereIsNeitherReadNorReplaced) {
    Put(In("Kelvarin.ini"), "held");
    const int holder = open(In("Kelvarin.ini").c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    EXPECT_FALSE(files.ReplaceWholeFile(In("Kelvarin.ini"), "new"));
    EXPECT_EQ(files.ReadWholeFile(In("Kelvarin.ini")), std::nullopt);
    close(holder);
    EXPECT_EQ(Contents(In("Kelvarin.ini")), "held");
    EXPECT_THAT(Names(), UnorderedElementsAre("Kelvarin.ini"));
}

TEST_F(PosixFilesTest, AReplacementKeepsTheFilesPermissions) {
    Put(In("Kelvarin.ini"), "a");
    chmod(In("Kelvarin.ini").c_str(), 0640);
    ASSERT_TRUE(files.ReplaceWholeFile(In("Kelvarin.ini"), "b"));
    struct stat status;
    ASSERT_EQ(stat(In("Kelvarin.ini").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST_F(PosixFilesTest, ATemporaryFileLeftByAKilledSaveGoesAtTheNextSave) {
    Put(In(".Kelvarin.ini.tmp-Ab12Cd"), std::string(1000, 'x'));   // left by a killed save
    Put(In(".Kelvarin.ini.tmp-Ef34Gh"), "in use");                 // another save, writing now
    Put(In(".Kelvarin.ini.tmp-toolong"), "not ours");
    Put(In(".other.ini.tmp-Ab12Cd"), "another file's");
    const int held = open(In(".Kelvarin.ini.tmp-Ef34Gh").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    ASSERT_TRUE(files.ReplaceWholeFile(In("Kelvarin.ini"), "saved"));
    close(held);
    EXPECT_EQ(Contents(In("Kelvarin.ini")), "saved");
    EXPECT_THAT(Names(), UnorderedElementsAre("Kelvarin.ini", ".Kelvarin.ini.tmp-Ef34Gh",
                                              ".Kelvarin.ini.tmp-toolong", ".other.ini.tmp-Ab12Cd"));
}

TEST_F(PosixFilesTest, AFailedSaveLeavesNoTemporaryFileBehind) {
    std::filesystem::create_directory(In("Kelvarin.ini"));  // cannot be renamed over
    EXPECT_FALSE(files.ReplaceWholeFile(In("Kelvarin.ini"), "x"));
    EXPECT_THAT(Names(), UnorderedElementsAre("Kelvarin.ini"));
}

TEST_F(PosixFilesTest, ACurrentDirectoryThatWasDeletedCannotBeNamed) {
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::create_directory(In("gone"));
    ASSERT_EQ(chdir(In("gone").c_str()), 0);
    EXPECT_EQ(files.GetCurrentDirectory(), In("gone"));
    ASSERT_EQ(rmdir(In("gone").c_str()), 0);
    const std::string named = files.GetCurrentDirectory();
    std::filesystem::current_path(before);
    EXPECT_EQ(named, "");
}

TEST_F(PosixFilesTest, TheStampChangesWithEveryChangeAndOnlyThen) {
    const std::string path = In("Kelvarin.ini");
    EXPECT_EQ(files.Stamp(path), std::nullopt);
    EXPECT_FALSE(files.Exists(path));
    Put(path, "[Kelvarin]\nHideWindow=0\n");
    EXPECT_TRUE(files.Exists(path));
    const auto first = files.Stamp(path);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->size, 24u);
    EXPECT_EQ(files.ReadWholeFile(path), "[Kelvarin]\nHideWindow=0\n");
    EXPECT_EQ(files.Stamp(path), first);

    ASSERT_TRUE(files.ReplaceWholeFile(path, "[Kelvarin]\nHideWindow=1\n"));  // same size
    const auto replaced = files.Stamp(path);
    EXPECT_NE(replaced, first);
    EXPECT_NE(replaced->inode, first->inode);

    // Rewritten in place, as some editors do: the time tells, at the same size.
    Put(path, "[Kelvarin]\nHideWindow=2\n");
    const timespec later[2] = {{0, UTIME_OMIT}, {first->modifiedSeconds + 5, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), later, 0), 0);
    const auto rewritten = files.Stamp(path);
    EXPECT_EQ(rewritten->inode, replaced->inode);
    EXPECT_NE(rewritten, replaced);
    // A file made readable again is worth another look.
    chmod(path.c_str(), 0400);
    EXPECT_NE(files.Stamp(path), rewritten);
    EXPECT_EQ(files.Stamp(path)->permissions, 0400u);
}

}  // namespace
