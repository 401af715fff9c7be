// The settings file's reader and writer against any file at all. Input: one byte that
// picks the key, four that give the value, then the file's bytes. After the write the
// key reads back as the value written, the file keeps its encoding, and every other
// line of it survives byte for byte, with its line break.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings_file.h"
#include "platform/profile_file.h"
#include "platform/sim/sim_file_system.h"
#include "platform/text_encoding.h"

namespace {

constexpr const char* Keys[] = {"sl1", "sl2", "sl3", "sl4", "slm2", "slm3", "slm4", "sldecrement", "HideWindow"};
constexpr std::string_view Section = "Kelvarin";

struct Line {
    std::string text;
    std::string lineBreak;  // "", "\n" or "\r\n"

    bool operator==(const Line&) const = default;
};

std::vector<Line> Lines(std::string_view text) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) {
            lines.push_back({std::string(text.substr(pos)), ""});
            break;
        }
        const bool crlf = nl > pos && text[nl - 1] == '\r';
        const size_t stop = crlf ? nl - 1 : nl;
        lines.push_back({std::string(text.substr(pos, stop - pos)), crlf ? "\r\n" : "\n"});
        pos = nl + 1;
    }
    return lines;
}

void Check(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

// The same line, allowing a last line without a break to have gained one.
bool Survives(const Line& before, const Line& after) {
    if (!before.lineBreak.empty()) return before == after;
    const std::string whole = after.text + after.lineBreak;
    return whole == before.text || whole == before.text + "\n" || whole == before.text + "\r\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    const std::string key = Keys[data[0] % std::size(Keys)];
    int32_t value;
    std::memcpy(&value, data + 1, sizeof value);
    const std::string file(reinterpret_cast<const char*>(data + 5), size - 5);

    sim::SimFileSystem files;
    app::SettingsFile settings(files);
    files.SetFile(settings.SettingsPath, file);
    settings.ReadSettingInt(key);  // a value read before the write must not outlive it
    settings.WriteSettingInt(value, key);
    Check(settings.ReadSettingInt(key) == value, "the key reads back as written");
    Check(settings.HoldsSettingInt(value, key), "the file holds the value's own text");

    const platform::DecodedText before = platform::DecodeText(file);
    const platform::DecodedText after = platform::DecodeText(files.Contents(settings.SettingsPath).value());
    Check(after.encoding == before.encoding && after.oddByte == before.oddByte,
          "the file keeps its encoding");

    // Walk both files together: a line that differs must be the key's line or, when
    // the section was missing, its new header.
    const bool hadKey = platform::FindProfileValue(before.text, Section, key).has_value();
    const std::vector<Line> old = Lines(before.text), written = Lines(after.text);
    const auto isKeyLine = [&](const Line& line) {
        return platform::FindProfileValue("[Kelvarin]\n" + line.text, Section, key) == std::to_string(value);
    };
    size_t i = 0, j = 0, changed = 0;
    while (i < old.size() || j < written.size()) {
        if (i < old.size() && j < written.size() && Survives(old[i], written[j])) {
            ++i, ++j;
            continue;
        }
        Check(j < written.size(), "no line is lost");
        const bool header = written[j].text == "[Kelvarin]";
        Check(isKeyLine(written[j]) || header, "only the key's line or its section's header is new");
        if (hadKey) {
            Check(i < old.size() && !header, "an existing key is replaced in place");
            ++i;
        }
        ++j, ++changed;
    }
    Check(changed <= (hadKey ? 1u : 2u), "at most the key's line and its section's header changed");
    return 0;
}
