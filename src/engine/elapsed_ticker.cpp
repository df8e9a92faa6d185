#include "engine/elapsed_ticker.h"

#include "support/thread_guard.h"

namespace clipmill {

ElapsedTicker::ElapsedTicker(Clock& clock, StopSignal& runStop, std::atomic<int>& elapsedSeconds, Report report)
    : clock_(clock),
      runStop_(runStop),
      runStopWake_(runStop.onRequest([this] { stop_.request(); })),
      elapsedSeconds_(elapsedSeconds),
      report_(std::move(report)) {
    if (runStop.requested()) stop_.request();
    // The first second counts at once, before the upload begins.
    report_(++elapsedSeconds_);
    clock_.enterThread();
    thread_ = std::thread([this] { tick(); });
}

ElapsedTicker::~ElapsedTicker() {
    runStop_.removeWake(runStopWake_);
    stop_.request();
    thread_.join();
}

void ElapsedTicker::tick() {
    runGuarded("elapsed time", [this] {
        Waiter waiter(clock_, stop_);
        while (waiter.waitSeconds(1)) report_(++elapsedSeconds_);
    });
    clock_.leaveThread();
}

}  // namespace clipmill
