#pragma once
// Files on Windows through CreateFile. "No sharing" is the system's own share mode 0:
// a second open of the same file fails while the first is held, and so do whole-file
// reads (which share with readers only), replacements and deletions.
#include "platform/files.h"

namespace platform::win32 {

class Win32FileSystem final : public FileSystem {
public:
    std::string GetCurrentDirectory() override;
    char PathSeparator() const override { return '\\'; }
    std::string_view NewFileLineEnd() const override { return "\r\n"; }
    std::unique_ptr<File> OpenExclusive(const std::string& path, OpenMode mode) override;
    bool DeleteFile(const std::string& path) override;
    bool Exists(const std::string& path) override;
    std::optional<FileStamp> Stamp(const std::string& path) override;
    std::optional<std::string> ReadWholeFile(const std::string& path) override;
    // Writes a temporary file beside the old one, flushes it and moves it over, so a
    // crash leaves the old file or the new one, never a half-written one. A read-only
    // file, or one held open, is left as it is.
    bool ReplaceWholeFile(const std::string& path, const std::string& contents) override;
};

}  // namespace platform::win32
