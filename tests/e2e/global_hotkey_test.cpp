#include "platform/global_hotkey.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "fixtures/browser_test_support.h"
#include "fixtures/poll_until.h"

namespace clipmill::testing {
namespace {

::testing::AssertionResult waitForCount(const std::atomic<int>& count, int wanted) {
    return pollUntil([&] { return count.load() >= wanted; }, std::chrono::seconds(5)) << ": " << count.load() << " presses";
}

TEST(GlobalHotKey, FiresWithAndWithoutCapsLockAndASecondClaimIsRefused) {
    VirtualDisplay display;
    std::atomic<int> presses{0}, otherPresses{0};
    GlobalHotKey hotKey([&] { ++presses; }, display.name());
    ASSERT_TRUE(hotKey.active());
    GlobalHotKey second([&] { ++otherPresses; }, display.name());
    EXPECT_FALSE(second.active()) << "the key is already held";

    runAndRead({"xdotool", "key", "ctrl+alt+k"});
    EXPECT_TRUE(waitForCount(presses, 1));
    runAndRead({"xdotool", "key", "Caps_Lock"});
    runAndRead({"xdotool", "key", "ctrl+alt+k"});
    EXPECT_TRUE(waitForCount(presses, 2)) << "not heard with CapsLock on";
    runAndRead({"xdotool", "key", "Caps_Lock"});
    runAndRead({"xdotool", "key", "ctrl+k"});
    // What is tested is that nothing is heard; a Ctrl+K taken for the hot key would be by now.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(presses.load(), 2) << "Ctrl+K alone is not the hot key";
    EXPECT_EQ(otherPresses.load(), 0);
}

TEST(GlobalHotKey, NoDisplayLeavesItInactive) {
    GlobalHotKey hotKey([] {}, ":987");
    EXPECT_FALSE(hotKey.active());
}

}  // namespace
}  // namespace clipmill::testing
