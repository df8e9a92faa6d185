#include "platform/desktop_shortcut.h"

#include <cctype>

#include "support/atomic_file.h"

namespace clipmill {

namespace fs = std::filesystem;

namespace {

bool endsWithNoCase(const std::string& text, const std::string& tail) {
    if (text.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - tail.size() + i])) != tail[i]) return false;
    return true;
}

bool containsNoCase(const std::string& text, const std::string& needle) {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find(needle) != std::string::npos;
}

// One argument of an Exec line: quoted, with the characters that are special inside quotes
// escaped, and '%' doubled so it is no field code.
std::string quotedExecArgument(const std::string& argument) {
    std::string out = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        if (c == '%') out += '%';
        out += c;
    }
    return out + "\"";
}

// A value of a desktop entry: backslashes doubled, as the file format's string escapes want.
std::string entryValue(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

}  // namespace

fs::path shortcutPath(const std::string& name, const fs::path& desktop) {
    std::string base = name;
    if (base.find('/') != std::string::npos) base = fs::path(base).stem().string();
    if (containsNoCase(base, ".desktop")) return desktop / base;
    return desktop / (base + ".desktop");
}

std::optional<std::string> desktopEntryText(const std::string& name, const fs::path& target, const std::string& icon) {
    const fs::path folder = target.parent_path();
    if (folder.empty() || !target.has_filename()) return std::nullopt;
    std::string label = fs::path(name).stem().string();
    if (endsWithNoCase(label, ".desktop")) label.resize(label.size() - 8);
    return "[Desktop Entry]\nType=Application\nVersion=1.0\nName=" + entryValue(label) +
           "\nExec=" + entryValue(quotedExecArgument(target.string())) + "\nPath=" + entryValue(folder.string()) +
           "\nIcon=" + entryValue(icon.empty() ? target.string() : icon) + "\nTerminal=false\n";
}

bool createDesktopShortcut(const std::string& name, const fs::path& target, const fs::path& desktop,
                           const std::string& icon) {
    const std::optional<std::string> entry = desktopEntryText(name, target, icon);
    if (!entry) return false;
    const fs::path link = shortcutPath(name, desktop);
    std::error_code ec;
    fs::create_directories(desktop, ec);
    fs::remove(link, ec);
    if (!writeFileAtomically(link, *entry)) return false;
    fs::permissions(link, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, ec);
    return !ec;
}

}  // namespace clipmill
