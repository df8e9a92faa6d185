#include "settings/ini_file.h"

#include "support/atomic_file.h"
#include "support/gbk.h"

namespace clipmill {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// ASCII letters folded to lower case; the second byte of a two-byte character is left
// alone, since it may fall in the ASCII letter range.
std::string foldCase(std::string_view gbk) {
    std::string out(gbk);
    for (std::size_t i = 0; i < out.size(); ++i) {
        auto byte = static_cast<unsigned char>(out[i]);
        if (isGbkLeadByte(byte)) {
            ++i;
        } else if (byte >= 'A' && byte <= 'Z') {
            out[i] = static_cast<char>(byte - 'A' + 'a');
        }
    }
    return out;
}

// The position of `c` in a GBK text, skipping the second bytes of two-byte characters.
std::size_t findAscii(std::string_view gbk, char c) {
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        if (gbk[i] == c) return i;
        if (isGbkLeadByte(static_cast<unsigned char>(gbk[i]))) ++i;
    }
    return std::string_view::npos;
}

// The name of a section header line, or nothing when the line is not one.
std::optional<std::string_view> sectionName(std::string_view line) {
    line = trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    line.remove_prefix(1);
    return trim(line.substr(0, findAscii(line, ']')));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> keyLine(std::string_view line) {
    std::string_view trimmed = trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') return std::nullopt;
    std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return KeyLine{trim(trimmed.substr(0, equals)), trim(trimmed.substr(equals + 1))};
}

std::string withoutLineBreaks(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

bool readerWouldChange(std::string_view value) {
    if (value.empty()) return false;
    if (isBlank(value.front()) || isBlank(value.back())) return true;
    return value.size() >= 2 && value.front() == '"' && value.back() == '"';
}

}  // namespace

IniFile IniFile::fromBytes(std::string_view bytes) {
    IniFile file;
    while (!bytes.empty()) {
        std::size_t newline = bytes.find('\n');
        Line line;
        if (newline == std::string_view::npos) {
            line.text = std::string(bytes);
            bytes = {};
        } else {
            bool crlf = newline > 0 && bytes[newline - 1] == '\r';
            line.text = std::string(bytes.substr(0, crlf ? newline - 1 : newline));
            line.ending = crlf ? "\r\n" : "\n";
            bytes.remove_prefix(newline + 1);
        }
        file.lines_.push_back(std::move(line));
    }
    return file;
}

IniFile IniFile::load(const std::filesystem::path& path) {
    std::optional<std::string> bytes = readWholeFile(path);
    return bytes ? fromBytes(*bytes) : IniFile();
}

std::optional<IniFile> IniFile::loadForRewrite(const std::filesystem::path& path) {
    const ExistingContent found = readExistingContent(path);
    if (found.state == ExistingContent::State::Unreadable) return std::nullopt;
    return fromBytes(found.bytes);
}

std::optional<IniFile::Range> IniFile::findSection(std::string_view gbkSection) const {
    const std::string wanted = foldCase(trim(gbkSection));
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::optional<std::string_view> name = sectionName(lines_[i].text);
        if (!name || foldCase(*name) != wanted) continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && !sectionName(lines_[end].text)) ++end;
        return Range{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> IniFile::findKey(const Range& range, std::string_view gbkKey) const {
    const std::string wanted = foldCase(trim(gbkKey));
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        std::optional<KeyLine> line = keyLine(lines_[i].text);
        if (line && foldCase(line->key) == wanted) return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    std::optional<Range> range = findSection(utf8ToGbk(section));
    if (!range) return std::nullopt;
    std::optional<std::size_t> at = findKey(*range, utf8ToGbk(key));
    if (!at) return std::nullopt;
    std::string_view value = keyLine(lines_[*at].text)->value;
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    return gbkToUtf8(value.substr(0, gbkPrefixLength(value, kMaxValueBytes)));
}

std::string IniFile::value(std::string_view section, std::string_view key, std::string_view fallback) const {
    std::optional<std::string> found = value(section, key);
    return found ? *found : std::string(fallback);
}

std::vector<std::string> IniFile::keys(std::string_view section) const {
    std::vector<std::string> found;
    std::optional<Range> range = findSection(utf8ToGbk(section));
    if (!range) return found;
    for (std::size_t i = range->header + 1; i < range->end; ++i)
        if (std::optional<KeyLine> line = keyLine(lines_[i].text)) found.push_back(gbkToUtf8(line->key));
    return found;
}

void IniFile::insertLine(std::size_t at, std::string text) {
    if (at > 0 && lines_[at - 1].ending.empty()) lines_[at - 1].ending = "\r\n";
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), "\r\n"});
}

void IniFile::setValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string gbkSection = withoutLineBreaks(utf8ToGbk(section));
    const std::string gbkKey = withoutLineBreaks(utf8ToGbk(key));
    std::string gbkValue = withoutLineBreaks(utf8ToGbk(value));
    if (readerWouldChange(gbkValue)) gbkValue = '"' + gbkValue + '"';
    std::string line = gbkKey + "=" + gbkValue;

    std::optional<Range> range = findSection(gbkSection);
    if (!range) {
        insertLine(lines_.size(), "[" + gbkSection + "]");
        insertLine(lines_.size(), std::move(line));
        return;
    }
    if (std::optional<std::size_t> at = findKey(*range, gbkKey)) {
        lines_[*at].text = std::move(line);
        return;
    }
    // After the section's last key, so that blank lines and comments that lead into the next
    // section stay with it.
    std::size_t after = range->end;
    while (after > range->header + 1 && !keyLine(lines_[after - 1].text)) --after;
    insertLine(after, std::move(line));
}

std::string IniFile::bytes() const {
    std::string out;
    for (const Line& line : lines_) {
        out += line.text;
        out += line.ending;
    }
    return out;
}

bool IniFile::save(const std::filesystem::path& path) const { return writeFileAtomically(path, bytes()); }

}  // namespace clipmill
