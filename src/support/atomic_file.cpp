#include "support/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

namespace clipmill {

namespace {

// Closes a descriptor on scope exit unless released.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports whether the close itself succeeded (it can report a
    // delayed write error).
    bool close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

std::filesystem::path temporarySibling(const std::filesystem::path& target) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    auto name = "." + target.filename().string() + ".tmp-" + std::to_string(random());
    return target.parent_path() / name;
}

// Creates a new temporary file next to the target. Its mode follows the file it replaces,
// or the usual mode for a new file under the process's umask.
int createTemporary(const std::filesystem::path& target, std::filesystem::path& created) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        created = temporarySibling(target);
        int fd = ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            struct stat old {};
            if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
                ::fchmod(fd, old.st_mode & 07777);
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

}  // namespace

bool syncFolder(const std::filesystem::path& folder) {
    FileDescriptor fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.valid() && ::fsync(fd.get()) == 0;
}

bool writeFully(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

bool writeFileAtomically(const std::filesystem::path& target, std::string_view bytes) {
    std::filesystem::path temporary;
    FileDescriptor fd(createTemporary(target, temporary));
    if (!fd.valid()) return false;
    bool ok = writeFully(fd.get(), bytes) && ::fsync(fd.get()) == 0;
    ok = fd.close() && ok;
    if (ok) ok = ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    syncFolder(target.parent_path());
    return true;
}

ExistingContent readExistingContent(const std::filesystem::path& path) {
    using State = ExistingContent::State;
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return {errno == ENOENT ? State::Missing : State::Unreadable, {}};
    ExistingContent found{State::Read, {}};
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            return {State::Unreadable, {}};
        }
        if (got == 0) return found;
        found.bytes.append(buffer, static_cast<size_t>(got));
    }
}

std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
    ExistingContent found = readExistingContent(path);
    if (found.state != ExistingContent::State::Read) return std::nullopt;
    return std::move(found.bytes);
}

}  // namespace clipmill
