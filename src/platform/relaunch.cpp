#include "platform/relaunch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace clipmill {

namespace {

// In a forked child: only async-signal-safe calls. `highestFd` bounds the loop for kernels
// without close_range.
void closeAllButStandardStreams(long highestFd) {
    if (::close_range(3, ~0U, 0) == 0) return;
    for (long fd = 3; fd <= highestFd; ++fd) ::close(static_cast<int>(fd));
}

void sleepFor(timespec pause) {
    while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

// The intermediate child ends as soon as it has forked; with SIGCHLD ignored the kernel has
// reaped it already and waitpid says ECHILD, which is no failure.
void reap(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

// One byte from the intermediate child once the grandchild exists; end of file otherwise.
bool grandchildStarted(int fd) {
    char byte = 0;
    ssize_t n;
    while ((n = ::read(fd, &byte, 1)) < 0 && errno == EINTR) {
    }
    return n == 1;
}

}  // namespace

ProgramFile programFileOfThisProcess() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {std::filesystem::current_path(ec), {}};
    return {self.parent_path(), self.filename().string()};
}

bool startedByHandover(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == kHandoverArgument) return true;
    return false;
}

bool restartProgram(const ProgramFile& program, std::chrono::milliseconds delay) {
    if (program.name.empty()) return false;
    return relaunchAfterDelay(program.path(), {kHandoverArgument}, delay);
}

bool relaunchAfterDelay(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                        std::chrono::milliseconds delay) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(program, ec) || ::access(program.c_str(), X_OK) != 0) return false;

    // Everything the children need is prepared before the fork: after it, in a process
    // with other threads, only async-signal-safe calls are allowed.
    const std::string path = program.string();
    std::vector<std::string> args{path};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const timespec pause{static_cast<time_t>(delay.count() / 1000), static_cast<long>(delay.count() % 1000) * 1000000L};
    const long highestFd = ::sysconf(_SC_OPEN_MAX);
    sigset_t noSignals;
    sigemptyset(&noSignals);
    int started[2];
    if (::pipe2(started, O_CLOEXEC) != 0) return false;

    const pid_t child = ::fork();
    if (child < 0) {
        ::close(started[0]);
        ::close(started[1]);
        return false;
    }
    if (child == 0) {
        ::setsid();
        const pid_t grandchild = ::fork();  // adopted by init, so nobody waits for it
        if (grandchild < 0) ::_exit(1);
        if (grandchild > 0) {
            const char byte = 1;
            ::_exit(::write(started[1], &byte, 1) == 1 ? 0 : 1);
        }
        closeAllButStandardStreams(highestFd);
        ::sigprocmask(SIG_SETMASK, &noSignals, nullptr);  // the forking thread's mask is no concern of the new copy
        sleepFor(pause);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(started[1]);
    const bool ok = grandchildStarted(started[0]);
    ::close(started[0]);
    reap(child);
    return ok;
}

}  // namespace clipmill
