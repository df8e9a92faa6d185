#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace clipmill::fuzz {

// One fuzz target of fuzz/<name>.cpp, callable from an ordinary program.
struct FuzzTarget {
    const char* name;
    int (*run)(const uint8_t* data, size_t size);
};

// Every target of fuzz/, in file-name order.
std::span<const FuzzTarget> fuzzTargets();

}  // namespace clipmill::fuzz
