#pragma once

#include <filesystem>
#include <string>

namespace clipmill {

// Moves a file without ever replacing one at `to`: a rename, or across file systems a copy
// that is flushed before the original is removed. False (and nothing changed) when `to`
// exists or the move fails.
bool moveFileNoReplace(const std::string& from, const std::string& to);

// moveFileNoReplace, attempted only when `to` is a plausible file path: absolute, with a
// file name that is not empty, "." or "..".
bool moveFile(const std::string& from, const std::string& to);

// Copies a file to `to` unless something is there already. False when nothing was copied.
bool copyFileNoReplace(const std::string& from, const std::string& to);

// Deletes a file; when a plain delete fails, moves it into a scratch folder under
// `tempFolder` and removes that folder. True when nothing is left at `path`.
bool forceDeleteFile(const std::string& path, const std::filesystem::path& tempFolder);

}  // namespace clipmill
