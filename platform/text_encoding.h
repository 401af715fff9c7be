#pragma once
// The encodings an initialisation file may come in, as Windows editors save them: plain
// bytes, UTF-8 behind a byte-order mark, or UTF-16 with its mark either way round. A
// file is read as UTF-8 text and written back in the encoding it came in.
#include <string>
#include <string_view>

namespace platform {

enum class TextEncoding { Plain, Utf8Bom, Utf16LittleEndian, Utf16BigEndian };

struct DecodedText {
    std::string text;  // UTF-8; a plain file's bytes as they are
    TextEncoding encoding = TextEncoding::Plain;
    std::string oddByte;  // the stray last byte of a UTF-16 file, kept for writing back
};

DecodedText DecodeText(std::string_view bytes);
// The bytes of the text in its encoding, mark included. Decoding and encoding again
// gives back the very bytes decoded, lone UTF-16 surrogates too.
std::string EncodeText(const DecodedText& decoded);

}  // namespace platform
