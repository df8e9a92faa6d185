// Start-up of the real program and the load of the account list:
//  1. the time from starting the program to its main window being mapped, beyond the start-up
//     window's one-second timer (median of five starts, each on a fresh virtual display);
//  2. the program's resident memory once idle, with 1,000 accounts in data/list;
//  3. the time the account store takes to fill the account table from 10,000 account files
//     (median of five rounds).
//
// bench_startup [CLIPMILL_PROGRAM]   (default: clipmill next to this program)
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "accounts/account_store.h"
#include "accounts/account_table.h"
#include "fixtures/browser_test_support.h"
#include "fixtures/recording_dialogs.h"
#include "settings/control_table.h"
#include "settings/window_state.h"

// Last: Xlib's macros (None, Status, Success) would break the headers above.
#include <X11/Xlib.h>

namespace fs = std::filesystem;
using namespace clipmill;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kStarts = 5;
constexpr int kIdleAccounts = 1000;
constexpr int kLoadAccounts = 10000;
constexpr int kLoadRounds = 5;
constexpr double kStartupTimerSeconds = 1.0;
constexpr auto kIdleAfterShown = std::chrono::seconds(4);  // the list loads one second after the window shows
constexpr const char* kMainWindowTitle = "Clipmillv";     // the start-up window is plain "Clipmill"

std::string windowTitle(Display* x, Window window) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const Atom name = XInternAtom(x, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(x, "UTF8_STRING", False);
    std::string title;
    if (XGetWindowProperty(x, window, name, 0, 256, False, utf8, &type, &format, &count, &after, &data) == Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), count);
    }
    if (data) XFree(data);
    return title;
}

// Waits for a top-level window whose title starts with `prefix` to be mapped; the moment it
// was, or nothing after the limit.
std::optional<Clock::time_point> waitForMap(Display* x, const std::string& prefix, std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    pollfd connection{ConnectionNumber(x), POLLIN, 0};
    while (Clock::now() < deadline) {
        while (XPending(x) > 0) {
            XEvent event;
            XNextEvent(x, &event);
            const auto at = Clock::now();
            if (event.type == MapNotify && windowTitle(x, event.xmap.window).rfind(prefix, 0) == 0) return at;
        }
        poll(&connection, 1, 50);
    }
    return std::nullopt;
}

long residentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

void writeAccounts(const fs::path& programDir, int count) {
    const fs::path list = programDir / "data" / "list";
    fs::create_directories(list);
    for (int n = 0; n < count; ++n) {
        const std::string id = std::to_string(100 + n);
        std::ofstream(list / (id + ".json"), std::ios::binary)
            << R"({"昵称":"账号)" << id << R"(","素材目录":")" << (programDir / ("素材" + id)).string()
            << R"(","缓存id":")" << id << R"(","分类1":0,"分类2":0,"标签":"日常+vlog","简介":"每天一个视频"})";
    }
}

// A program folder with the program and 1,000 accounts, its site addresses on a closed
// loopback port, and a home whose documents hold the disclaimer's agreement.
void prepareProgramFolder(const fs::path& work, const fs::path& program) {
    const fs::path programDir = work / "Clip mill";
    fs::create_directories(programDir / "data");
    fs::copy_file(program, programDir / "clipmill", fs::copy_options::overwrite_existing);
    std::ofstream(programDir / "data" / "endpoints.ini", std::ios::binary)
        << "[site]\r\nupload=http://127.0.0.1:9/video/upload.html\r\nlogin=http://127.0.0.1:9/login\r\n";
    writeAccounts(programDir, kIdleAccounts);
    fs::create_directories(work / "home" / "Documents");
    std::ofstream(work / "home" / "Documents" / "qmxr.dll", std::ios::binary) << "agreed";
}

struct StartFigures {
    double shownSeconds = -1;  // from spawn to the main window mapped
    long idleRssKb = -1;
};

StartFigures startOnce(const fs::path& work) {
    StartFigures figures;
    testing::VirtualDisplay display(1600, 1000);
    Display* x = XOpenDisplay(display.name().c_str());
    if (!x) return figures;
    XSelectInput(x, DefaultRootWindow(x), SubstructureNotifyMask);
    XSync(x, False);
    const auto started = Clock::now();
    testing::ChildProcess program({(work / "Clip mill" / "clipmill").string()},
                                  {{"HOME", (work / "home").string()}, {"QT_QPA_PLATFORM", "xcb"}});
    if (const auto shown = waitForMap(x, kMainWindowTitle, std::chrono::seconds(30))) {
        figures.shownSeconds = std::chrono::duration<double>(*shown - started).count();
        std::this_thread::sleep_for(kIdleAfterShown);
        figures.idleRssKb = residentKb(program.pid());
    }
    XCloseDisplay(x);
    return figures;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

// The deferred start-up step's list load: the account store reading every file into the table.
double loadSeconds(const fs::path& programDir, int& rows) {
    WindowState window(controlTable());
    AccountTable table;
    testing::RecordingDialogs dialogs;
    AccountStore store(programDir, window, table, dialogs);
    const auto started = Clock::now();
    store.loadAccountList();
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    rows = table.rowCount();
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path self = fs::read_symlink("/proc/self/exe").parent_path();
    const fs::path program = argc > 1 ? fs::path(argv[1]) : self / "clipmill";
    if (!fs::exists(program)) {
        std::fprintf(stderr, "no program at %s\n", program.c_str());
        return 1;
    }
    const fs::path work = fs::temp_directory_path() / ("clipmill-bench-startup-" + std::to_string(getpid()));
    prepareProgramFolder(work, program);

    std::vector<double> beyond;
    std::vector<double> rssMb;
    for (int n = 0; n < kStarts; ++n) {
        const StartFigures figures = startOnce(work);
        if (figures.shownSeconds < 0) continue;
        beyond.push_back(figures.shownSeconds - kStartupTimerSeconds);
        rssMb.push_back(figures.idleRssKb / 1024.0);
        std::printf("start %d: main window shown after %.3f s, idle RSS %.1f MB\n", n + 1, figures.shownSeconds,
                    figures.idleRssKb / 1024.0);
    }

    const fs::path loadDir = work / "load";
    writeAccounts(loadDir, kLoadAccounts);
    std::vector<double> loads;
    int rows = 0;
    for (int r = 0; r < kLoadRounds; ++r) loads.push_back(loadSeconds(loadDir, rows));
    std::error_code ec;
    fs::remove_all(work, ec);

    const double shown = median(beyond);
    const double rss = median(rssMb);
    const double load = median(loads);
    std::printf("main window shown beyond the %.0f s start-up timer, median of %zu starts: %.3f s\n",
                kStartupTimerSeconds, beyond.size(), shown);
    std::printf("idle RSS with %d accounts, %lld s after the window showed, median: %.1f MB\n", kIdleAccounts,
                static_cast<long long>(kIdleAfterShown.count()), rss);
    std::printf("list load of %d account files, median of %d: %.3f s (%d rows)\n", kLoadAccounts, kLoadRounds, load,
                rows);
    const bool met = beyond.size() == kStarts && shown < 0.2 && rss < 100 && load < 1 && rows == kLoadAccounts;
    std::printf("summary: shown_beyond_timer_s=%.3f goal<0.2 idle_rss_mb=%.0f goal<100 load_10000_s=%.3f goal<1 %s\n",
                shown, rss, load, met ? "met" : "not met");
    return met ? 0 : 1;
}
