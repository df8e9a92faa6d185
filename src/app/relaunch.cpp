#include "app/relaunch.h"

#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace clipmill {

std::filesystem::path currentProgramPath() {
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec);
}

bool relaunchAfterDelay(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                        std::chrono::milliseconds delay) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(program, ec)) return false;

    // Everything the children need is prepared before the fork: after it, in a process
    // with other threads, only async-signal-safe calls are allowed.
    const std::string path = program.string();
    std::vector<std::string> args{path};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    timespec pause{static_cast<time_t>(delay.count() / 1000), static_cast<long>(delay.count() % 1000) * 1000000L};

    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        setsid();
        if (fork() != 0) _exit(0);  // the grandchild is adopted by init, so nobody waits for it
        while (nanosleep(&pause, &pause) != 0) {
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace clipmill
