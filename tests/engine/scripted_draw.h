#pragma once

#include <deque>
#include <functional>
#include <utility>
#include <vector>

namespace clipmill::testing {

// A random draw that returns the queued values in turn (the lower bound once they run out)
// and records the bounds it was asked for.
struct ScriptedDraw {
    std::deque<int> values;
    std::vector<std::pair<int, int>> bounds;

    std::function<int(int, int)> function() {
        return [this](int low, int high) {
            bounds.emplace_back(low, high);
            if (values.empty()) return low;
            const int value = values.front();
            values.pop_front();
            return value;
        };
    }
};

}  // namespace clipmill::testing
