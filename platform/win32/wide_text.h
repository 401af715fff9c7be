#pragma once
// The program's texts are UTF-8; Windows' own calls take UTF-16.
#include <string>
#include <string_view>

namespace platform::win32 {

std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);

}  // namespace platform::win32
