#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "support/clock.h"

namespace clipmill {

// Counts the seconds one upload has taken, once a second on its own thread, and reports
// each count. It runs until stopped, or until the run it belongs to stops.
class ElapsedTicker {
public:
    using Report = std::function<void(int elapsedSeconds)>;

    ElapsedTicker(Clock& clock, StopSignal& runStop, std::atomic<int>& elapsedSeconds, Report report);
    ~ElapsedTicker();  // stops and joins
    ElapsedTicker(const ElapsedTicker&) = delete;
    ElapsedTicker& operator=(const ElapsedTicker&) = delete;

    // Asks the ticker to end; safe from any thread, any number of times. Does not wait.
    void requestStop() { stop_.request(); }

private:
    void tick();

    Clock& clock_;
    StopSignal stop_;
    StopSignal& runStop_;
    int runStopWake_;
    std::atomic<int>& elapsedSeconds_;
    Report report_;
    std::thread thread_;
};

}  // namespace clipmill
