#pragma once

#include <string>

namespace clipmill {

// True when the file exists but cannot be taken for writing now: another process has it
// open (a copy still running, a player), or it is read-only. False when it does not exist.
bool isFileInUse(const std::string& path);

// True when some process we may inspect has the file open for writing. The test used where
// the kernel will not grant a lease (a file of another user, a file system without leases).
bool someProcessWrites(const std::string& path);

}  // namespace clipmill
