#include "tools/cli/whole_number.h"

#include <charconv>

namespace cli {

std::optional<int64_t> ParseWholeNumber(std::string_view text, int64_t least, int64_t most) {
    int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < least || value > most)
        return std::nullopt;
    return value;
}

}  // namespace cli
