#pragma once

#include <string>

namespace clipmill {

// Opens a folder, a file or a web address the way the desktop opens it when the user
// double-clicks it (its file browser, its web browser), without waiting. False when the
// desktop's opener could not be started.
bool openWithDesktop(const std::string& target);

}  // namespace clipmill
