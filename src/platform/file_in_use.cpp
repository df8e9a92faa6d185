#include "platform/file_in_use.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

#include "support/dir_handle.h"

namespace clipmill {

namespace {

bool isReadOnly(const std::string& path, const struct stat& info) {
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(path.c_str(), W_OK) != 0;
}

bool openForWriting(const std::string& fdInfoPath) {
    std::ifstream in(fdInfoPath);
    std::string key;
    while (in >> key) {
        if (key == "flags:") {
            std::string octal;
            in >> octal;
            return (std::strtol(octal.c_str(), nullptr, 8) & O_ACCMODE) != O_RDONLY;
        }
    }
    return false;
}

bool processWritesTo(const std::string& pid, const struct stat& target) {
    const std::string base = "/proc/" + pid;
    DirHandle fds = openFolder(base + "/fd");
    if (!fds) return false;
    while (const dirent* entry = readdir(fds.get())) {
        if (entry->d_name[0] == '.') continue;
        struct stat info {};
        if (stat((base + "/fd/" + entry->d_name).c_str(), &info) != 0) continue;
        if (info.st_dev != target.st_dev || info.st_ino != target.st_ino) continue;
        if (openForWriting(base + "/fdinfo/" + entry->d_name)) return true;
    }
    return false;
}

bool anyProcessWritesTo(const struct stat& target) {
    DirHandle proc = openFolder("/proc");
    if (!proc) return false;
    while (const dirent* entry = readdir(proc.get())) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
        if (processWritesTo(entry->d_name, target)) return true;
    }
    return false;
}

}  // namespace

bool someProcessWrites(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && anyProcessWritesTo(info);
}

bool isFileInUse(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return false;
    if (!S_ISREG(info.st_mode) || isReadOnly(path, info)) return true;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return true;
    // A write lease is granted only while nobody else has the file open.
    if (fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {
        fcntl(fd, F_SETLEASE, F_UNLCK);
        close(fd);
        return false;
    }
    const int error = errno;
    close(fd);
    if (error == EAGAIN || error == EBUSY) return true;
    return anyProcessWritesTo(info);
}

}  // namespace clipmill
