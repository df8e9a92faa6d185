#pragma once

// Helpers shared by the fuzz targets: how an input is cut into its parts, and how a broken
// property is reported.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

// A property the code must keep for every input. Aborting makes libFuzzer keep the input as a
// crash, and fails the test that replays it.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace clipmill::fuzz {

struct FuzzFields {
    std::string_view payload;
    std::vector<std::string_view> parameters;
};

// The input as "payload" or "payload\0p1\0p2...": up to `count` parameters after the last
// zero bytes, so that a seed holding only the payload is a realistic file. Parameters
// missing at the end are empty; the payload may hold zero bytes of its own.
inline FuzzFields splitInput(const uint8_t* data, size_t size, size_t count) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> found;
    while (found.size() < count) {
        const size_t zero = rest.rfind('\0');
        if (zero == std::string_view::npos) break;
        found.push_back(rest.substr(zero + 1));
        rest = rest.substr(0, zero);
    }
    std::reverse(found.begin(), found.end());
    found.resize(count);
    return {rest, found};
}

}  // namespace clipmill::fuzz
