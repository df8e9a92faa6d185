#include "platform/trash.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string_view>

#include "support/atomic_file.h"

namespace clipmill {

namespace fs = std::filesystem;

namespace {

std::string deletionDate() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

std::string trashInfo(const fs::path& original) {
    return "[Trash Info]\nPath=" + percentEncodePath(original.string()) +
           "\nDeletionDate=" + deletionDate() + "\n";
}

// "100.json" -> "100.json", "100.2.json", "100.3.json", ...
std::string candidateName(const fs::path& name, int attempt) {
    if (attempt == 1) return name.string();
    return name.stem().string() + "." + std::to_string(attempt) + name.extension().string();
}

// Claims a name in the trash by creating its info file exclusively, so that two programs
// trashing at once never pick the same name. Returns the claimed name.
std::optional<std::string> claimName(const fs::path& trash, const fs::path& original) {
    const std::string info = trashInfo(original);
    for (int attempt = 1; attempt < 10000; ++attempt) {
        std::string name = candidateName(original.filename(), attempt);
        fs::path infoPath = trash / "info" / (name + ".trashinfo");
        int fd = ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return std::nullopt;
        }
        bool written = writeFully(fd, info);
        written = ::close(fd) == 0 && written;
        struct stat existing {};
        bool taken = ::lstat((trash / "files" / name).c_str(), &existing) == 0;
        if (written && !taken) return name;
        ::unlink(infoPath.c_str());
        if (!written) return std::nullopt;
    }
    return std::nullopt;
}

// A trash folder must be a real folder (not a link) of the user; one we create is private.
bool ensurePrivateFolder(const fs::path& folder) {
    std::error_code ec;
    bool created = fs::create_directories(folder, ec);
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return false;
    if (created) ::chmod(folder.c_str(), 0700);
    return true;
}

bool prepareTrash(const fs::path& trash) {
    return ensurePrivateFolder(trash) && ensurePrivateFolder(trash / "files") &&
           ensurePrivateFolder(trash / "info");
}

enum class MoveResult { Moved, OtherDevice, Failed };

MoveResult moveInto(const fs::path& trash, const fs::path& file) {
    if (!prepareTrash(trash)) return MoveResult::Failed;
    auto name = claimName(trash, file);
    if (!name) return MoveResult::Failed;
    if (::rename(file.c_str(), (trash / "files" / *name).c_str()) == 0) return MoveResult::Moved;
    bool otherDevice = errno == EXDEV;
    ::unlink((trash / "info" / (*name + ".trashinfo")).c_str());
    return otherDevice ? MoveResult::OtherDevice : MoveResult::Failed;
}

// The mount point of the file system that holds `file`: the highest folder above it on
// the same device.
fs::path topFolderOf(const fs::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return {};
    fs::path top = file.parent_path();
    while (top.has_relative_path()) {
        struct stat parent {};
        if (::stat(top.parent_path().c_str(), &parent) != 0 || parent.st_dev != st.st_dev) break;
        top = top.parent_path();
    }
    return top;
}

// $topdir/.Trash/$uid when the administrator provided a shared .Trash (a real folder
// with the sticky bit), otherwise $topdir/.Trash-$uid.
fs::path topTrashFolder(const fs::path& top) {
    const std::string uid = std::to_string(::getuid());
    struct stat shared {};
    fs::path sharedTrash = top / ".Trash";
    if (::lstat(sharedTrash.c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) && (shared.st_mode & S_ISVTX))
        return sharedTrash / uid;
    return top / (".Trash-" + uid);
}

fs::path homeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home == '/') return home;
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "/";
}

}  // namespace

fs::path homeTrashFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome == '/') return fs::path(dataHome) / "Trash";
    return homeFolder() / ".local" / "share" / "Trash";
}

bool moveToTrash(const fs::path& file, const fs::path& homeTrash) {
    std::error_code ec;
    fs::path original = fs::absolute(file, ec).lexically_normal();
    if (ec) return false;
    struct stat st {};
    if (::lstat(original.c_str(), &st) != 0) return false;
    MoveResult result = moveInto(homeTrash, original);
    if (result != MoveResult::OtherDevice) return result == MoveResult::Moved;
    fs::path top = topFolderOf(original);
    if (top.empty()) return false;
    return moveInto(topTrashFolder(top), original) == MoveResult::Moved;
}

std::string percentEncodePath(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : path) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 15];
        }
    }
    return encoded;
}

}  // namespace clipmill
