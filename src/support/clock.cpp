#include "support/clock.h"

#include <algorithm>
#include <ctime>

namespace clipmill {

void StopSignal::request() {
    // The wake-ups run under the lock so that removeWake() cannot return while one is
    // still running: a waiter may free what its wake-up touches as soon as it is removed.
    std::lock_guard lock(mutex_);
    if (requested_.exchange(true)) return;
    for (auto& [id, wake] : wakes_) wake();
}

int StopSignal::onRequest(std::function<void()> wake) {
    std::lock_guard lock(mutex_);
    wakes_.emplace_back(++nextId_, std::move(wake));
    return nextId_;
}

void StopSignal::removeWake(int id) {
    std::lock_guard lock(mutex_);
    std::erase_if(wakes_, [id](const auto& entry) { return entry.first == id; });
}

namespace {

// Keeps a wake-up registered for the span of one wait.
class WakeRegistration {
public:
    WakeRegistration(StopSignal& stop, std::function<void()> wake) : stop_(stop), id_(stop.onRequest(std::move(wake))) {}
    ~WakeRegistration() { stop_.removeWake(id_); }
    WakeRegistration(const WakeRegistration&) = delete;
    WakeRegistration& operator=(const WakeRegistration&) = delete;

private:
    StopSignal& stop_;
    int id_;
};

}  // namespace

Millis SystemClock::now() const {
    return std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now().time_since_epoch());
}

int SystemClock::localHour() const {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return local.tm_hour;
}

bool SystemClock::sleepUntil(Millis deadline, StopSignal& stop) {
    std::mutex mutex;
    std::condition_variable cv;
    WakeRegistration wake(stop, [&] {
        std::lock_guard lock(mutex);
        cv.notify_all();
    });
    const auto target = std::chrono::steady_clock::time_point(deadline);
    std::unique_lock lock(mutex);
    cv.wait_until(lock, target, [&] { return stop.requested(); });
    return !stop.requested();
}

FakeClock::FakeClock(Millis start, int hour) : now_(start), dayOffset_(Millis(hour * 3600000LL) - start) {}

Millis FakeClock::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

int FakeClock::localHour() const {
    std::lock_guard lock(mutex_);
    const long long msOfDay = ((now_ + dayOffset_).count() % 86400000LL + 86400000LL) % 86400000LL;
    return static_cast<int>(msOfDay / 3600000LL);
}

void FakeClock::setLocalTime(int hour, int minute) {
    std::lock_guard lock(mutex_);
    dayOffset_ = Millis(hour * 3600000LL + minute * 60000LL) - now_;
}

bool FakeClock::sleepUntil(Millis deadline, StopSignal& stop) {
    WakeRegistration wake(stop, [this] {
        std::lock_guard lock(mutex_);
        cv_.notify_all();
    });
    std::unique_lock lock(mutex_);
    if (stop.requested()) return false;
    auto slot = deadlines_.insert(deadline);
    ++sleeping_;
    advanceIfAllAsleep();
    cv_.wait(lock, [&] { return now_ >= deadline || stop.requested(); });
    --sleeping_;
    deadlines_.erase(slot);
    return !stop.requested();
}

void FakeClock::enterThread() {
    std::lock_guard lock(mutex_);
    ++participants_;
}

void FakeClock::leaveThread() {
    std::lock_guard lock(mutex_);
    --participants_;
    advanceIfAllAsleep();
}

void FakeClock::advanceIfAllAsleep() {
    // A sleeper whose deadline has passed is about to wake and is not really asleep.
    if (deadlines_.empty() || sleeping_ < participants_) return;
    if (*deadlines_.begin() <= now_) return;
    now_ = *deadlines_.begin();
    cv_.notify_all();
}

bool Waiter::waitMs(long long ms) {
    if (stop_.requested()) return false;
    if (ms <= 0) return true;
    return clock_.sleepUntil(clock_.now() + Millis(ms), stop_);
}

}  // namespace clipmill
