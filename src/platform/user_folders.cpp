#include "platform/user_folders.h"

#include <chrono>
#include <cstdlib>

#include "platform/child_process.h"

namespace clipmill {

namespace {

std::filesystem::path homeFolder() {
    const char* home = std::getenv("HOME");
    return home && *home ? std::filesystem::path(home) : std::filesystem::path("/tmp");
}

std::filesystem::path userFolder(const char* kind, const char* fallback) {
    const CommandResult named = runCommand({"xdg-user-dir", kind}, std::chrono::seconds(5));
    std::string path = named.output;
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
    std::error_code ec;
    // xdg-user-dir names the home folder itself for a folder that is not configured.
    const bool configured = !path.empty() && std::filesystem::path(path) != homeFolder();
    if (named.finished && named.exitCode == 0 && configured && std::filesystem::is_directory(path, ec)) return path;
    return homeFolder() / fallback;
}

}  // namespace

std::filesystem::path documentsFolder() { return userFolder("DOCUMENTS", "Documents"); }

std::filesystem::path desktopFolder() { return userFolder("DESKTOP", "Desktop"); }

}  // namespace clipmill
