#include "platform/relaunch.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <thread>

#include "fixtures/poll_until.h"
#include "fixtures/scoped_env.h"
#include "fixtures/temp_dir.h"
#include "platform/child_process.h"

namespace clipmill::testing {
namespace {

TEST(Relaunch, StartsAProgramWhosePathHasSpacesAndQuotesAfterTheDelay) {
    TempDir dir;
    const auto folder = dir.path() / "my \"clip\" mill's folder";
    std::filesystem::create_directories(folder);
    const auto program = folder / "clip mill";
    std::filesystem::copy_file("/usr/bin/touch", program);
    const auto marker = folder / "started; rm -rf x";

    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(relaunchAfterDelay(program, {marker.string()}, std::chrono::milliseconds(300)));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(250)) << "the caller must not wait";
    EXPECT_FALSE(std::filesystem::exists(marker)) << "started before the delay";
    EXPECT_TRUE(pollUntilExists(marker, std::chrono::seconds(5)));
}

TEST(Relaunch, MissingProgramDoesNothing) {
    TempDir dir;
    EXPECT_FALSE(relaunchAfterDelay(dir.path() / "gone", {}, std::chrono::milliseconds(0)));
}

TEST(Relaunch, ProgramFileIsThisTestProgram) {
    const ProgramFile self = programFileOfThisProcess();
    EXPECT_EQ(self.name, "test_platform");
    EXPECT_TRUE(std::filesystem::equivalent(self.path(), "/proc/self/exe"));
}

namespace fs = std::filesystem;

const char* const kHelper = CLIPMILL_BINARY_DIR "/tests/restart_helper/restart_helper";

// What happens to the program file between start and the restart.
struct Change {
    const char* name;
    std::function<void(const fs::path& program, const fs::path& elsewhere)> apply;
    bool restarts;
};

const Change kChanges[] = {
    {"untouched", [](const fs::path&, const fs::path&) {}, true},
    {"replaced by a new file",
     [](const fs::path& program, const fs::path&) {
         fs::remove(program);
         fs::copy_file(kHelper, program);
     },
     true},
    {"moved to another folder", [](const fs::path& program, const fs::path& elsewhere) { fs::rename(program, elsewhere); },
     false},
    {"removed", [](const fs::path& program, const fs::path&) { fs::remove(program); }, false},
};

// The helper stands for the program: started from a folder with spaces, it holds a plain
// pipe, socket and file, then restarts itself after the change; the copy the restart starts
// says which file it runs from and which descriptors it has.
void restartAfter(const Change& change, bool ignoreChildSignal) {
    SCOPED_TRACE(std::string(change.name) + (ignoreChildSignal ? ", SIGCHLD ignored" : ""));
    TempDir dir;
    fs::create_directories(dir.path() / "program folder" / "moved");
    const fs::path program = dir.path() / "program folder" / "clip mill";
    fs::copy_file(kHelper, program);
    ScopedEnv helperDir("RESTART_HELPER_DIR", dir.str());

    std::vector<std::string> argv{program.string(), "wait"};
    if (ignoreChildSignal) argv.push_back("ignore-sigchld");
    CommandResult result;
    std::thread first([&] { result = runCommand(argv, std::chrono::seconds(15)); });
    ASSERT_TRUE(pollUntilExists(dir.path() / "ready", std::chrono::seconds(10)));
    change.apply(program, dir.path() / "program folder" / "moved" / "clip mill");
    dir.write("go", "");
    first.join();

    ASSERT_TRUE(result.finished) << "the restart did not come back";
    EXPECT_EQ(dir.read("outcome"), change.restarts ? "restarted" : "nothing");
    if (change.restarts) {
        ASSERT_TRUE(pollUntilExists(dir.path() / "report", std::chrono::seconds(5)));
        EXPECT_EQ(dir.read("report"), program.string() + "\n0 1 2");
    } else {
        // Nothing is to start, so nothing can be waited for: a start that came would land by now.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_FALSE(fs::exists(dir.path() / "report")) << "a program was started";
    }
}

TEST(Restart, StartsTheProgramFileOfTheProgramDirectoryWithNoInheritedDescriptors) {
    for (const Change& change : kChanges) restartAfter(change, false);
}

TEST(Restart, ComesBackWhenChildrenAreReapedByTheSystem) {
    restartAfter(kChanges[0], true);
}

}  // namespace
}  // namespace clipmill::testing
