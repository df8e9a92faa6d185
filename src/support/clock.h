#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace clipmill {

using Millis = std::chrono::milliseconds;

// A stop request shared by the threads of one run. Requesting a stop wakes every
// thread that is waiting on a clock with this signal.
class StopSignal {
public:
    void request();
    bool requested() const { return requested_.load(); }

    // Registers a wake-up callback; it is called once from request(). Returns an id for remove.
    int onRequest(std::function<void()> wake);
    void removeWake(int id);

private:
    std::atomic<bool> requested_{false};
    std::mutex mutex_;
    int nextId_ = 0;
    std::vector<std::pair<int, std::function<void()>>> wakes_;
};

// The source of time for every wait of the engine and the browser code.
class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic time since an arbitrary origin.
    virtual Millis now() const = 0;
    // The local hour of day, 0-23.
    virtual int localHour() const = 0;
    // Blocks until now() >= deadline or stop is requested. Returns false when stopped.
    virtual bool sleepUntil(Millis deadline, StopSignal& stop) = 0;
    // A thread that waits on this clock announces itself, so a simulated clock
    // knows when every participant is asleep. Call on the spawning thread before the spawn.
    virtual void enterThread() {}
    virtual void leaveThread() {}
};

class SystemClock final : public Clock {
public:
    Millis now() const override;
    int localHour() const override;
    bool sleepUntil(Millis deadline, StopSignal& stop) override;
};

// Simulated time: it jumps to the earliest pending deadline as soon as every thread
// that entered the clock is asleep, so a whole run with all its pauses takes milliseconds
// while keeping the order of events that real time would give.
class FakeClock final : public Clock {
public:
    explicit FakeClock(Millis start = Millis(0), int hour = 10);
    Millis now() const override;
    int localHour() const override;
    bool sleepUntil(Millis deadline, StopSignal& stop) override;
    void enterThread() override;
    void leaveThread() override;

    // The local hour follows simulated time from the given starting hour.
    void setLocalTime(int hour, int minute);

private:
    void advanceIfAllAsleep();  // mutex_ held

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    Millis now_;
    Millis dayOffset_;
    int participants_ = 0;
    int sleeping_ = 0;
    std::multiset<Millis> deadlines_;
};

// The one way engine and browser code waits: on the run's clock, interruptible by Stop.
class Waiter {
public:
    Waiter(Clock& clock, StopSignal& stop) : clock_(clock), stop_(stop) {}
    // Each returns false when Stop was requested before or during the wait.
    bool waitMs(long long ms);
    bool waitSeconds(long long s) { return waitMs(s * 1000); }
    bool stopped() const { return stop_.requested(); }
    Clock& clock() { return clock_; }
    StopSignal& stopSignal() { return stop_; }

private:
    Clock& clock_;
    StopSignal& stop_;
};

}  // namespace clipmill
