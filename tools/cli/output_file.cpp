#include "tools/cli/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

namespace cli {

namespace {

// The temporary file an interrupt removes; a fixed buffer, as the handler may only
// make async-signal-safe calls.
char pendingPath[4096];

void RemovePendingAndDie(int signalNumber) {
    if (pendingPath[0] != '\0') unlink(pendingPath);
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

constexpr int Interrupts[] = {SIGINT, SIGTERM, SIGHUP};

// Holds the interrupts back for its lifetime, so that the file on disk and the path
// the handler removes change together.
class InterruptsHeld {
public:
    InterruptsHeld() {
        sigset_t interrupts;
        sigemptyset(&interrupts);
        for (const int signalNumber : Interrupts) sigaddset(&interrupts, signalNumber);
        sigprocmask(SIG_BLOCK, &interrupts, &old_);
    }
    ~InterruptsHeld() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

private:
    sigset_t old_;
};

// Called with the interrupts held.
void SetPending(const std::string& temporary) {
    const size_t length = temporary.size() < sizeof pendingPath ? temporary.size() : 0;
    std::memcpy(pendingPath, temporary.data(), length);
    pendingPath[length] = '\0';
}

void InstallHandlers() {
    for (const int signalNumber : Interrupts) {
        struct sigaction action {};
        sigaction(signalNumber, nullptr, &action);
        if (action.sa_handler == SIG_IGN) continue;  // nohup keeps SIGHUP away
        action.sa_handler = RemovePendingAndDie;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(signalNumber, &action, nullptr);
    }
    std::signal(SIGXFSZ, SIG_IGN);
}

// The directory part of path, with its separator, or nothing for a bare name.
std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BaseNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::unique_ptr<OutputFile> OutputFile::Create(const std::string& path, std::string& reason) {
    InstallHandlers();
    std::string pattern = DirectoryOf(path) + "." + BaseNameOf(path) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = -1, error = 0;
    {
        const InterruptsHeld held;
        fd = mkostemp(name.data(), O_CLOEXEC);
        error = errno;
        if (fd >= 0) SetPending(name.data());
    }
    if (fd < 0) {
        reason = std::strerror(error);
        return nullptr;
    }
    // mkostemp makes the file private; the finished one gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    return std::unique_ptr<OutputFile>(new OutputFile(path, name.data(), fd));
}

OutputFile::OutputFile(std::string path, std::string temporary, int fd)
    : path_(std::move(path)), temporary_(std::move(temporary)), fd_(fd) {}

OutputFile::~OutputFile() {
    if (fd_ >= 0) close(fd_);
    const InterruptsHeld held;
    if (!committed_) unlink(temporary_.c_str());
    SetPending("");
}

bool OutputFile::Write(const void* data, size_t count, std::string& reason) {
    const auto* bytes = static_cast<const char*>(data);
    while (count > 0) {
        const ssize_t written = write(fd_, bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            reason = std::strerror(written < 0 ? errno : ENOSPC);
            return false;
        }
        bytes += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

bool OutputFile::Commit(std::string& reason) {
    // A disk that fills up may say so only when the data is synced or closed.
    int error = fsync(fd_) == 0 ? 0 : errno;
    if (close(fd_) != 0 && error == 0) error = errno;
    fd_ = -1;
    if (error == 0 && rename(temporary_.c_str(), path_.c_str()) != 0) error = errno;
    if (error != 0) {
        reason = std::strerror(error);
        return false;
    }
    committed_ = true;
    return true;
}

}  // namespace cli
