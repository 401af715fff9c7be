#include "platform/text_encoding.h"

#include <cstdint>

namespace platform {
namespace {

constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view Utf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view Utf16BigEndianMark = "\xFE\xFF";

bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// A lone surrogate is written as if it were a character, so that it survives the way back.
void AppendUtf8(std::string& out, uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

DecodedText DecodeUtf16(std::string_view bytes, TextEncoding encoding) {
    const bool little = encoding == TextEncoding::Utf16LittleEndian;
    const auto unitAt = [&](size_t i) {
        const auto first = static_cast<uint8_t>(bytes[i]);
        const auto second = static_cast<uint8_t>(bytes[i + 1]);
        return little ? uint32_t(first | second << 8) : uint32_t(second | first << 8);
    };
    DecodedText decoded{{}, encoding, {}};
    const size_t whole = bytes.size() & ~size_t{1};
    for (size_t i = 0; i < whole; i += 2) {
        const uint32_t unit = unitAt(i);
        if (IsHighSurrogate(unit) && i + 2 < whole && IsLowSurrogate(unitAt(i + 2))) {
            AppendUtf8(decoded.text, 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 2) - 0xDC00));
            i += 2;
        } else {
            AppendUtf8(decoded.text, unit);
        }
    }
    decoded.oddByte = bytes.substr(whole);
    return decoded;
}

// The next character of UTF-8 text; a byte that starts no sequence stands for itself.
uint32_t NextCodePoint(std::string_view text, size_t& i) {
    const auto lead = static_cast<uint8_t>(text[i++]);
    const int following = lead >= 0xF0 && lead <= 0xF4 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : 0;
    if (lead >= 0xF5 || i + following > text.size()) return lead;
    uint32_t codePoint = following == 3 ? lead & 0x07 : following == 2 ? lead & 0x0F : lead & 0x1F;
    if (following == 0) return lead;
    for (int k = 0; k < following; ++k) {
        const auto next = static_cast<uint8_t>(text[i + k]);
        if ((next & 0xC0) != 0x80) return lead;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    i += following;
    return codePoint;
}

std::string EncodeUtf16(const DecodedText& decoded) {
    const bool little = decoded.encoding == TextEncoding::Utf16LittleEndian;
    std::string out(little ? Utf16LittleEndianMark : Utf16BigEndianMark);
    const auto put = [&](uint32_t unit) {
        const char low = static_cast<char>(unit & 0xFF);
        const char high = static_cast<char>(unit >> 8);
        out += little ? low : high;
        out += little ? high : low;
    };
    for (size_t i = 0; i < decoded.text.size();) {
        const uint32_t codePoint = NextCodePoint(decoded.text, i);
        if (codePoint >= 0x10000) {
            put(0xD800 + ((codePoint - 0x10000) >> 10));
            put(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
        } else {
            put(codePoint);
        }
    }
    return out + decoded.oddByte;
}

}  // namespace

DecodedText DecodeText(std::string_view bytes) {
    if (bytes.starts_with(Utf8Mark))
        return {std::string(bytes.substr(Utf8Mark.size())), TextEncoding::Utf8Bom, {}};
    if (bytes.starts_with(Utf16LittleEndianMark))
        return DecodeUtf16(bytes.substr(2), TextEncoding::Utf16LittleEndian);
    if (bytes.starts_with(Utf16BigEndianMark))
        return DecodeUtf16(bytes.substr(2), TextEncoding::Utf16BigEndian);
    return {std::string(bytes), TextEncoding::Plain, {}};
}

std::string EncodeText(const DecodedText& decoded) {
    switch (decoded.encoding) {
        case TextEncoding::Utf8Bom: return std::string(Utf8Mark) + decoded.text;
        case TextEncoding::Utf16LittleEndian:
        case TextEncoding::Utf16BigEndian: return EncodeUtf16(decoded);
        case TextEncoding::Plain: break;
    }
    return decoded.text;
}

}  // namespace platform
