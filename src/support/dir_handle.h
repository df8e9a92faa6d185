#pragma once

#include <dirent.h>

#include <memory>
#include <string>

namespace clipmill {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// An open folder listing, closed when it goes out of scope; empty when it could not be opened.
using DirHandle = std::unique_ptr<DIR, DirCloser>;

inline DirHandle openFolder(const std::string& path) {
    return DirHandle(opendir(path.c_str()));
}

}  // namespace clipmill
