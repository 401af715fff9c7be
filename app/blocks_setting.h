#pragma once
// How many blocks of 100 samples the output keeps in flight: the designed 60 (about
// 136 ms of sound between a key and its sound), or, for live playing, as few as 2, which
// the sound device renders on its own thread just before it plays them. Chosen once at
// start-up, by --blocks N or by the key "Blocks" in the settings file; the program
// never writes the key.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/settings_file.h"

namespace app {

constexpr int32_t DesignedBlocksInFlight = 60;
constexpr int32_t FewestBlocksInFlight = 2;

// A count as the key or the option gives it: decimal digits that make a number from
// 2 to 60. Nothing for any other text.
std::optional<int32_t> ParseBlocksInFlight(std::string_view text);

// The count for this run: the option's value when it was given, else the key's, else
// 60. A value that is not a count is refused with one line on the error stream, and the
// run keeps 60.
int32_t ChooseBlocksInFlight(const std::optional<std::string>& option, SettingsFile& settings);

}  // namespace app
