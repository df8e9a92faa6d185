#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace clipmill {

// An INI file read and written with the rules of the Windows profile-string functions:
// "[section]" header lines, one "key=value" per line, section and key names compared
// without regard to ASCII case. Writing a key replaces its line in place, or appends the
// key at the end of its section, or appends the section at the end of the file; every
// other line (other keys and sections, comments, blank lines) keeps its bytes.
//
// The file holds GBK text with CR LF line ends (LF alone is read too); the interface takes
// and gives UTF-8. The whole file is kept in memory: a batch of writes followed by one
// save gives the same bytes as saving after each write.
class IniFile {
public:
    // A value read back holds at most this many bytes of the file.
    static constexpr std::size_t kMaxValueBytes = 10239;

    IniFile() = default;
    static IniFile fromBytes(std::string_view gbkBytes);
    // The file's content; empty when the file is missing or unreadable.
    static IniFile load(const std::filesystem::path& path);
    // The file's content to change and save back: empty when the file is missing, nothing when
    // it is there but cannot be read, since saving over it would lose what it holds.
    static std::optional<IniFile> loadForRewrite(const std::filesystem::path& path);

    // The value as the profile-string reader gives it: white space around it trimmed, one
    // pair of enclosing double quotes removed, cut to kMaxValueBytes without splitting a
    // character. Nothing when the section or the key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    std::string value(std::string_view section, std::string_view key, std::string_view fallback) const;
    // The keys of a section as the file spells them, in file order; none when it is missing.
    std::vector<std::string> keys(std::string_view section) const;

    // Writes one key. A value that the reader would change (white space at either end, or
    // enclosing double quotes) is written inside double quotes so it reads back unchanged.
    // Line breaks in a key or value would split the line; each becomes a space.
    void setValue(std::string_view section, std::string_view key, std::string_view value);

    std::string bytes() const;
    // Replaces the file atomically. False when it could not be written.
    bool save(const std::filesystem::path& path) const;

private:
    struct Line {
        std::string text;    // GBK bytes without the line end
        std::string ending;  // "\r\n", "\n", or "" for a last line without one
    };
    struct Range {
        std::size_t header;  // index of the section's header line
        std::size_t end;     // one past its last line
    };

    std::optional<Range> findSection(std::string_view gbkSection) const;
    std::optional<std::size_t> findKey(const Range& range, std::string_view gbkKey) const;
    void insertLine(std::size_t at, std::string text);

    std::vector<Line> lines_;
};

}  // namespace clipmill
