#include "support/random.h"

#include <algorithm>
#include <random>

namespace clipmill {

int randomInclusive(int low, int high) {
    low = std::max(low, 0);
    high = std::max(high, 0);
    if (low > high) std::swap(low, high);
    thread_local std::mt19937 generator{std::random_device{}()};
    return std::uniform_int_distribution<int>(low, high)(generator);
}

}  // namespace clipmill
