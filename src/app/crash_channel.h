#pragma once

#include <cstddef>
#include <cstdint>

namespace clipmill::crash {

// What the failing program tells its reporter: one notice, after which the program ends and
// its end of the channel closes. Every call here is async-signal-safe.
inline constexpr std::size_t kMaxMessageBytes = 1024;

struct Notice {
    std::int32_t errorNumber = 0;
    std::uint32_t length = 0;  // bytes of `message` in use
    char message[kMaxMessageBytes];
};

bool sendAll(int fd, const void* bytes, std::size_t size);
bool receiveAll(int fd, void* bytes, std::size_t size);

// The program's end of the channel; -1 when no reporter runs.
void setProgramEnd(int fd);
int programEnd();

}  // namespace clipmill::crash
