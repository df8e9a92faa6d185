#include "platform/lock_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "fixtures/temp_dir.h"

namespace clipmill {
namespace {

using namespace std::chrono_literals;
using testing::TempDir;

TEST(LockFile, OneHolderAtATimeAndTheNextOnceItEnds) {
    TempDir dir;
    const auto file = dir.path() / "data" / "program.lock";
    std::filesystem::create_directories(file.parent_path());

    auto first = LockFile::take(file);
    ASSERT_TRUE(first.has_value());
    EXPECT_FALSE(LockFile::take(file).has_value());
    EXPECT_TRUE(LockFile::take(dir.path() / "other.lock").has_value()) << "another folder's lock is its own";

    LockFile moved = std::move(*first);
    first.reset();
    EXPECT_FALSE(LockFile::take(file).has_value()) << "a moved lock is still held";
    { LockFile ended = std::move(moved); }
    EXPECT_TRUE(LockFile::take(file).has_value());
    EXPECT_FALSE(LockFile::take(dir.path() / "missing" / "program.lock").has_value());
}

TEST(LockFile, WaitsForAHolderThatLetsGoWithinItsPatience) {
    TempDir dir;
    const auto file = dir.path() / "program.lock";
    auto holder = LockFile::take(file);
    ASSERT_TRUE(holder.has_value());

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(LockFile::take(file, 200ms).has_value());
    EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);

    std::thread releaser([&] {
        std::this_thread::sleep_for(300ms);
        holder.reset();
    });
    EXPECT_TRUE(LockFile::take(file, 10s).has_value());
    releaser.join();
}

// A browser or any other program started while the lock is held must not keep it after the
// program that took it has ended.
TEST(LockFile, AChildProcessDoesNotKeepIt) {
    TempDir dir;
    const auto file = dir.path() / "program.lock";
    auto holder = LockFile::take(file);
    ASSERT_TRUE(holder.has_value());

    pid_t child = -1;
    char sleepName[] = "sleep";
    char seconds[] = "30";
    char* argv[] = {sleepName, seconds, nullptr};
    ASSERT_EQ(posix_spawnp(&child, "sleep", nullptr, nullptr, argv, environ), 0);
    holder.reset();
    const bool taken = LockFile::take(file).has_value();
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(taken);
}

}  // namespace
}  // namespace clipmill
