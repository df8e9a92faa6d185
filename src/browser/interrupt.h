#pragma once

#include "support/clock.h"

namespace clipmill {

// While alive, browser calls made on this thread give up as soon as `stop` is requested,
// so a Stop of the run never waits for a call's full timeout.
class InterruptScope {
public:
    explicit InterruptScope(StopSignal& stop);
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

    // The stop signal of the innermost scope of this thread, or null.
    static StopSignal* current();

private:
    StopSignal* previous_;
};

// True when the current thread's scope asks to stop.
bool interruptRequested();

}  // namespace clipmill
