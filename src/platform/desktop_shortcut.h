#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace clipmill {

// Where a launcher called `name` goes on the desktop: a name with a folder keeps only its
// file name without extension; ".desktop" is appended unless the name has it already.
std::filesystem::path shortcutPath(const std::string& name, const std::filesystem::path& desktop);

// A freedesktop launcher for `target`; nullopt when the target has no folder.
std::optional<std::string> desktopEntryText(const std::string& name, const std::filesystem::path& target,
                                            const std::string& icon = {});

// Writes the launcher on the desktop, replacing one of the same name, executable.
bool createDesktopShortcut(const std::string& name, const std::filesystem::path& target,
                           const std::filesystem::path& desktop, const std::string& icon = {});

}  // namespace clipmill
