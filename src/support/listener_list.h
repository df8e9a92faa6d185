#pragma once

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace clipmill {

// Listeners that any thread may add, remove and notify. Notification works on a snapshot,
// so a listener may add or remove listeners while it runs.
template <typename Listener>
class ListenerList {
public:
    int add(Listener listener) {
        std::lock_guard lock(mutex_);
        entries_.emplace_back(++nextId_, std::move(listener));
        return nextId_;
    }

    void remove(int id) {
        std::lock_guard lock(mutex_);
        std::erase_if(entries_, [id](const auto& entry) { return entry.first == id; });
    }

    template <typename... Args>
    void notify(const Args&... args) const {
        std::vector<Listener> snapshot;
        {
            std::lock_guard lock(mutex_);
            for (const auto& entry : entries_) snapshot.push_back(entry.second);
        }
        for (auto& listener : snapshot) listener(args...);
    }

private:
    mutable std::mutex mutex_;
    int nextId_ = 0;
    std::vector<std::pair<int, Listener>> entries_;
};

}  // namespace clipmill
