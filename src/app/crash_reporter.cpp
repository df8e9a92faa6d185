#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "app/crash_channel.h"
#include "app/endpoints.h"
#include "app/fatal_error.h"
#include "platform/relaunch.h"
#include "support/version.h"
#include "update/error_report.h"

namespace clipmill {

namespace {

struct ReporterSetup {
    std::filesystem::path programDir;
    std::string programName;
    OutsideAddresses addresses;
    FatalErrorBox showBox;
};

// A message cut at the channel's limit may end inside a character; that piece is dropped.
std::string wholeCharacters(const crash::Notice& notice) {
    std::size_t length = notice.length > crash::kMaxMessageBytes ? crash::kMaxMessageBytes : notice.length;
    std::size_t lead = length;
    while (lead > 0 && length - lead < 4 && (static_cast<unsigned char>(notice.message[lead - 1]) & 0xC0) == 0x80)
        --lead;
    if (lead > 0) {
        const auto first = static_cast<unsigned char>(notice.message[lead - 1]);
        const std::size_t needed = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
        if (length - (lead - 1) < needed) length = lead - 1;
    }
    return std::string(notice.message, length);
}

update::ReportOrigin originOf(const ReporterSetup& setup) {
    return {update::hostName(), setup.programName, kProgramVersion, setup.programDir.string(),
            update::operatingSystemName()};
}

void report(const ReporterSetup& setup, const crash::Notice& notice) {
    const std::string message = wholeCharacters(notice);
    try {
        if (setup.showBox) setup.showBox(update::kFatalErrorCaption, update::fatalErrorBoxText(notice.errorNumber, message));
    } catch (...) {
        // The report still goes out when the box could not be shown.
    }
    try {
        const update::ReportOrigin origin = originOf(setup);
        update::sendErrorReport(setup.addresses.reportEndpoint, setup.addresses.reportTarget,
                                update::errorReportTitle(origin),
                                update::errorReportBody(origin, notice.errorNumber, message));
    } catch (...) {
        // Not sent: the program ends all the same.
    }
}

// Keeps nothing of the program's but the channel and the standard streams: no folder, no
// file it inherited from whoever started the program.
void letGoOfTheProgram(int& channel) {
    if (::chdir("/") != 0) std::perror("reporter: chdir");
    if (channel != 3) {
        ::dup2(channel, 3);
        channel = 3;
    }
    ::close_range(4, ~0U, 0);
}

// The channel's end of file: the last thread of the program has ended, since the kernel
// closes a process's descriptors only then, and no child of it holds the channel (it is
// closed on exec).
void waitForTheProgramsEnd(int channel) {
    char ignored;
    for (;;) {
        const ssize_t got = ::read(channel, &ignored, 1);
        if (got == 0 || (got < 0 && errno != EINTR)) return;
    }
}

[[noreturn]] void runReporter(int channel, const ReporterSetup& setup) {
    letGoOfTheProgram(channel);
    crash::Notice notice{};
    // End of file: the program ended normally, or it failed with no report to make.
    if (crash::receiveAll(channel, &notice, sizeof notice)) {
        waitForTheProgramsEnd(channel);
        report(setup, notice);
    }
    ::_exit(0);
}

}  // namespace

pid_t startCrashReporter(const std::filesystem::path& programDir, FatalErrorBox showBox) {
    ReporterSetup setup{programDir, programFileOfThisProcess().name, loadOutsideAddresses(programDir), std::move(showBox)};
    if (setup.addresses.reportEndpoint.empty()) return 0;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return 0;
    const pid_t reporter = ::fork();
    if (reporter == 0) {
        ::close(ends[0]);
        runReporter(ends[1], setup);
    }
    ::close(ends[1]);
    if (reporter < 0) {
        ::close(ends[0]);
        return 0;
    }
    crash::setProgramEnd(ends[0]);
    return reporter;
}

}  // namespace clipmill
