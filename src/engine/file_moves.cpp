#include "engine/file_moves.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

namespace clipmill {

namespace {

bool exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

bool copyContent(int in, int out, off_t size) {
    off_t offset = 0;
    while (offset < size) {
        const ssize_t sent = sendfile(out, in, &offset, static_cast<std::size_t>(size - offset));
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
    }
    return fsync(out) == 0;
}

bool copyExclusive(const std::string& from, const std::string& to) {
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat info {};
    if (fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(in);
        return false;
    }
    const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 07777);
    if (out < 0) {
        close(in);
        return false;
    }
    const bool copied = copyContent(in, out, info.st_size);
    close(in);
    if (close(out) != 0 || !copied) {
        unlink(to.c_str());
        return false;
    }
    return true;
}

bool isPlausibleTarget(const std::string& to) {
    if (to.empty() || to.front() != '/') return false;
    const std::string name = to.substr(to.find_last_of('/') + 1);
    return !name.empty() && name != "." && name != "..";
}

}  // namespace

bool moveFileNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EINVAL || errno == ENOSYS) {
        // No exclusive rename on this file system: a hard link refuses an existing target too.
        if (link(from.c_str(), to.c_str()) != 0) return false;
        unlink(from.c_str());
        return true;
    }
    if (errno != EXDEV || exists(to)) return false;
    if (!copyExclusive(from, to)) return false;
    if (unlink(from.c_str()) != 0) {
        unlink(to.c_str());  // the original stays; the copy must not become a second one
        return false;
    }
    return true;
}

bool moveFile(const std::string& from, const std::string& to) {
    return isPlausibleTarget(to) && moveFileNoReplace(from, to);
}

bool copyFileNoReplace(const std::string& from, const std::string& to) {
    return copyExclusive(from, to);
}

bool forceDeleteFile(const std::string& path, const std::filesystem::path& tempFolder) {
    if (unlink(path.c_str()) == 0) return true;
    const auto ticks =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    const std::filesystem::path scratch = tempFolder / std::to_string(ticks);
    std::error_code error;
    if (std::filesystem::create_directory(scratch, error)) {
        std::rename(path.c_str(), (scratch / "TemporaryFile").c_str());
        std::filesystem::remove_all(scratch, error);
    }
    return !exists(path);
}

}  // namespace clipmill
