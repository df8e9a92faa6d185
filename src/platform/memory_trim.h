#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace clipmill {

// Gives the memory the program no longer uses back to the system once a minute, for as
// long as the program runs.
class MemoryTrimmer {
public:
    explicit MemoryTrimmer(std::chrono::milliseconds interval = std::chrono::minutes(1)) : interval_(interval) {}
    ~MemoryTrimmer();
    // Starts the thread; later calls do nothing.
    void start();
    bool started() const;
    int trims() const;

private:
    void run();

    std::chrono::milliseconds interval_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool started_ = false;
    bool stopping_ = false;
    int trims_ = 0;
    std::thread thread_;
};

// Returns unused heap memory to the system.
void trimProcessMemory();

}  // namespace clipmill
