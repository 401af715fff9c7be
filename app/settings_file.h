#pragma once
// "Kelvarin.ini" in the directory current at start: integer keys in section "Kelvarin".
// Every read looks at the file on disk, but reads it again only once it has changed.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/profile_file.h"

namespace app {

extern const char* const SettingsFileName;

class SettingsFile {
public:
    explicit SettingsFile(platform::FileSystem& files);

    // True when the file can be opened for reading with no sharing at this moment.
    bool SettingsFileExists();
    // The key's value as atoi reads it; 0 for a missing file, section or key.
    int32_t ReadSettingInt(std::string_view key);
    void WriteSettingInt(int32_t value, std::string_view key);
    // True when the key's text in the file is exactly the value, as a write would put it.
    bool HoldsSettingInt(int32_t value, std::string_view key);
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
