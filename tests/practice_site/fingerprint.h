#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace practice {

// 64-bit FNV-1a of the bytes, as 16 hex digits: how the site names a cover it took.
inline std::string fingerprint(const std::string& bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(hash));
    return buffer;
}

}  // namespace practice
