#include "app/crash_channel.h"

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace clipmill::crash {

namespace {

std::atomic<int> programEndFd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");

}  // namespace

bool sendAll(int fd, const void* bytes, std::size_t size) {
    const char* next = static_cast<const char*>(bytes);
    while (size > 0) {
        // MSG_NOSIGNAL: a reporter that is gone must not kill the sender with SIGPIPE.
        const ssize_t sent = ::send(fd, next, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        next += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool receiveAll(int fd, void* bytes, std::size_t size) {
    char* next = static_cast<char*>(bytes);
    while (size > 0) {
        const ssize_t got = ::read(fd, next, size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        next += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

void setProgramEnd(int fd) { programEndFd.store(fd); }
int programEnd() { return programEndFd.load(); }

}  // namespace clipmill::crash
