#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>

namespace clipmill {

// Shows the fatal-error box with `caption` and `text` and returns once it is closed.
using FatalErrorBox = std::function<void(const std::string& caption, const std::string& text)>;

// The first call of main, while the process has no other thread: when data/endpoints.ini in
// `programDir` names a report endpoint, forks the reporter that will show `showBox` and send
// the report should the program fail. The reporter holds no display, window or file of the
// program and ends when the program does, or after a failure once the box is closed and the
// report sent. Returns the reporter's process id, 0 for none.
pid_t startCrashReporter(const std::filesystem::path& programDir, FatalErrorBox showBox);

// From here on a fatal signal (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT), std::terminate or an
// exception caught at the top of a thread body (reportThreadFailure) hands the error number and
// message to the reporter and ends the program at once with exit status 255, every thread with
// it. The reporter shows the box and sends the report only after that end, so nothing of the
// program runs while the box waits for the user.
void installFatalErrorHandler();

}  // namespace clipmill
