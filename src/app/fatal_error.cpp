#include "app/fatal_error.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <exception>

#include "app/crash_channel.h"
#include "support/thread_guard.h"

namespace clipmill {

namespace {

constexpr int kFatalExitStatus = 255;  // the program's -1
// An uncaught exception ends the process as abort() would; it is reported under that number.
constexpr int kTerminateErrorNumber = SIGABRT;

struct FatalSignal {
    int number;
    const char* message;
};

constexpr FatalSignal kFatalSignals[] = {
    {SIGSEGV, "SIGSEGV (segmentation fault)"},     {SIGBUS, "SIGBUS (bus error)"},
    {SIGFPE, "SIGFPE (arithmetic exception)"},     {SIGILL, "SIGILL (illegal instruction)"},
    {SIGABRT, "SIGABRT (aborted)"},
};

std::atomic_flag handling = ATOMIC_FLAG_INIT;
std::atomic<pid_t> handlerOwner{0};
// A stack of its own for the handler, so a stack overflow of the thread that installed it
// (the interface thread) still reaches it.
alignas(16) char handlerStack[64 * 1024];

void append(crash::Notice& notice, const char* text, std::size_t length) {
    const std::size_t room = crash::kMaxMessageBytes - notice.length;
    if (length > room) length = room;
    std::memcpy(notice.message + notice.length, text, length);
    notice.length += static_cast<std::uint32_t>(length);
}

void append(crash::Notice& notice, const char* text) { append(notice, text, std::strlen(text)); }

void appendHex(crash::Notice& notice, std::uintptr_t value) {
    char digits[2 * sizeof value];
    std::size_t used = 0;
    do {
        digits[sizeof digits - 1 - used++] = "0123456789abcdef"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    append(notice, "0x");
    append(notice, digits + sizeof digits - used, used);
}

// Async-signal-safe from here to the exit: no allocation, no lock, no stdio.
[[noreturn]] void reportAndExit(const crash::Notice& notice) {
    // A process forked from the program that fails before its exec is not the program.
    if (::getpid() != handlerOwner.load()) ::_exit(kFatalExitStatus);
    // A second failure while the first is reported waits for the exit the first one makes.
    if (handling.test_and_set()) {
        for (;;) ::pause();
    }
    // No waiting for the box: while it stands, the other threads (a run's worker among them)
    // would go on working the site. The reporter shows it once this process is gone.
    const int channel = crash::programEnd();
    if (channel >= 0) crash::sendAll(channel, &notice, sizeof notice);
    ::_exit(kFatalExitStatus);
}

const char* messageOf(int signalNumber) {
    for (const auto& fatal : kFatalSignals)
        if (fatal.number == signalNumber) return fatal.message;
    return "fatal signal";
}

void onFatalSignal(int signalNumber, siginfo_t* info, void*) {
    crash::Notice notice{};
    notice.errorNumber = signalNumber;
    append(notice, messageOf(signalNumber));
    // si_code > 0: raised by the kernel for a faulting instruction, whose address it gives.
    if (info && info->si_code > 0 && signalNumber != SIGABRT) {
        append(notice, " at ");
        appendHex(notice, reinterpret_cast<std::uintptr_t>(info->si_addr));
    }
    reportAndExit(notice);
}

void copyExceptionText(crash::Notice& notice) {
    const std::exception_ptr current = std::current_exception();
    if (!current) {
        append(notice, "std::terminate");
        return;
    }
    try {
        std::rethrow_exception(current);
    } catch (const std::exception& error) {
        append(notice, error.what());
    } catch (...) {
        append(notice, "unknown exception");
    }
}

// A thread body that ended on an exception leaves the program in a state nobody planned for:
// it ends as after an uncaught exception, with the thread named in the message.
void onThreadFailure(const char* where, const std::exception* error) noexcept {
    std::fprintf(stderr, "clipmill: the %s thread failed: %s\n", where, error ? error->what() : "unknown exception");
    crash::Notice notice{};
    notice.errorNumber = kTerminateErrorNumber;
    append(notice, where);
    append(notice, ": ");
    append(notice, error ? error->what() : "unknown exception");
    reportAndExit(notice);
}

[[noreturn]] void onTerminate() {
    crash::Notice notice{};
    notice.errorNumber = kTerminateErrorNumber;
    copyExceptionText(notice);
    reportAndExit(notice);
}

void useHandlerStack() {
    stack_t stack{};
    stack.ss_sp = handlerStack;
    stack.ss_size = sizeof handlerStack;
    ::sigaltstack(&stack, nullptr);
}

}  // namespace

void installFatalErrorHandler() {
    handlerOwner.store(::getpid());
    useHandlerStack();
    struct sigaction action {};
    action.sa_sigaction = onFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigfillset(&action.sa_mask);
    for (const auto& fatal : kFatalSignals) ::sigaction(fatal.number, &action, nullptr);
    std::set_terminate(onTerminate);
    setThreadFailureHandler(onThreadFailure);
}

}  // namespace clipmill
