#include "app/blocks_setting.h"

#include <cstdio>

namespace app {

std::optional<int32_t> ParseBlocksInFlight(std::string_view text) {
    constexpr size_t MostDigits = 2;  // 60 at most: longer text needs no number made
    if (text.empty() || text.size() > MostDigits) return std::nullopt;
    int32_t count = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        count = count * 10 + (c - '0');
    }
    if (count < FewestBlocksInFlight || count > DesignedBlocksInFlight) return std::nullopt;
    return count;
}

int32_t ChooseBlocksInFlight(const std::optional<std::string>& option, SettingsFile& settings) {
    const std::optional<std::string> value = option ? option : settings.FindSetting("Blocks");
    if (!value) return DesignedBlocksInFlight;
    if (const std::optional<int32_t> count = ParseBlocksInFlight(*value)) return *count;
    std::fprintf(stderr, "Kelvarin: %s '%s' is not a number from %d to %d; keeping %d blocks in flight\n",
                 option ? "--blocks" : "Blocks in Kelvarin.ini", value->c_str(), FewestBlocksInFlight,
                 DesignedBlocksInFlight, DesignedBlocksInFlight);
    return DesignedBlocksInFlight;
}

}  // namespace app
