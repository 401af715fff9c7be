#pragma once
// "Kelvarin.ini" in the directory current at start: integer keys in section "Kelvarin".
// Every read looks at the file on disk, but reads it again only once it has changed.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/profile_file.h"

namespace app {

extern const char* const SettingsFileName;

class SettingsFile {
public:
    explicit SettingsFile(platform::FileSystem& files);
    // A settings file named by the user instead of the one in the current directory.
    SettingsFile(platform::FileSystem& files, std::string path);

    // True when the file can be opened for reading with no sharing at this moment.
    bool SettingsFileExists();
    // The key's value as atoi reads it; 0 for a missing file, section or key.
    int32_t ReadSettingInt(std::string_view key);
    // False when the value could not be written.
    bool WriteSettingInt(int32_t value, std::string_view key);
    // True when the key's text in the file is exactly the value, as a write would put it.
    bool HoldsSettingInt(int32_t value, std::string_view key);
    // The lines of another section, kept whole by every write of the keys above; none
    // when the file or the section is missing.
    std::vector<std::string> ReadSection(std::string_view section);
    void WriteSection(std::string_view section, const std::vector<std::string>& lines);
    // The key's text, or nothing for a missing file, section or key.
    std::optional<std::string> FindSetting(std::string_view key);

    // Empty when the current directory could not be named at start.
    const std::string SettingsPath;
    const std::string SettingsSection = "Kelvarin";

private:
    std::string ReadSettingText(std::string_view key);

    platform::FileSystem& files_;
    platform::ProfileFile profile_;
};

}  // namespace app
