#pragma once

#include <filesystem>

namespace clipmill {

// The user's documents and desktop folders as the desktop names them (xdg-user-dir), else
// ~/Documents and ~/Desktop.
std::filesystem::path documentsFolder();
std::filesystem::path desktopFolder();

}  // namespace clipmill
