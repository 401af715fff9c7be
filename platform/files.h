#pragma once
// Files as the program asks for them: opened with no sharing (a second open of the
// same file fails while the first is held), read whole, replaced whole, deleted.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class File {
public:
    virtual ~File() = default;  // closes the file
    // Returns the count of bytes read.
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Writes at the current position, which is the file's end; false unless every byte
    // was written, and then the file is as it was before the call (a full disk leaves
    // no part of the data behind).
    virtual bool Write(const void* data, size_t count) = 0;
    virtual uint64_t Length() = 0;
};

// What tells one version of a file from the next without reading it: its identity,
// size, modification time and permissions. Equal stamps mean the file has not been
// touched in between, unless an edit kept its size within one tick of the file
// system's clock.
struct FileStamp {
    uint64_t device;
    uint64_t inode;
    uint64_t size;
    int64_t modifiedSeconds;
    int64_t modifiedNanoseconds;
    uint32_t permissions;

    bool operator==(const FileStamp&) const = default;
};

enum class OpenMode {
    Read,         // an existing file, for reading
    CreateWrite,  // created or truncated, for writing
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Empty when the directory cannot be named, as when it has been deleted.
    virtual std::string GetCurrentDirectory() = 0;
    virtual char PathSeparator() const = 0;
    // The line end of a text file written anew: the system's own.
    virtual std::string_view NewFileLineEnd() const { return "\n"; }
    // Null when the file cannot be opened, including when another open holds it.
    virtual std::unique_ptr<File> OpenExclusive(const std::string& path, OpenMode mode) = 0;
    virtual bool DeleteFile(const std::string& path) = 0;
    virtual bool Exists(const std::string& path) = 0;
    // A cheap look at whether the file changed since the last stamp; nothing when
    // there is no file.
    virtual std::optional<FileStamp> Stamp(const std::string& path) = 0;
    // The whole file, shared with other readers; nothing when it cannot be read.
    virtual std::optional<std::string> ReadWholeFile(const std::string& path) = 0;
    // Replaces the file's contents so that a reader sees either the old or the new
    // whole file, never a half-written one.
    virtual bool ReplaceWholeFile(const std::string& path, const std::string& contents) = 0;
};

}  // namespace platform
