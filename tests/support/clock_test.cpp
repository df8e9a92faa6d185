#include "support/clock.h"

#include <gtest/gtest.h>

#include <thread>

namespace clipmill {
namespace {

TEST(FakeClock, JumpsToTheEarliestDeadlineWhenEveryParticipantSleeps) {
    FakeClock clock;
    StopSignal stop;
    Waiter waiter(clock, stop);
    std::vector<std::string> order;
    std::mutex m;
    auto log = [&](std::string s) {
        std::lock_guard lock(m);
        order.push_back(s + "@" + std::to_string(clock.now().count()));
    };
    clock.enterThread();
    clock.enterThread();
    std::thread a([&] {
        for (int i = 0; i < 3; ++i) {
            waiter.waitMs(1000);
            log("a");
        }
        clock.leaveThread();
    });
    std::thread b([&] {
        waiter.waitMs(2500);
        log("b");
        clock.leaveThread();
    });
    a.join();
    b.join();
    EXPECT_EQ(order, (std::vector<std::string>{"a@1000", "a@2000", "b@2500", "a@3000"}));
}

TEST(FakeClock, LocalHourFollowsSimulatedTime) {
    FakeClock clock;
    StopSignal stop;
    Waiter waiter(clock, stop);
    clock.setLocalTime(13, 59);
    EXPECT_EQ(clock.localHour(), 13);
    clock.enterThread();
    waiter.waitSeconds(60);
    EXPECT_EQ(clock.localHour(), 14);
    waiter.waitSeconds(10 * 3600);
    EXPECT_EQ(clock.localHour(), 0);  // past midnight
    clock.leaveThread();
}

TEST(Waiter, StopEndsARealWaitAtOnceAndEveryLaterWait) {
    SystemClock clock;
    StopSignal stop;
    Waiter waiter(clock, stop);
    auto started = std::chrono::steady_clock::now();
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop.request();
    });
    EXPECT_FALSE(waiter.waitSeconds(60));
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_FALSE(waiter.waitMs(10));
    EXPECT_TRUE(waiter.stopped());
}

TEST(Waiter, StopWakesASimulatedSleeperThatNoTimeWouldWake) {
    FakeClock clock;
    StopSignal stop;
    Waiter waiter(clock, stop);
    clock.enterThread();
    clock.enterThread();  // a second participant that never sleeps: time cannot advance
    std::thread sleeper([&] { EXPECT_FALSE(waiter.waitSeconds(5)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop.request();
    sleeper.join();
    EXPECT_EQ(clock.now().count(), 0);
}

}  // namespace
}  // namespace clipmill
