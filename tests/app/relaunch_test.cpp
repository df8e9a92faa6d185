#include "app/relaunch.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "fixtures/temp_dir.h"

namespace clipmill::testing {
namespace {

bool waitForFile(const std::filesystem::path& file, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (std::filesystem::exists(file)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

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
    EXPECT_TRUE(waitForFile(marker, std::chrono::seconds(5)));
}

TEST(Relaunch, MissingProgramDoesNothing) {
    TempDir dir;
    EXPECT_FALSE(relaunchAfterDelay(dir.path() / "gone", {}, std::chrono::milliseconds(0)));
}

TEST(Relaunch, CurrentProgramIsThisTestProgram) {
    EXPECT_EQ(currentProgramPath().filename(), "test_app");
}

}  // namespace
}  // namespace clipmill::testing
