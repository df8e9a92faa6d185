#pragma once

#include <exception>

namespace clipmill {

// Hears of an exception caught at the top of a thread body. `where` names the thread;
// `error` is null for an exception that is not a std::exception.
using ThreadFailureHandler = void (*)(const char* where, const std::exception* error) noexcept;

// Passes a thread's failure to the handler in force: by default a line on standard error.
void reportThreadFailure(const char* where, const std::exception* error) noexcept;

// Makes `handler` the one in force (null: the default again) and returns the one before it.
ThreadFailureHandler setThreadFailureHandler(ThreadFailureHandler handler) noexcept;

// Runs a thread body so that no exception leaves it: one that does is reported with `where`
// and the body ends there. True when the body returned normally.
template <typename Body>
bool runGuarded(const char* where, Body&& body) noexcept {
    try {
        body();
        return true;
    } catch (const std::exception& error) {
        reportThreadFailure(where, &error);
    } catch (...) {
        reportThreadFailure(where, nullptr);
    }
    return false;
}

}  // namespace clipmill
