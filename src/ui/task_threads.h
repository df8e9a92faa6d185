#pragma once

#include <functional>
#include <list>
#include <mutex>
#include <thread>

#include "support/clock.h"

namespace clipmill::ui {

// Short-lived threads the window starts for work that must not hold up the window (a
// browser start, a page read). Finished threads are let go on the next start; the rest
// are asked to stop and waited for when the window goes.
class TaskThreads {
public:
    ~TaskThreads();

    void start(std::function<void()> task);
    // A waiter for the tasks: ends early once the window goes.
    Waiter waiter() { return Waiter(clock_, stop_); }
    // Waits until every task started so far has ended.
    void joinAll();

private:
    struct Task {
        std::thread thread;
        bool done = false;
    };
    void releaseFinished();  // mutex_ held

    SystemClock clock_;
    StopSignal stop_;
    std::mutex mutex_;
    std::list<Task> tasks_;
};

}  // namespace clipmill::ui
