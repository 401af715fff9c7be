// Settings files as Windows editors save them: every character of a UTF-16 file reads
// as the UTF-8 the system's own converter gives, and goes back to the very same bytes.
#include <gtest/gtest.h>

#include <string>

#include "platform/text_encoding.h"
#include "tests/system_text_conversion.h"

namespace {

using platform::DecodeText;
using platform::EncodeText;
using platform::TextEncoding;

// Every character of the basic plane but the surrogates, and a spread beyond it.
std::string EveryCharacterAsUtf8() {
    std::u32string characters;
    for (char32_t c = 1; c < 0x110000; c += c < 0x10000 ? 1 : 0x101)
        if (c < 0xD800 || c > 0xDFFF) characters += c;
    characters += U'\U0010FFFF';
    return ConvertText(std::string(reinterpret_cast<const char*>(characters.data()),
                                   characters.size() * sizeof(char32_t)),
                       "UTF-32LE", "UTF-8");
}

}  // namespace

TEST(TextEncoding, EveryCharacterOfAUtf16FileReadsAsTheSystemReadsIt) {
    const std::string utf8 = EveryCharacterAsUtf8();
    for (const auto& [name, encoding, mark] :
         {std::tuple{"UTF-16LE", TextEncoding::Utf16LittleEndian, std::string("\xFF\xFE")},
          std::tuple{"UTF-16BE", TextEncoding::Utf16BigEndian, std::string("\xFE\xFF")}}) {
        const std::string file = mark + ConvertText(utf8, "UTF-8", name);
        const platform::DecodedText decoded = DecodeText(file);
        EXPECT_EQ(decoded.encoding, encoding) << name;
        EXPECT_TRUE(decoded.text == utf8) << name;
        EXPECT_TRUE(EncodeText(decoded) == file) << name;
    }
}

TEST(TextEncoding, LoneSurrogatesAndAnOddLastByteComeBackAsTheyWere) {
    // A high surrogate alone, a low one alone, a low before a high, then a stray byte.
    const std::string file("\xFF\xFE" "\x00\xD8" "A\0" "\x00\xDC" "\x00\xDC\x00\xD8" "\x07", 13);
    const platform::DecodedText decoded = DecodeText(file);
    EXPECT_EQ(decoded.oddByte, "\x07");
    EXPECT_EQ(decoded.text.size(), 4 * 3 + 1u);  // each lone surrogate as three bytes
    EXPECT_EQ(EncodeText(decoded), file);
}

TEST(TextEncoding, PlainTextAndUtf8WithItsMarkAreTakenAsTheyAre) {
    const std::string plain = "[Kelvarin]\r\n\xE9t\xE9=1\n";  // Latin-1 bytes stay bytes
    EXPECT_EQ(DecodeText(plain).encoding, TextEncoding::Plain);
    EXPECT_EQ(DecodeText(plain).text, plain);
    EXPECT_EQ(EncodeText(DecodeText(plain)), plain);
    const platform::DecodedText marked = DecodeText("\xEF\xBB\xBFsl1=2\n");
    EXPECT_EQ(marked.encoding, TextEncoding::Utf8Bom);
    EXPECT_EQ(marked.text, "sl1=2\n");
    EXPECT_EQ(EncodeText(marked), "\xEF\xBB\xBFsl1=2\n");
    EXPECT_EQ(DecodeText("\xEF\xBB").encoding, TextEncoding::Plain);  // half a mark is text
}

TEST(TextEncoding, TextWrittenIntoAUtf16FileIsEncodedCharacterByCharacter) {
    // What the program adds is UTF-8; each character becomes its UTF-16 units.
    const std::string added = "; \xD0\xBF\xF0\x9F\x8E\xB5 \xE2\x82\xAC\n";
    for (const auto& [name, encoding, mark] :
         {std::tuple{"UTF-16LE", TextEncoding::Utf16LittleEndian, std::string("\xFF\xFE")},
          std::tuple{"UTF-16BE", TextEncoding::Utf16BigEndian, std::string("\xFE\xFF")}})
        EXPECT_EQ(EncodeText({added, encoding, ""}), mark + ConvertText(added, "UTF-8", name))
            << name;
}
