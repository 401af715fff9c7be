#pragma once
// Initialisation files ("[section]" headers and key=value lines), read and written
// through a FileSystem one access at a time. Sections and keys match without regard
// to letter case.
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace platform {

// The value of key in section, or nothing when the section or key is missing.
std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key);
// The text with key set to value: the key's line replaced in place, or added at the
// end of its section, the section added at the end of the text when missing.
std::string SetProfileValue(std::string_view text, std::string_view section,
                            std::string_view key, std::string_view value);

class ProfileFile {
public:
    explicit ProfileFile(FileSystem& files) : files_(files) {}
    // Copies at most bufferSize - 1 characters of the value, or of defaultValue when
    // the file, section or key is missing.
    std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                        std::string_view defaultValue, size_t bufferSize,
                                        const std::string& path);
    // Creates the file and the section when they are missing.
    bool WritePrivateProfileString(std::string_view section, std::string_view key,
                                   std::string_view value, const std::string& path);

private:
    FileSystem& files_;
};

}  // namespace platform
