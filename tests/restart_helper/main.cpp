// Stands for the program in the restart tests. Both roles work in the folder named by
// RESTART_HELPER_DIR.
//
// restart_helper wait [ignore-sigchld]
//     Reads where it was started from, then holds descriptors of the kinds the program holds
//     without close-on-exec (a pipe, a socket, a file), writes "ready", waits for "go", restarts
//     the way the program's restart button does and writes "outcome": restarted or nothing.
// restart_helper --handover (as the restart starts it)
//     Writes "report": the file it runs from, then its open descriptors.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/relaunch.h"

namespace fs = std::filesystem;

namespace {

void writeAtomically(const fs::path& file, const std::string& text) {
    const fs::path temporary = file.string() + ".part";
    std::ofstream(temporary, std::ios::binary) << text;
    fs::rename(temporary, file);
}

std::string openDescriptors() {
    std::string list;
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir) return "?";
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == ::dirfd(dir)) continue;
        list += std::string(list.empty() ? "" : " ") + entry->d_name;
    }
    ::closedir(dir);
    return list;
}

void holdDescriptors() {
    int ends[2];
    if (::pipe(ends) != 0) std::perror("pipe");
    if (::socket(AF_INET, SOCK_STREAM, 0) < 0) std::perror("socket");
    if (::open("/dev/null", O_RDONLY) < 0) std::perror("open");
}

bool waitFor(const fs::path& file) {
    for (int i = 0; i < 400; ++i) {
        if (fs::exists(file)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const char* folder = std::getenv("RESTART_HELPER_DIR");
    if (!folder) return 2;
    const fs::path dir(folder);
    if (clipmill::startedByHandover(argc, argv)) {
        std::error_code ec;
        writeAtomically(dir / "report", fs::read_symlink("/proc/self/exe", ec).string() + "\n" + openDescriptors());
        return 0;
    }
    if (argc < 2) return 4;  // started without the handover: no report
    const clipmill::ProgramFile self = clipmill::programFileOfThisProcess();
    holdDescriptors();
    if (argc > 2 && std::strcmp(argv[2], "ignore-sigchld") == 0) ::signal(SIGCHLD, SIG_IGN);
    writeAtomically(dir / "ready", "");
    if (!waitFor(dir / "go")) return 3;
    const bool restarted = clipmill::restartProgram(self, std::chrono::milliseconds(0));
    writeAtomically(dir / "outcome", restarted ? "restarted" : "nothing");
    return 0;
}
