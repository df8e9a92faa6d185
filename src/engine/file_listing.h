#pragma once

#include <cstddef>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace clipmill {

// Wildcard match of a file name as Windows does it: "*" any run of characters, "?" one
// character, letters compared without regard to case.
bool wildcardMatch(std::string_view pattern, std::string_view name);

// Full paths of the files in `folder` whose names match `pattern`, in the order a Windows
// folder lists them (case-insensitive by name); with `subfolders`, followed by the files of
// each subfolder in turn, depth first. Hidden entries (names starting with ".") are skipped,
// and symbolic links to folders are not followed. Stops once `limit` paths are found. An
// empty folder text lists nothing.
// Nothing in `skipped` is listed: not its files, not a link that leads into it, and nothing at
// all when `folder` itself lies in it. Both are compared by their real paths, so a link, ".."
// or a trailing separator in either names the same folder. Empty: nothing is skipped.
std::vector<std::string> listFiles(const std::string& folder, std::string_view pattern, bool subfolders,
                                   std::size_t limit = std::numeric_limits<std::size_t>::max(),
                                   const std::filesystem::path& skipped = {});

}  // namespace clipmill
