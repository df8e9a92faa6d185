// Launches that fail, with stand-in browsers: no Chromium runs here.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "browser/cdp/launcher.h"
#include "fixtures/poll_until.h"
#include "fixtures/temp_dir.h"

namespace clipmill::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool running(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    return line[line.rfind(')') + 2] != 'Z';
}

cdp::LaunchOptions headlessOn(const std::string& executable, const std::string& profile) {
    cdp::LaunchOptions options;
    options.executable = executable;
    options.profileDir = profile;
    options.headless = true;
    return options;
}

TEST(Launcher, AFailedLaunchKillsTheChildAndReportsItsOutput) {
    TempDir dir;
    auto pidFile = dir.str() + "/pid";
    struct Case {
        const char* name;
        std::string script;
        const char* why;
    };
    const Case cases[] = {
        {"exits", "#!/bin/sh\necho $$ > " + pidFile + "\necho 'Missing X server' >&2\nexit 1\n", "exited during start-up"},
        {"never answers", "#!/bin/sh\necho $$ > " + pidFile + "\necho 'stuck here' >&2\nexec sleep 60\n",
         "no DevTools endpoint"},
    };
    for (const auto& c : cases) {
        auto script = dir.write("fake-browser", c.script);
        fs::permissions(script, fs::perms::owner_all);
        cdp::LaunchOptions options = headlessOn(script.string(), dir.str() + "/profile");
        options.timeout = 1500ms;
        auto result = cdp::launchBrowser(options);
        EXPECT_FALSE(result.ok) << c.name;
        EXPECT_NE(result.error.find(c.why), std::string::npos) << c.name << ": " << result.error;
        EXPECT_NE(result.error.find(c.script.find("Missing") != std::string::npos ? "Missing X server" : "stuck here"),
                  std::string::npos)
            << result.error;
        const int pid = std::stoi(dir.read("pid"));
        EXPECT_TRUE(pollUntil([&] { return !running(pid); }, 5s)) << c.name;
    }
    auto missing = headlessOn(dir.str() + "/no-such-browser", dir.str() + "/p2");
    auto result = cdp::launchBrowser(missing);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("cannot run"), std::string::npos) << result.error;
}

}  // namespace
}  // namespace clipmill::testing
