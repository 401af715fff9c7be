// A write to a real file that the file system takes only in part: the file keeps what
// it had and nothing of the failed write, and later writes go on from there.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/desktop/files/posix_file_system.h"

namespace {

using platform::OpenMode;

// The largest file this process may write, as a full disk would set it: writes past it
// are cut short and then refused with EFBIG instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        Set(bytes);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }
    bool Set(rlim_t bytes) {
        const rlimit limit{bytes, saved_.rlim_max};
        return setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }

private:
    rlimit saved_{};
};

class PosixFileWrite : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kelvarin-write-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
        path_ = directory_ + "/midi.dat";
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }
    std::string Contents() const {
        std::ifstream in(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    platform::desktop::PosixFileSystem files_;
    std::string directory_;
    std::string path_;
};

TEST_F(PosixFileWrite, AWriteCutShortLeavesNoPartOfItInTheFile) {
    auto file = files_.OpenExclusive(path_, OpenMode::CreateWrite);
    ASSERT_NE(file, nullptr);
    FileSizeLimit limit(13);
    ASSERT_TRUE(file->Write("AAAAAAAA", 8));
    EXPECT_FALSE(file->Write("BBBBBBBB", 8)) << "only 5 of 8 bytes fit";
    EXPECT_EQ(file->Length(), 8u);
    EXPECT_EQ(Contents(), "AAAAAAAA");

    ASSERT_TRUE(limit.Set(16));
    ASSERT_TRUE(file->Write("CCCCCCCC", 8)) << "room again";
    EXPECT_EQ(Contents(), "AAAAAAAACCCCCCCC") << "the next write follows the last whole one";
}

TEST_F(PosixFileWrite, AWriteRefusedOutrightChangesNothing) {
    auto file = files_.OpenExclusive(path_, OpenMode::CreateWrite);
    ASSERT_NE(file, nullptr);
    FileSizeLimit limit(8);
    ASSERT_TRUE(file->Write("AAAAAAAA", 8));
    EXPECT_FALSE(file->Write("B", 1));
    EXPECT_EQ(Contents(), "AAAAAAAA");
}

}  // namespace
