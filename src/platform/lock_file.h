#pragma once

#include <chrono>
#include <filesystem>
#include <optional>

namespace clipmill {

// An exclusive lock on a file, held from a successful take until the object is destroyed or
// the process ends. It belongs to this one open of the file: a second take fails while the
// first is held, from another process or from this one, and no program this process starts
// keeps it, as the descriptor is closed on exec.
class LockFile {
public:
    // Takes the lock on `path`, creating the file when it is missing, and waits up to
    // `patience` for a holder to let go. Nothing when the lock stays held or the file cannot
    // be opened.
    static std::optional<LockFile> take(const std::filesystem::path& path,
                                        std::chrono::milliseconds patience = std::chrono::milliseconds(0));

    LockFile(LockFile&& other) noexcept;
    LockFile& operator=(LockFile&& other) noexcept;
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;
    ~LockFile();

private:
    explicit LockFile(int fd) : fd_(fd) {}

    int fd_ = -1;
};

}  // namespace clipmill
