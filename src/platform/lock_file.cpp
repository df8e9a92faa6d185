#include "platform/lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <utility>

namespace clipmill {

namespace {

constexpr std::chrono::milliseconds kRetryInterval{50};

bool lockNow(int fd) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EINTR) return false;
    }
}

}  // namespace

std::optional<LockFile> LockFile::take(const std::filesystem::path& path, std::chrono::milliseconds patience) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!lockNow(fd)) {
        if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return std::nullopt;
        }
        std::this_thread::sleep_for(kRetryInterval);
    }
    return LockFile(fd);
}

LockFile::LockFile(LockFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

LockFile& LockFile::operator=(LockFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

// Closing the one descriptor of this open releases the lock.
LockFile::~LockFile() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace clipmill
