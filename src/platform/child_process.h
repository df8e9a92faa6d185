#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace clipmill {

// What a finished command left behind.
struct CommandResult {
    bool started = false;  // false: the program could not be found or run
    bool finished = false; // false: it was ended for the time limit or a stop
    int exitCode = -1;     // valid when finished
    std::string output;    // standard output and standard error together
};

// Runs `argv` (argv[0] looked up on PATH) as an argument vector, never through a shell, with
// standard input from /dev/null. `stopped` is asked about ten times a second; when it or the
// time limit says so, the child is killed.
CommandResult runCommand(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                         const std::function<bool()>& stopped = {});

// Starts `argv` in a session of its own and does not wait for it (opening a link, a new
// release). False when no process could be started.
bool startDetached(const std::vector<std::string>& argv);

}  // namespace clipmill
