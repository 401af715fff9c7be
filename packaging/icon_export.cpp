// Writes the application icon for the desktop's icon theme, drawn from the same XPM
// data the window uses: a PNG at a size that is a whole multiple of one of the icon's
// drawings (16, 32, 48, 128 ...), or an SVG of the 32-pixel drawing.
//   icon_export SIZE FILE.png
//   icon_export svg FILE.svg
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "res/application_icon.h"

namespace {

struct Image {
    int size = 0;
    std::vector<uint32_t> pixels;  // 0xRRGGBB, row by row
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * size + x)]; }
};

// The icon's XPM: one character per pixel, colours given as #RRGGBB.
Image ReadXpm(const char* const* xpm) {
    int width = 0, height = 0, colours = 0;
    std::sscanf(xpm[0], "%d %d %d", &width, &height, &colours);
    std::map<char, uint32_t> palette;
    for (int i = 1; i <= colours; ++i) {
        const std::string line = xpm[i];
        palette[line[0]] = static_cast<uint32_t>(std::stoul(line.substr(line.find('#') + 1), nullptr, 16));
    }
    Image image{width, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) image.pixels.push_back(palette.at(xpm[1 + colours + y][x]));
    }
    return image;
}

uint32_t Crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFF;
    for (const unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

std::string BigEndian(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

std::string Chunk(const std::string& type, const std::string& body) {
    return BigEndian(static_cast<uint32_t>(body.size())) + type + body + BigEndian(Crc32(type + body));
}

// A zlib stream of stored (uncompressed) deflate blocks: an icon is small enough.
std::string StoredZlib(const std::string& data) {
    constexpr size_t MaxBlock = 65535;
    std::string out = "\x78\x01";
    for (size_t at = 0; at == 0 || at < data.size(); at += MaxBlock) {
        const size_t length = std::min(MaxBlock, data.size() - at);
        const bool last = at + length >= data.size();
        out += static_cast<char>(last ? 1 : 0);
        out += static_cast<char>(length & 0xFF);
        out += static_cast<char>(length >> 8);
        out += static_cast<char>(~length & 0xFF);
        out += static_cast<char>((~length >> 8) & 0xFF);
        out += data.substr(at, length);
    }
    uint32_t a = 1, b = 0;
    for (const unsigned char c : data) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    return out + BigEndian((b << 16) | a);
}

std::string Png(const Image& image, int scale) {
    const auto size = static_cast<uint32_t>(image.size * scale);
    std::string rows;
    for (uint32_t y = 0; y < size; ++y) {
        rows += '\0';  // no filter
        for (uint32_t x = 0; x < size; ++x) {
            const uint32_t rgb = image.At(static_cast<int>(x) / scale, static_cast<int>(y) / scale);
            rows += {static_cast<char>(rgb >> 16), static_cast<char>(rgb >> 8), static_cast<char>(rgb)};
        }
    }
    // 8 bits per channel, RGB, no interlacing.
    const std::string header = BigEndian(size) + BigEndian(size) + std::string("\x08\x02\0\0\0", 5);
    return "\x89PNG\r\n\x1a\n" + Chunk("IHDR", header) + Chunk("IDAT", StoredZlib(rows)) +
           Chunk("IEND", "");
}

// One square per run of same-coloured pixels in a row, over the most common colour.
std::string Svg(const Image& image) {
    std::map<uint32_t, int> counts;
    for (const uint32_t rgb : image.pixels) ++counts[rgb];
    uint32_t ground = image.pixels[0];
    for (const auto& [rgb, count] : counts) {
        if (count > counts[ground]) ground = rgb;
    }
    char colour[8];
    const auto hex = [&](uint32_t rgb) {
        std::snprintf(colour, sizeof colour, "#%06X", static_cast<unsigned>(rgb));
        return std::string(colour);
    };
    const std::string n = std::to_string(image.size);
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + n + "\" height=\"" + n +
                      "\" viewBox=\"0 0 " + n + " " + n + "\" shape-rendering=\"crispEdges\">\n" +
                      "<rect width=\"" + n + "\" height=\"" + n + "\" fill=\"" + hex(ground) + "\"/>\n";
    for (int y = 0; y < image.size; ++y) {
        for (int x = 0; x < image.size;) {
            int end = x + 1;
            while (end < image.size && image.At(end, y) == image.At(x, y)) ++end;
            if (image.At(x, y) != ground) {
                svg += "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
                       std::to_string(end - x) + "\" height=\"1\" fill=\"" + hex(image.At(x, y)) + "\"/>\n";
            }
            x = end;
        }
    }
    return svg + "</svg>\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SIZE|svg FILE\n", argv[0]);
        return 2;
    }
    const std::array drawings = {ReadXpm(res::ApplicationIcon32), ReadXpm(res::ApplicationIcon16)};
    std::string contents;
    if (std::string(argv[1]) == "svg") {
        contents = Svg(drawings[0]);
    } else {
        const int size = std::atoi(argv[1]);
        for (const Image& drawing : drawings) {
            if (size > 0 && size % drawing.size == 0) {
                contents = Png(drawing, size / drawing.size);
                break;
            }
        }
        if (contents.empty()) {
            std::fprintf(stderr, "%s: no drawing of the icon scales to %s pixels\n", argv[0], argv[1]);
            return 2;
        }
    }
    std::ofstream out(argv[2], std::ios::binary);
    out << contents;
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
