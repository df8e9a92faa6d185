#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace clipmill {

// The program file as the process found it when it started: the program directory and the
// file's name.
struct ProgramFile {
    std::filesystem::path dir;
    std::string name;
    std::filesystem::path path() const { return dir / name; }
};

// The running program, read from /proc/self/exe. Read it at start: a file replaced later
// reads "… (deleted)" there, and a moved one reads its new place.
ProgramFile programFileOfThisProcess();

// The argument a relaunched program is started with: an earlier process of the same program
// folder is ending and hands over what it holds, so the new one waits for it.
inline constexpr const char* kHandoverArgument = "--handover";

// Whether the process was started with kHandoverArgument.
bool startedByHandover(int argc, const char* const* argv);

// The pause before the restarted program starts, so that this one has ended by then and
// freed what the new copy needs (the hot key, the settings file).
inline constexpr std::chrono::milliseconds kRestartDelay{2000};

// Starts the program file again from the program directory after `delay`, with
// kHandoverArgument. Nothing happens and false comes back when that file is no longer there
// (removed or moved since start).
bool restartProgram(const ProgramFile& program, std::chrono::milliseconds delay = kRestartDelay);

// Starts `program` with `arguments` after `delay`, in a session of its own that outlives the
// caller, so the caller can end at once. The path is passed as an argument vector: no shell
// sees it, so any path works, spaces and quotes included. The started program inherits no
// descriptor but the standard three. False when the program file does not exist or no
// process could be started.
bool relaunchAfterDelay(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                        std::chrono::milliseconds delay);

}  // namespace clipmill
