#include "support/thread_guard.h"

#include <atomic>
#include <cstdio>

namespace clipmill {

namespace {

void writeToStandardError(const char* where, const std::exception* error) noexcept {
    std::fprintf(stderr, "clipmill: the %s thread failed: %s\n", where, error ? error->what() : "unknown exception");
}

std::atomic<ThreadFailureHandler> handlerInForce{writeToStandardError};

}  // namespace

void reportThreadFailure(const char* where, const std::exception* error) noexcept {
    handlerInForce.load()(where, error);
}

ThreadFailureHandler setThreadFailureHandler(ThreadFailureHandler handler) noexcept {
    return handlerInForce.exchange(handler ? handler : writeToStandardError);
}

}  // namespace clipmill
