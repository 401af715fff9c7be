#pragma once
// A command-line value that must be a whole number within a range.
#include <cstdint>
#include <optional>
#include <string_view>

namespace cli {

// Decimal digits with an optional minus sign and nothing else, within [least, most].
std::optional<int64_t> ParseWholeNumber(std::string_view text, int64_t least, int64_t most);

}  // namespace cli
