#pragma once

#include <filesystem>
#include <string>

namespace clipmill {

// The desktop trash of the freedesktop.org convention: a folder with files/ and info/,
// where info/<name>.trashinfo tells where files/<name> came from and when.

// The user's home trash: $XDG_DATA_HOME/Trash, or ~/.local/share/Trash.
std::filesystem::path homeTrashFolder();

// Moves a file into the trash so that file managers can restore it. The home trash is
// used when the file is on the same file system; otherwise the trash at the top of the
// file's own file system. If the file cannot be moved it stays where it is and the
// result is false.
bool moveToTrash(const std::filesystem::path& file,
                 const std::filesystem::path& homeTrash = homeTrashFolder());

// "/a b/c" -> "/a%20b/c": the bytes of a path escaped as in a URL, '/' kept.
std::string percentEncodePath(const std::string& path);

}  // namespace clipmill
