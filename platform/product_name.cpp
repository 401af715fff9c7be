#include "platform/product_name.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

void CopyProductName(std::string_view name, MidiInCaps& caps) {
    size_t length = std::min(name.size(), sizeof caps.productName - 1);
    if (length < name.size()) {
        while (length > 0 && IsContinuationByte(name[length])) --length;
    }
    std::memcpy(caps.productName, name.data(), length);
    caps.productName[length] = '\0';
}

}  // namespace platform
