// Starts the crash reporter for PROGRAM_DIR the way the program does, prints
// "reporter <pid>", then does ACTION:
//   fault      writes through a null pointer
//   busy       starts a thread that appends a line to PROGRAM_DIR/work.txt every 5 ms, then faults
//   kill       sends itself SIGSEGV
//   abort      calls abort()
//   throw      throws std::runtime_error(MESSAGE) on a thread of its own
//   guarded    the same inside a guarded thread body named "helper"
//   lose       kills its reporter first, then faults
//   exit       returns 0
// The box writes its caption and text to PROGRAM_DIR/box.txt and stays "open" until the
// file PROGRAM_DIR/close-box exists.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "app/fatal_error.h"
#include "support/thread_guard.h"

namespace fs = std::filesystem;

namespace {

clipmill::FatalErrorBox fileBox(const fs::path& dir) {
    return [dir](const std::string& caption, const std::string& text) {
        {
            std::ofstream box(dir / "box.txt.part", std::ios::binary);
            box << ::getpid() << '\n' << caption << '\n' << text;
        }
        fs::rename(dir / "box.txt.part", dir / "box.txt");
        while (!fs::exists(dir / "close-box")) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    };
}

// A real fault, not one the undefined-behaviour sanitizer stops first.
[[noreturn]] __attribute__((no_sanitize("undefined"))) void fault() {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    std::abort();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const fs::path dir = argv[1];
    const std::string action = argv[2];
    const pid_t reporter = clipmill::startCrashReporter(dir, fileBox(dir));
    clipmill::installFatalErrorHandler();
    std::printf("reporter %d\n", static_cast<int>(reporter));
    std::fflush(stdout);

    if (action == "fault") fault();
    if (action == "busy") {
        const fs::path work = dir / "work.txt";
        std::thread([work] {
            for (;;) {
                std::ofstream(work, std::ios::app) << "step\n";
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }).detach();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        fault();
    }
    if (action == "kill") ::kill(::getpid(), SIGSEGV);
    if (action == "abort") std::abort();
    if (action == "throw") {
        const std::string message = argc > 3 ? argv[3] : "";
        std::thread([message] { throw std::runtime_error(message); }).join();
    }
    if (action == "guarded") {
        const std::string message = argc > 3 ? argv[3] : "";
        std::thread([message] { clipmill::runGuarded("helper", [&] { throw std::runtime_error(message); }); }).join();
    }
    if (action == "lose") {
        ::kill(reporter, SIGKILL);
        ::waitpid(reporter, nullptr, 0);
        fault();
    }
    if (action == "exit") return 0;
    std::this_thread::sleep_for(std::chrono::seconds(30));  // a signal still on its way
    return 3;
}
