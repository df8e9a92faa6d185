#include "ui/task_threads.h"

#include "support/thread_guard.h"

namespace clipmill::ui {

TaskThreads::~TaskThreads() {
    stop_.request();
    joinAll();
}

void TaskThreads::start(std::function<void()> task) {
    std::lock_guard lock(mutex_);
    releaseFinished();
    Task& entry = tasks_.emplace_back();
    entry.thread = std::thread([this, &entry, task = std::move(task)] {
        runGuarded("window task", task);
        std::lock_guard done(mutex_);
        entry.done = true;
    });
}

void TaskThreads::releaseFinished() {
    for (auto it = tasks_.begin(); it != tasks_.end();) {
        if (!it->done) {
            ++it;
            continue;
        }
        it->thread.join();
        it = tasks_.erase(it);
    }
}

void TaskThreads::joinAll() {
    std::list<Task> running;
    {
        std::lock_guard lock(mutex_);
        running.swap(tasks_);
    }
    for (Task& task : running) task.thread.join();
}

}  // namespace clipmill::ui
