#include "app/settings_file.h"

#include "app/ascii_to_int.h"

namespace app {

const char* const SettingsFileName = "Kelvarin.ini";

namespace {

constexpr size_t ValueBufferSize = 256;

std::string BuildSettingsPath(platform::FileSystem& files) {
    // The separator goes in unconditionally; a root directory gives a doubled one,
    // which the file functions accept.
    return files.GetCurrentDirectory() + files.PathSeparator() + SettingsFileName;
}

}  // namespace

SettingsFile::SettingsFile(platform::FileSystem& files)
    : SettingsPath(BuildSettingsPath(files)), files_(files), profile_(files) {}

bool SettingsFile::SettingsFileExists() {
    return files_.OpenExclusive(SettingsPath, platform::OpenMode::Read) != nullptr;
}

int32_t SettingsFile::ReadSettingInt(std::string_view key) {
    return AsciiToInt(
        profile_.GetPrivateProfileString(SettingsSection, key, "", ValueBufferSize, SettingsPath));
}

void SettingsFile::WriteSettingInt(int32_t value, std::string_view key) {
    profile_.WritePrivateProfileString(SettingsSection, key, std::to_string(value), SettingsPath);
}

}  // namespace app
