#include "support/thread_guard.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "fixtures/thread_failures.h"

namespace clipmill::testing {
namespace {

TEST(ThreadGuard, ABodyThatThrowsEndsItsThreadAndIsReportedByName) {
    const struct {
        const char* name;
        std::function<void()> body;
        bool returned;
        std::vector<std::string> what;
    } cases[] = {
        {"returns", [] {}, true, {}},
        {"throws a std::exception", [] { throw std::runtime_error("disk full"); }, false, {"disk full"}},
        {"throws something else", [] { throw 42; }, false, {""}},
    };
    for (const auto& c : cases) {
        RecordedThreadFailures recorded;
        bool returned = !c.returned;
        bool after = false;
        // A real thread: an exception leaving it would end the whole test program.
        std::thread([&] {
            returned = runGuarded("worker", c.body);
            after = true;
        }).join();
        EXPECT_EQ(returned, c.returned) << c.name;
        EXPECT_TRUE(after) << c.name << ": the thread goes on after the body";
        std::vector<std::string> what;
        for (const auto& failure : recorded.failures()) {
            EXPECT_EQ(failure.where, "worker");
            what.push_back(failure.what);
        }
        EXPECT_EQ(what, c.what) << c.name;
    }
}

TEST(ThreadGuard, TheDefaultHandlerNamesTheThreadOnStandardError) {
    const ThreadFailureHandler before = setThreadFailureHandler(nullptr);
    ::testing::internal::CaptureStderr();
    std::thread([] { runGuarded("ticker", [] { throw std::runtime_error("clock gone"); }); }).join();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "clipmill: the ticker thread failed: clock gone\n");
    setThreadFailureHandler(before);
}

}  // namespace
}  // namespace clipmill::testing
