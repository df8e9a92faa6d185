#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "support/thread_guard.h"

extern char** environ;

namespace clipmill {

namespace {

using SteadyClock = std::chrono::steady_clock;

struct Pipe {
    int read = -1;
    int write = -1;
    ~Pipe() {
        if (read >= 0) ::close(read);
        if (write >= 0) ::close(write);
    }
    bool open() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return false;
        read = fds[0];
        write = fds[1];
        return true;
    }
};

std::vector<char*> argumentPointers(std::vector<std::string>& args) {
    std::vector<char*> pointers;
    for (auto& arg : args) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    return pointers;
}

pid_t spawnWithOutput(std::vector<std::string> args, int outputFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDERR_FILENO);
    // A group of its own, so that a kill reaches whatever the command started too.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::vector<char*> argv = argumentPointers(args);
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

int waitForExit(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Reads what the child writes until it closes its end, the time is up or a stop comes.
bool readUntilClosed(int fd, std::string& output, SteadyClock::time_point deadline,
                     const std::function<bool()>& stopped) {
    char buffer[4096];
    for (;;) {
        if (SteadyClock::now() >= deadline || (stopped && stopped())) return false;
        pollfd entry{fd, POLLIN, 0};
        const int ready = ::poll(&entry, 1, 100);
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0 && errno != EINTR) return false;
        if (n > 0) output.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

CommandResult runCommand(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                         const std::function<bool()>& stopped) {
    CommandResult result;
    Pipe output;
    if (argv.empty() || !output.open()) return result;
    const pid_t pid = spawnWithOutput(argv, output.write);
    ::close(output.write);
    output.write = -1;
    if (pid < 0) return result;
    result.started = true;
    const bool closed = readUntilClosed(output.read, result.output, SteadyClock::now() + limit, stopped);
    if (!closed) ::kill(-pid, SIGKILL);
    const int status = waitForExit(pid);
    // A program that could not be executed after the spawn exits 127 without output.
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127 && result.output.empty()) result.started = false;
    result.finished = closed && WIFEXITED(status);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool startDetached(const std::vector<std::string>& argv) {
    if (argv.empty()) return false;
    std::vector<std::string> args = argv;
    std::vector<char*> pointers = argumentPointers(args);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, pointers[0], &actions, &attributes, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) return false;
    // Reaped by a thread of its own so no zombie stays behind while the program runs.
    std::thread([pid] { runGuarded("child reaper", [pid] { waitForExit(pid); }); }).detach();
    return true;
}

}  // namespace clipmill
