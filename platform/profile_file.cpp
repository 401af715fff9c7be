#include "platform/profile_file.h"

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

#include "platform/text_encoding.h"

namespace platform {

std::string_view TrimProfileBlanks(std::string_view s) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool ProfileNamesMatch(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

namespace {

struct Line {
    std::string_view text;  // without its line break, "\n" or "\r\n"
    size_t begin;           // offset of the line in the whole text
    size_t end;             // offset just past its line break
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t nl = text.find('\n', pos);
        size_t stop = nl == std::string_view::npos ? text.size() : nl;
        const size_t next = nl == std::string_view::npos ? text.size() : nl + 1;
        if (nl != std::string_view::npos && text.substr(pos, stop - pos).ends_with('\r')) --stop;
        lines.push_back({text.substr(pos, stop - pos), pos, next});
        pos = next;
    }
    return lines;
}

// The text's own line end, as its first line break has it.
std::string_view LineEndOf(std::string_view text, std::string_view newTextLineEnd) {
    const size_t nl = text.find('\n');
    if (nl == std::string_view::npos) return newTextLineEnd;
    return text.substr(0, nl).ends_with('\r') ? "\r\n" : "\n";
}

// The section name of a "[name]" line, or nothing for other lines.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = TrimProfileBlanks(line);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    const size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return TrimProfileBlanks(line.substr(1, close - 1));
}

// The key of a "key=value" line, or nothing for other lines.
std::optional<std::string_view> KeyOf(std::string_view line) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    const std::string_view key = TrimProfileBlanks(line.substr(0, eq));
    if (key.empty() || key.front() == ';') return std::nullopt;
    return key;
}

std::string_view ValueOf(std::string_view line) {
    std::string_view value = TrimProfileBlanks(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

// Where the section's lines lie: the index of its header and one past its last line.
struct SectionSpan {
    size_t header;
    size_t end;
};

std::optional<SectionSpan> FindSection(const std::vector<Line>& lines, std::string_view section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto name = SectionName(lines[i].text);
        if (!name || !ProfileNamesMatch(*name, section)) continue;
        size_t end = i + 1;
        while (end < lines.size() && !SectionName(lines[end].text)) ++end;
        return SectionSpan{i, end};
    }
    return std::nullopt;
}

// The section's last non-blank line, or its header when it has none: the blank lines
// after it part it from the next section.
size_t LastLineOf(const std::vector<Line>& lines, const SectionSpan& span) {
    size_t last = span.header;
    for (size_t i = span.header + 1; i < span.end; ++i)
        if (!TrimProfileBlanks(lines[i].text).empty()) last = i;
    return last;
}

std::string NewSection(std::string text, std::string_view section, const std::string& lineEnd,
                       std::string_view body) {
    if (!text.empty() && text.back() != '\n') text += lineEnd;
    return text + "[" + std::string(section) + "]" + lineEnd + std::string(body);
}

}  // namespace

std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
    const auto lines = SplitLines(text);
    const auto span = FindSection(lines, section);
    if (!span) return std::nullopt;
    for (size_t i = span->header + 1; i < span->end; ++i) {
        const auto lineKey = KeyOf(lines[i].text);
        if (lineKey && ProfileNamesMatch(*lineKey, key)) return std::string(ValueOf(lines[i].text));
    }
    return std::nullopt;
}

std::string SetProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value, std::string_view newTextLineEnd) {
    const std::string lineEnd(LineEndOf(text, newTextLineEnd));
    const std::string newLine = std::string(key) + "=" + std::string(value) + lineEnd;
    const auto lines = SplitLines(text);
    const auto span = FindSection(lines, section);
    if (!span) return NewSection(std::string(text), section, lineEnd, newLine);
    std::string result(text);
    const bool unterminated = !result.empty() && result.back() != '\n';
    for (size_t i = span->header + 1; i < span->end; ++i) {
        const auto lineKey = KeyOf(lines[i].text);
        // The key keeps the spelling it already has in the file, the line its line break.
        if (lineKey && ProfileNamesMatch(*lineKey, key))
            return result.replace(lines[i].begin, lines[i].text.size(),
                                  std::string(*lineKey) + "=" + std::string(value));
    }
    // After the section's last non-blank line, so blank separators stay between sections.
    size_t at = lines[LastLineOf(lines, *span)].end;
    if (at == result.size() && unterminated) {
        result += lineEnd;
        at = result.size();
    }
    return result.insert(at, newLine);
}

std::optional<std::vector<std::string>> FindProfileSection(std::string_view text,
                                                           std::string_view section) {
    const auto lines = SplitLines(text);
    const auto span = FindSection(lines, section);
    if (!span) return std::nullopt;
    std::vector<std::string> body;
    const size_t last = LastLineOf(lines, *span);
    for (size_t i = span->header + 1; i <= last; ++i) body.emplace_back(lines[i].text);
    return body;
}

std::string SetProfileSection(std::string_view text, std::string_view section,
                              const std::vector<std::string>& newLines,
                              std::string_view newTextLineEnd) {
    const std::string lineEnd(LineEndOf(text, newTextLineEnd));
    std::string body;
    for (const std::string& line : newLines) body += line + lineEnd;
    const auto lines = SplitLines(text);
    const auto span = FindSection(lines, section);
    if (!span) return NewSection(std::string(text), section, lineEnd, body);
    std::string result(text);
    const size_t from = lines[span->header].end;
    const size_t to = lines[LastLineOf(lines, *span)].end;
    // A header that ends the text without a line break gets one before the lines.
    if (from == result.size() && !result.ends_with('\n')) body.insert(0, lineEnd);
    return result.replace(from, to - from, body);
}

std::string ProfileFile::GetPrivateProfileString(std::string_view section, std::string_view key,
                                                 std::string_view defaultValue, size_t bufferSize,
                                                 const std::string& path) {
    std::string value(FindValue(section, key, path).value_or(std::string(defaultValue)));
    if (bufferSize == 0) return {};
    if (value.size() > bufferSize - 1) value.resize(bufferSize - 1);
    return value;
}

bool ProfileFile::WritePrivateProfileString(std::string_view section, std::string_view key,
                                            std::string_view value, const std::string& path) {
    return Rewrite(path, [&](std::string_view text) {
        return SetProfileValue(text, section, key, value, files_.NewFileLineEnd());
    });
}

std::optional<std::vector<std::string>> ProfileFile::GetPrivateProfileSection(
    std::string_view section, const std::string& path) {
    const auto text = files_.ReadWholeFile(path);
    if (!text) return std::nullopt;
    return FindProfileSection(DecodeText(*text).text, section);
}

bool ProfileFile::WritePrivateProfileSection(std::string_view section,
                                             const std::vector<std::string>& lines,
                                             const std::string& path) {
    return Rewrite(path, [&](std::string_view text) {
        return SetProfileSection(text, section, lines, files_.NewFileLineEnd());
    });
}

bool ProfileFile::Rewrite(const std::string& path,
                          const std::function<std::string(std::string_view)>& change) {
    const auto old = files_.ReadWholeFile(path);
    // A file that is there but cannot be read is left alone rather than replaced by
    // a file holding only the change.
    if (!old && files_.Exists(path)) return false;
    DecodedText decoded = DecodeText(old.value_or(std::string()));
    decoded.text = change(decoded.text);
    return files_.ReplaceWholeFile(path, EncodeText(decoded));
}

std::optional<std::string> ProfileFile::FindValue(std::string_view section, std::string_view key,
                                                  const std::string& path) {
    // The stamp is taken before the file is read, so a change made meanwhile shows next time.
    const std::optional<FileStamp> stamp = files_.Stamp(path);
    if (path != cachePath_ || stamp != cacheStamp_) {
        cacheValues_.clear();
        cachePath_ = path;
        cacheStamp_ = stamp;
    }
    const auto cacheKey = std::make_pair(std::string(section), std::string(key));
    if (const auto cached = cacheValues_.find(cacheKey); cached != cacheValues_.end())
        return cached->second;
    std::optional<std::string> value;
    if (stamp) {
        const auto text = files_.ReadWholeFile(path);
        if (!text) return std::nullopt;  // unreadable for now: tried again next time
        value = FindProfileValue(DecodeText(*text).text, section, key);
    }
    cacheValues_.emplace(cacheKey, value);
    return value;
}

}  // namespace platform
