#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace clipmill {

// The full path of the running program, read from /proc/self/exe.
std::filesystem::path currentProgramPath();

// Starts `program` with `arguments` after `delay`, in a session of its own that outlives the
// caller, so the caller can end at once and free what the new copy needs (the hot key,
// the settings file). The path is passed as an argument vector: no shell sees it, so any
// path works, spaces and quotes included. False when the program file does not exist or no
// process could be started.
bool relaunchAfterDelay(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                        std::chrono::milliseconds delay);

}  // namespace clipmill
