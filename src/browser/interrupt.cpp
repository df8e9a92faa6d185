#include "browser/interrupt.h"

namespace clipmill {

namespace {
thread_local StopSignal* currentStop = nullptr;
}

InterruptScope::InterruptScope(StopSignal& stop) : previous_(currentStop) { currentStop = &stop; }

InterruptScope::~InterruptScope() { currentStop = previous_; }

StopSignal* InterruptScope::current() { return currentStop; }

bool interruptRequested() { return currentStop && currentStop->requested(); }

}  // namespace clipmill
