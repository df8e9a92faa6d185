#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace clipmill {

// Replaces `target` with `bytes` so that a reader or a crash sees either the old content
// or the new one, never a mix: the bytes go to a temporary file in the same folder, are
// flushed to disk and the temporary file is renamed over the target. On failure the
// temporary file is removed, the target is left as it was and the result is false.
bool writeFileAtomically(const std::filesystem::path& target, std::string_view bytes);

// Writes every byte to an open descriptor, resuming after short writes and interrupts.
bool writeFully(int fd, std::string_view bytes);

// Flushes a folder's entries (a file created, renamed or removed in it) to disk. False when
// the folder could not be opened or flushed.
bool syncFolder(const std::filesystem::path& folder);

// The whole content of a file, or nothing when it cannot be opened or read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

// What reading a file that is about to be rewritten from its old content found. A file that is
// there but Unreadable must not be replaced: its content would be lost.
struct ExistingContent {
    enum class State { Missing, Read, Unreadable };
    State state = State::Missing;
    std::string bytes;  // the content when Read
};
ExistingContent readExistingContent(const std::filesystem::path& path);

}  // namespace clipmill
