#include "platform/desktop/posix_file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

namespace platform::desktop {
namespace {

// An open descriptor, closed (and so unlocked) when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&&) = delete;
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    bool Lock(int operation) const { return flock(fd_, operation | LOCK_NB) == 0; }

private:
    int fd_;
};

Descriptor OpenRegularFile(const std::string& path, int flags) {
    Descriptor file(open(path.c_str(), flags | O_CLOEXEC, 0666));
    struct stat status;
    if (!file.Valid() || fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return Descriptor();
    }
    return file;
}

bool WriteAll(int fd, const void* data, size_t count) {
    const auto* bytes = static_cast<const char*>(data);
    while (count > 0) {
        const ssize_t written = write(fd, bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

size_t ReadAll(int fd, void* buffer, size_t count) {
    auto* bytes = static_cast<char*>(buffer);
    size_t total = 0;
    while (total < count) {
        const ssize_t got = read(fd, bytes + total, count - total);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        total += static_cast<size_t>(got);
    }
    return total;
}

class PosixFile final : public File {
public:
    explicit PosixFile(Descriptor file) : file_(std::move(file)) {}
    size_t Read(void* buffer, size_t count) override { return ReadAll(file_.Get(), buffer, count); }
    // A write the disk takes only in part is cut off again, so the file never ends in a
    // fragment of it.
    bool Write(const void* data, size_t count) override {
        const off_t start = lseek(file_.Get(), 0, SEEK_CUR);
        if (WriteAll(file_.Get(), data, count)) return true;
        if (start >= 0 && ftruncate(file_.Get(), start) == 0) lseek(file_.Get(), start, SEEK_SET);
        return false;
    }
    uint64_t Length() override {
        struct stat status;
        return fstat(file_.Get(), &status) == 0 ? static_cast<uint64_t>(status.st_size) : 0;
    }

private:
    Descriptor file_;
};

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::string PosixFileSystem::GetCurrentDirectory() {
    std::vector<char> buffer(256);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE) return std::string();
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

std::unique_ptr<File> PosixFileSystem::OpenExclusive(const std::string& path, OpenMode mode) {
    const bool create = mode == OpenMode::CreateWrite;
    // Truncated only once the lock is ours, so a failed open leaves a held file alone.
    Descriptor file = OpenRegularFile(path, create ? (O_WRONLY | O_CREAT) : O_RDONLY);
    if (!file.Valid() || !file.Lock(LOCK_EX)) return nullptr;
    if (create && ftruncate(file.Get(), 0) != 0) return nullptr;
    return std::make_unique<PosixFile>(std::move(file));
}

bool PosixFileSystem::DeleteFile(const std::string& path) {
    // Like a file opened without sharing on Windows, a held file cannot be deleted.
    const Descriptor file = OpenRegularFile(path, O_RDONLY);
    if (file.Valid() && !file.Lock(LOCK_EX)) return false;
    return unlink(path.c_str()) == 0;
}

bool PosixFileSystem::Exists(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

std::optional<std::string> PosixFileSystem::ReadWholeFile(const std::string& path) {
    const Descriptor file = OpenRegularFile(path, O_RDONLY);
    if (!file.Valid() || !file.Lock(LOCK_SH)) return std::nullopt;
    std::string contents;
    char chunk[4096];
    for (;;) {
        const ssize_t got = read(file.Get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) return contents;
        contents.append(chunk, static_cast<size_t>(got));
    }
}

bool PosixFileSystem::ReplaceWholeFile(const std::string& path, const std::string& contents) {
    const Descriptor old = OpenRegularFile(path, O_RDONLY);
    if (old.Valid() && !old.Lock(LOCK_EX)) return false;
    struct stat oldStatus;
    const mode_t mode = (old.Valid() && fstat(old.Get(), &oldStatus) == 0)
                            ? (oldStatus.st_mode & 07777)
                            : NewFileMode();

    std::string temporary = path + ".XXXXXX";
    const Descriptor file(mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.Valid()) return false;
    const bool written = fchmod(file.Get(), mode) == 0 &&
                         WriteAll(file.Get(), contents.data(), contents.size()) &&
                         fsync(file.Get()) == 0;
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself lasts only once the directory is on disk too.
    const Descriptor directory(open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.Valid()) fsync(directory.Get());
    return true;
}

}  // namespace platform::desktop
