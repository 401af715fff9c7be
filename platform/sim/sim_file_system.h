#pragma once
// An in-memory file system with the sharing rules of the real one: a file opened by
// the program is held exclusively until closed, and a file held by "another process"
// cannot be opened, replaced or deleted. Tests put files in, read them back, and
// make paths unreadable or unwritable. Relative paths are taken from the current
// directory. The folders that exist are the current directory, those above it, and
// those that hold a file; the program can make a file in no other.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"

namespace sim {

class SimFileSystem final : public platform::FileSystem {
public:
    // platform::FileSystem
    std::string GetCurrentDirectory() override { return currentDirectory_; }
    char PathSeparator() const override { return '/'; }
    std::string_view NewFileLineEnd() const override { return newFileLineEnd_; }
    std::unique_ptr<platform::File> OpenExclusive(const std::string& path,
                                                  platform::OpenMode mode) override;
    bool DeleteFile(const std::string& path) override;
    bool Exists(const std::string& path) override { return Has(path); }
    std::optional<platform::FileStamp> Stamp(const std::string& path) override;
    std::optional<std::string> ReadWholeFile(const std::string& path) override;
    bool ReplaceWholeFile(const std::string& path, const std::string& contents) override;

    // What a test arranges.
    void SetCurrentDirectory(std::string directory) { currentDirectory_ = std::move(directory); }
    // The line end of the system simulated: "\r\n" for Windows.
    void SetNewFileLineEnd(std::string lineEnd) { newFileLineEnd_ = std::move(lineEnd); }
    void SetFile(const std::string& path, std::string contents);
    void RemoveFile(const std::string& path);
    void SetUnreadable(const std::string& path, bool unreadable = true);
    void SetUnwritable(const std::string& path, bool unwritable = true);
    void HoldOpenElsewhere(const std::string& path, bool held = true);
    // The file cannot grow past bytes, as on a full disk: a write that would make it
    // longer fails and leaves it as it was. Holds for the file there now and any made later.
    void LimitSize(const std::string& path, size_t bytes);

    // What a test reads.
    bool Has(const std::string& path) const;
    std::optional<std::string> Contents(const std::string& path) const;
    std::vector<std::string> Paths() const;  // full paths, sorted
    bool IsOpen(const std::string& path) const;  // held by the program
    // Successful writes to the file since it was created: each File::Write and each
    // ReplaceWholeFile; 0 when there is no file.
    int Writes(const std::string& path) const;
    // Whole-file reads of the path, whether or not they found a file.
    int Reads(const std::string& path) const;

    // The full path a path names.
    std::string Resolve(const std::string& path) const;

    // A file's bytes and who holds it; shared with the open handles, so a handle
    // stays safe whatever the test does to the file system.
    struct Node {
        std::string contents;
        bool openByProgram = false;
        int writes = 0;
        size_t sizeLimit = SIZE_MAX;
        uint64_t inode = 0;
        int64_t modified = 0;  // a tick of the file system's clock
    };

private:
    struct Access {
        bool unreadable = false;
        bool unwritable = false;
        bool heldElsewhere = false;
        size_t sizeLimit = SIZE_MAX;
    };

    std::shared_ptr<Node> Lookup(const std::string& fullPath) const;
    std::shared_ptr<Node> NewNode();
    // Every change of a file moves the clock on, so its stamps differ.
    int64_t Now() { return ++*clock_; }
    Access AccessOf(const std::string& fullPath) const;
    bool Busy(const std::string& fullPath) const;
    bool FolderExistsFor(const std::string& fullPath) const;

    std::string currentDirectory_ = "/home/player";

    std::string newFileLineEnd_ = "\n";
    std::map<std::string, std::shared_ptr<Node>> files_;
    std::map<std::string, Access> access_;  // by path, whether or not the file exists
    std::map<std::string, int> reads_;
    uint64_t nextInode_ = 1;
    std::shared_ptr<int64_t> clock_ = std::make_shared<int64_t>(0);  // shared with open files
};

}  // namespace sim
