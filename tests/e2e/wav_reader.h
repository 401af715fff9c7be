#pragma once
// Reads the first channel of a WAV file (PCM of any width, or 32-bit float) as samples
// of full scale 1.0, for the end-to-end checks of what reached the JACK server.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

struct Recording {
    uint32_t rate = 0;
    std::vector<double> samples;  // first channel, full scale = 1.0
};

inline uint32_t Le(const unsigned char* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

inline bool ReadWav(const char* path, Recording& out) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> d((std::istreambuf_iterator<char>(in)), {});
    if (d.size() < 12 || std::memcmp(d.data(), "RIFF", 4) || std::memcmp(d.data() + 8, "WAVE", 4))
        return false;
    uint16_t format = 0, channels = 0, bits = 0;
    for (size_t pos = 12; pos + 8 <= d.size();) {
        const uint32_t size = Le(&d[pos + 4], 4);
        const unsigned char* body = &d[pos + 8];
        // A recorder stopped before it could finish the header leaves the data chunk's
        // size 0: the samples then run to the end of the file.
        const size_t rest = d.size() - pos - 8;
        const bool open = size == 0 && !std::memcmp(&d[pos], "data", 4);
        const size_t available = open ? rest : std::min<size_t>(size, rest);
        if (!std::memcmp(&d[pos], "fmt ", 4) && available >= 16) {
            format = static_cast<uint16_t>(Le(body, 2));
            channels = static_cast<uint16_t>(Le(body + 2, 2));
            out.rate = Le(body + 4, 4);
            bits = static_cast<uint16_t>(Le(body + 14, 2));
            if (format == 0xFFFE && available >= 26) format = static_cast<uint16_t>(Le(body + 24, 2));
        } else if (!std::memcmp(&d[pos], "data", 4) && channels && bits) {
            const size_t frame = channels * (bits / 8);
            for (size_t f = 0; f + frame <= available; f += frame) {
                const unsigned char* s = body + f;
                double v = 0;
                if (format == 3 && bits == 32) {
                    float x;
                    std::memcpy(&x, s, 4);
                    v = x;
                } else if (format == 1) {
                    const uint32_t raw = Le(s, bits / 8);
                    const int shift = 32 - bits;
                    v = static_cast<int32_t>(raw << shift) / 2147483648.0;
                } else {
                    return false;
                }
                out.samples.push_back(v);
            }
            return true;
        }
        pos += 8 + size + (size & 1);
    }
    return false;
}

