#include "platform/desktop/files/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
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

std::string BaseNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where a chain of symbolic links ends, whether or not a file is there yet; nothing
// for a chain that loops or cannot be read.
std::optional<std::string> FollowLinks(std::string path) {
    constexpr int MaxLinks = 40;  // as the kernel allows
    for (int links = 0; links <= MaxLinks; ++links) {
        struct stat status;
        if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
        std::vector<char> buffer(PATH_MAX);
        const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
        if (length < 0 || static_cast<size_t>(length) == buffer.size()) return std::nullopt;
        const std::string target(buffer.data(), static_cast<size_t>(length));
        path = target.starts_with('/') ? target : DirectoryOf(path) + "/" + target;
    }
    return std::nullopt;
}

// A file with no write permission bits, or one this user may not write, is read-only.
bool MayWrite(const std::string& path, const struct stat& status) {
    return (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 &&
           faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// Temporary files of a replacement: ".Kelvarin.ini.tmp-" and six random characters,
// beside the file they replace.
std::string TemporaryPrefix(const std::string& path) {
    std::string prefix(1, '.');
    return prefix.append(BaseNameOf(path)).append(".tmp-");
}

// A save that was killed leaves its temporary file behind; one nobody holds locked
// any more goes at the next save.
void RemoveStaleTemporaries(const std::string& directory, const std::string& prefix) {
    constexpr size_t RandomPartLength = 6;
    DIR* entries = opendir(directory.c_str());
    if (!entries) return;
    while (const dirent* entry = readdir(entries)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + RandomPartLength || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string path = directory + "/" + name;
        const Descriptor stale = OpenRegularFile(path, O_RDONLY | O_NOFOLLOW);
        if (stale.Valid() && stale.Lock(LOCK_EX)) unlink(path.c_str());
    }
    closedir(entries);
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

std::optional<FileStamp> PosixFileSystem::Stamp(const std::string& path) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return std::nullopt;
    return FileStamp{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino),
                     static_cast<uint64_t>(status.st_size), status.st_mtim.tv_sec,
                     status.st_mtim.tv_nsec, static_cast<uint32_t>(status.st_mode & 07777)};
}

bool PosixFileSystem::ReplaceWholeFile(const std::string& path, const std::string& contents) {
    // A link stays a link: the file it leads to takes the new contents.
    const std::optional<std::string> target = FollowLinks(path);
    if (!target) return false;
    const Descriptor old = OpenRegularFile(*target, O_RDONLY);
    if (old.Valid() && !old.Lock(LOCK_EX)) return false;
    struct stat oldStatus;
    const bool hadFile = old.Valid() && fstat(old.Get(), &oldStatus) == 0;
    // A file the user made read-only keeps its contents, though the rename could replace it.
    if (hadFile && !MayWrite(*target, oldStatus)) return false;
    const mode_t mode = hadFile ? (oldStatus.st_mode & 07777) : NewFileMode();

    const std::string directory = DirectoryOf(*target);
    const std::string prefix = TemporaryPrefix(*target);
    RemoveStaleTemporaries(directory, prefix);
    std::string temporary = directory + "/" + prefix + "XXXXXX";
    const Descriptor file(mkostemp(temporary.data(), O_CLOEXEC));
    // Locked while it is being written, so that another save does not take it for stale.
    if (!file.Valid() || !file.Lock(LOCK_EX)) {
        if (file.Valid()) unlink(temporary.c_str());
        return false;
    }
    const bool written = fchmod(file.Get(), mode) == 0 &&
                         WriteAll(file.Get(), contents.data(), contents.size()) &&
                         fsync(file.Get()) == 0;
    if (!written || rename(temporary.c_str(), target->c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself lasts only once the directory is on disk too.
    const Descriptor syncDirectory(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (syncDirectory.Valid()) fsync(syncDirectory.Get());
    return true;
}

}  // namespace platform::desktop
