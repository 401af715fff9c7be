#include "platform/win32/win32_file_system.h"

#include <algorithm>
#include <random>
#include <utility>

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace platform::win32 {
namespace {

// An open file handle, closed when it goes.
class Handle {
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~Handle() {
        if (Valid()) CloseHandle(handle_);
    }
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    Handle& operator=(Handle&&) = delete;
    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

Handle OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
    return Handle(CreateFileW(Widen(path).c_str(), access, share, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool WriteAll(HANDLE file, const void* data, size_t count) {
    const auto* bytes = static_cast<const char*>(data);
    while (count > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes, chunk, &written, nullptr) || written == 0) return false;
        bytes += written;
        count -= written;
    }
    return true;
}

class Win32File final : public File {
public:
    explicit Win32File(Handle file) : file_(std::move(file)) {}
    size_t Read(void* buffer, size_t count) override {
        DWORD got = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(count, MAXDWORD));
        return ReadFile(file_.Get(), buffer, wanted, &got, nullptr) ? got : 0;
    }
    // A write the disk takes only in part is cut off again, so the file never ends in a
    // fragment of it.
    bool Write(const void* data, size_t count) override {
        LARGE_INTEGER start{};
        const LARGE_INTEGER here{};
        const bool known = SetFilePointerEx(file_.Get(), here, &start, FILE_CURRENT);
        if (WriteAll(file_.Get(), data, count)) return true;
        if (known && SetFilePointerEx(file_.Get(), start, nullptr, FILE_BEGIN)) SetEndOfFile(file_.Get());
        return false;
    }
    uint64_t Length() override {
        LARGE_INTEGER size{};
        return GetFileSizeEx(file_.Get(), &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
    }

private:
    Handle file_;
};

bool IsDirectory(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string DirectoryOf(const std::string& path) {
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string(".") : path.substr(0, separator);
}

std::string BaseNameOf(const std::string& path) {
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// Temporary files of a replacement: "Kelvarin.ini.tmp-" and six random characters,
// beside the file they replace.
constexpr size_t RandomPartLength = 6;

std::string TemporaryPrefix(const std::string& path) {
    return DirectoryOf(path) + "\\" + BaseNameOf(path) + ".tmp-";
}

// A save that was killed leaves its temporary file behind; one nobody holds open any
// more goes at the next save (a held one cannot be deleted).
void RemoveStaleTemporaries(const std::string& prefix) {
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(Widen(prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    const std::string directory = DirectoryOf(prefix);
    const size_t nameLength = BaseNameOf(prefix).size() + RandomPartLength;
    do {
        const std::string name = Narrow(found.cFileName);
        if (name.size() == nameLength && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileW(Widen(directory + "\\" + name).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Writes contents to a new temporary file nobody else can open meanwhile, flushed to
// the disk and closed again; its name is set once the file exists.
bool WriteTemporary(const std::string& prefix, const std::string& contents, std::wstring& name) {
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device entropy;
    std::mt19937 random(entropy());
    std::uniform_int_distribution<size_t> pick(0, sizeof Letters - 2);
    constexpr int Attempts = 100;
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        std::string candidate = prefix;
        for (size_t i = 0; i < RandomPartLength; ++i) candidate += Letters[pick(random)];
        const Handle file = OpenFile(candidate, GENERIC_WRITE, 0, CREATE_NEW);
        if (!file.Valid() && GetLastError() == ERROR_FILE_EXISTS) continue;
        if (!file.Valid()) return false;
        name = Widen(candidate);
        return WriteAll(file.Get(), contents.data(), contents.size()) && FlushFileBuffers(file.Get());
    }
    return false;
}

}  // namespace

std::string Win32FileSystem::GetCurrentDirectory() {
    const DWORD length = GetCurrentDirectoryW(0, nullptr);
    if (length == 0) return {};
    std::wstring directory(length, L'\0');
    const DWORD written = GetCurrentDirectoryW(length, directory.data());
    if (written == 0 || written >= length) return {};
    directory.resize(written);
    // The directory must still be there to be named, as on the other platforms.
    if (!IsDirectory(GetFileAttributesW(directory.c_str()))) return {};
    return Narrow(directory);
}

std::unique_ptr<File> Win32FileSystem::OpenExclusive(const std::string& path, OpenMode mode) {
    const bool create = mode == OpenMode::CreateWrite;
    // CREATE_ALWAYS truncates only once the open has succeeded, so a held file stays whole.
    Handle file = OpenFile(path, create ? GENERIC_WRITE : GENERIC_READ, 0,
                           create ? CREATE_ALWAYS : OPEN_EXISTING);
    if (!file.Valid()) return nullptr;
    return std::make_unique<Win32File>(std::move(file));
}

bool Win32FileSystem::DeleteFile(const std::string& path) {
    return DeleteFileW(Widen(path).c_str()) != 0;
}

bool Win32FileSystem::Exists(const std::string& path) {
    return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<FileStamp> Win32FileSystem::Stamp(const std::string& path) {
    // Opened for its attributes only, which even a file held without sharing allows.
    const Handle file(CreateFileW(Widen(path).c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.Valid() || !GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
    const uint64_t written = (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                             info.ftLastWriteTime.dwLowDateTime;
    constexpr uint64_t TicksPerSecond = 10000000;  // FILETIME counts 100 ns
    return FileStamp{info.dwVolumeSerialNumber,
                     (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                     (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                     static_cast<int64_t>(written / TicksPerSecond),
                     static_cast<int64_t>(written % TicksPerSecond) * 100,
                     info.dwFileAttributes};
}

std::optional<std::string> Win32FileSystem::ReadWholeFile(const std::string& path) {
    const Handle file = OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!file.Valid()) return std::nullopt;
    std::string contents;
    char chunk[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr)) return std::nullopt;
        if (got == 0) return contents;
        contents.append(chunk, got);
    }
}

bool Win32FileSystem::ReplaceWholeFile(const std::string& path, const std::string& contents) {
    const std::wstring target = Widen(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    // A file the user made read-only keeps its contents, though the move could replace it.
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    {
        // A file another open holds stays as it is, as on the other platforms.
        const Handle old = OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
        if (!old.Valid() && GetLastError() == ERROR_SHARING_VIOLATION) return false;
    }
    const std::string prefix = TemporaryPrefix(path);
    RemoveStaleTemporaries(prefix);
    // The temporary file is closed before the move: one held without sharing cannot be moved.
    constexpr DWORD Replace = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    std::wstring temporary;
    if (!WriteTemporary(prefix, contents, temporary) ||
        !MoveFileExW(temporary.c_str(), target.c_str(), Replace)) {
        if (!temporary.empty()) DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace platform::win32
