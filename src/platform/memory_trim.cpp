#include "platform/memory_trim.h"

#include <malloc.h>

#include "support/thread_guard.h"

namespace clipmill {

void trimProcessMemory() { malloc_trim(0); }

MemoryTrimmer::~MemoryTrimmer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void MemoryTrimmer::start() {
    std::lock_guard lock(mutex_);
    if (started_) return;
    started_ = true;
    thread_ = std::thread([this] { runGuarded("memory trim", [this] { run(); }); });
}

bool MemoryTrimmer::started() const {
    std::lock_guard lock(mutex_);
    return started_;
}

int MemoryTrimmer::trims() const {
    std::lock_guard lock(mutex_);
    return trims_;
}

void MemoryTrimmer::run() {
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, interval_, [this] { return stopping_; })) {
        lock.unlock();
        trimProcessMemory();
        lock.lock();
        ++trims_;
    }
}

}  // namespace clipmill
