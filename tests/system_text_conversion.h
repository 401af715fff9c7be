#pragma once
// The system's own conversion between Unicode encodings, as the independent answer that
// the program's is checked against: iconv from the C library, or on Windows the
// system's code-page functions.
#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#ifdef _WIN32

// Windows converts between UTF-8 and its own UTF-16 only; UTF-16BE is that with each
// unit's bytes swapped, and UTF-32 goes over to UTF-16 here by the surrogate formula.
inline std::wstring SystemWideText(const std::string& bytes, const std::string& from) {
    std::wstring wide;
    if (from == "UTF-32LE") {
        for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
            uint32_t c = 0;
            for (int k = 3; k >= 0; --k) c = c << 8 | static_cast<uint8_t>(bytes[i + k]);
            if (c >= 0x10000) {
                wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
                wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
            } else {
                wide += static_cast<wchar_t>(c);
            }
        }
        return wide;
    }
    EXPECT_EQ(from, "UTF-8");
    const int size = static_cast<int>(bytes.size());
    wide.resize(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0));
    EXPECT_EQ(wide.empty(), bytes.empty());
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(),
                        static_cast<int>(wide.size()));
    return wide;
}

inline std::string ConvertText(const std::string& bytes, const char* from, const char* to) {
    const std::wstring wide = SystemWideText(bytes, from);
    const std::string target = to;
    if (target == "UTF-8") {
        const int size = static_cast<int>(wide.size());
        std::string out(
            WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, out.data(),
                            static_cast<int>(out.size()), nullptr, nullptr);
        return out;
    }
    EXPECT_TRUE(target == "UTF-16LE" || target == "UTF-16BE") << target;
    const bool little = target == "UTF-16LE";
    std::string out;
    for (const wchar_t unit : wide) {
        const char low = static_cast<char>(unit & 0xFF);
        const char high = static_cast<char>(unit >> 8);
        out += little ? low : high;
        out += little ? high : low;
    }
    return out;
}

#else

inline std::string ConvertText(const std::string& bytes, const char* from, const char* to) {
    const iconv_t converter = iconv_open(to, from);
    EXPECT_NE(converter, reinterpret_cast<iconv_t>(-1));
    std::string out(bytes.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* outPos = out.data();
    size_t outLeft = out.size();
    EXPECT_NE(iconv(converter, &in, &inLeft, &outPos, &outLeft), static_cast<size_t>(-1));
    iconv_close(converter);
    out.resize(out.size() - outLeft);
    return out;
}

#endif
