#pragma once
// Initialisation files ("[section]" headers and key=value lines), read and written
// through a FileSystem one access at a time. Sections and keys match without regard
// to letter case. A file keeps its own line ends and its encoding (see text_encoding.h).
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace platform {

// The text without the blanks around it (spaces, tabs, a carriage return), which the
// format ignores around names and values.
std::string_view TrimProfileBlanks(std::string_view text);
// Whether two section or key names are the same to the format: without regard to case.
bool ProfileNamesMatch(std::string_view a, std::string_view b);

// The value of key in section, or nothing when the section or key is missing.
std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key);
// The text with key set to value: the key's line replaced in place, or added at the
// end of its section, the section added at the end of the text when missing. Every
// other line stays as it was, byte for byte; new lines end as the text's first one does,
// or with newTextLineEnd in a text that has no line end yet.
std::string SetProfileValue(std::string_view text, std::string_view section,
                            std::string_view key, std::string_view value,
                            std::string_view newTextLineEnd = "\n");
// The lines of a section, without their line ends, from its header to its last
// non-blank line (the blank lines that part it from the next section are not its own);
// nothing when the section is missing.
std::optional<std::vector<std::string>> FindProfileSection(std::string_view text,
                                                           std::string_view section);
// The text with the section's lines (as FindProfileSection gives them) replaced by
// these, the section added at the end of the text when missing. Every other line stays
// as it was; the new lines end as SetProfileValue's do.
std::string SetProfileSection(std::string_view text, std::string_view section,
                              const std::vector<std::string>& lines,
                              std::string_view newTextLineEnd = "\n");

class ProfileFile {
public:
    explicit ProfileFile(FileSystem& files) : files_(files) {}
    // Copies at most bufferSize - 1 characters of the value, or of defaultValue when
    // the file, section or key is missing. The file is read again only once its stamp
    // has changed, so asking for a key many times a second costs a look at the stamp.
    std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                        std::string_view defaultValue, size_t bufferSize,
                                        const std::string& path);
    // Creates the file and the section when they are missing.
    bool WritePrivateProfileString(std::string_view section, std::string_view key,
                                   std::string_view value, const std::string& path);
    // A whole section's lines, read from the file each time; nothing when the file or
    // the section is missing.
    std::optional<std::vector<std::string>> GetPrivateProfileSection(std::string_view section,
                                                                     const std::string& path);
    // Replaces the section's lines, creating the file and the section when missing.
    bool WritePrivateProfileSection(std::string_view section, const std::vector<std::string>& lines,
                                    const std::string& path);
    // The whole value, or nothing when the file, section or key is missing.
    std::optional<std::string> FindValue(std::string_view section, std::string_view key,
                                         const std::string& path);

private:
    // Reads the file's text, changes it and writes it back in the file's own encoding.
    bool Rewrite(const std::string& path, const std::function<std::string(std::string_view)>& change);

    FileSystem& files_;
    // Values looked up in the file as it was at cacheStamp_ (none: no file).
    std::string cachePath_;
    std::optional<FileStamp> cacheStamp_;
    std::map<std::pair<std::string, std::string>, std::optional<std::string>> cacheValues_;
};

}  // namespace platform
