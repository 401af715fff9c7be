#pragma once
// Reads a number the way the C library's atoi does: leading blanks, an optional sign,
// then digits up to the first other character; no digits gives 0. Values beyond the
// 32-bit range saturate instead of overflowing.
#include <cstdint>
#include <string_view>

namespace app {

int32_t AsciiToInt(std::string_view text);

}  // namespace app
