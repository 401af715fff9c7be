#include "app/settings_file.h"

#include <cstdio>
#include <utility>

#include "app/ascii_to_int.h"

namespace app {

const char* const SettingsFileName = "Kelvarin.ini";

namespace {

constexpr size_t ValueBufferSize = 256;

// Empty when the current directory cannot be named: then nothing is read or saved,
// rather than a file in the root directory.
std::string BuildSettingsPath(platform::FileSystem& files) {
    const std::string directory = files.GetCurrentDirectory();
    if (directory.empty()) {
        std::fprintf(stderr,
                     "Kelvarin: the current directory cannot be named (was it deleted?), so "
                     "the settings are neither read nor saved\n");
        return {};
    }
    // The separator goes in unconditionally; a root directory gives a doubled one,
    // which the file functions accept.
    return directory + files.PathSeparator() + SettingsFileName;
}

}  // namespace

SettingsFile::SettingsFile(platform::FileSystem& files)
    : SettingsPath(BuildSettingsPath(files)), files_(files), profile_(files) {}

SettingsFile::SettingsFile(platform::FileSystem& files, std::string path)
    : SettingsPath(std::move(path)), files_(files), profile_(files) {}

bool SettingsFile::SettingsFileExists() {
    return !SettingsPath.empty() && files_.OpenExclusive(SettingsPath, platform::OpenMode::Read) != nullptr;
}

int32_t SettingsFile::ReadSettingInt(std::string_view key) {
    return AsciiToInt(ReadSettingText(key));
}

bool SettingsFile::WriteSettingInt(int32_t value, std::string_view key) {
    if (SettingsPath.empty()) return false;
    return profile_.WritePrivateProfileString(SettingsSection, key, std::to_string(value), SettingsPath);
}

bool SettingsFile::HoldsSettingInt(int32_t value, std::string_view key) {
    return ReadSettingText(key) == std::to_string(value);
}

std::vector<std::string> SettingsFile::ReadSection(std::string_view section) {
    if (SettingsPath.empty()) return {};
    return profile_.GetPrivateProfileSection(section, SettingsPath)
        .value_or(std::vector<std::string>{});
}

void SettingsFile::WriteSection(std::string_view section, const std::vector<std::string>& lines) {
    if (SettingsPath.empty()) return;
    profile_.WritePrivateProfileSection(section, lines, SettingsPath);
}

std::optional<std::string> SettingsFile::FindSetting(std::string_view key) {
    if (SettingsPath.empty()) return std::nullopt;
    return profile_.FindValue(SettingsSection, key, SettingsPath);
}

std::string SettingsFile::ReadSettingText(std::string_view key) {
    if (SettingsPath.empty()) return {};
    return profile_.GetPrivateProfileString(SettingsSection, key, "", ValueBufferSize, SettingsPath);
}

}  // namespace app
