#pragma once

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <functional>

#include "fixtures/poll_until.h"

namespace clipmill::testing {

// pollUntil with this thread's event loop running between the checks, so that work the
// window queued for itself lands meanwhile and its timers keep their pace.
inline ::testing::AssertionResult waitUntil(const std::function<bool()>& condition, int ms = 5000) {
    return pollUntil(condition, std::chrono::milliseconds(ms), std::chrono::milliseconds(10),
                     [](std::chrono::milliseconds pause) {
                         QEventLoop loop;
                         QTimer::singleShot(pause, &loop, &QEventLoop::quit);
                         loop.exec();
                     });
}

}  // namespace clipmill::testing
