#pragma once
// Files on a POSIX system. "No sharing" is an exclusive flock on the open file: a
// second open of the same file fails while the first is held, in this process too,
// since every open has its own lock. Whole-file reads take a shared lock and
// replacements an exclusive one, so both fail while a file is held open.
#include "platform/files.h"

namespace platform::desktop {

class PosixFileSystem final : public FileSystem {
public:
    std::string GetCurrentDirectory() override;
    char PathSeparator() const override { return '/'; }
    std::unique_ptr<File> OpenExclusive(const std::string& path, OpenMode mode) override;
    bool DeleteFile(const std::string& path) override;
    bool Exists(const std::string& path) override;
    std::optional<FileStamp> Stamp(const std::string& path) override;
    std::optional<std::string> ReadWholeFile(const std::string& path) override;
    // Writes a temporary file beside the old one, syncs it and renames it over, so a
    // crash leaves the old file or the new one, never a half-written one. A symbolic
    // link is followed to the file it names; a read-only file is left as it is.
    bool ReplaceWholeFile(const std::string& path, const std::string& contents) override;
};

}  // namespace platform::desktop
