#include "ui/state_lines.h"

#include <cstdio>
#include <memory>
#include <mutex>

#include "app/program.h"

namespace clipmill::ui {

namespace {

const char* const kStartButton = "开始";
const char* const kStopCaption = "停止";
const char* const kListGroup = "分组框6";
// The list's caption while the run pauses between passes: "本轮结束，等待N秒继续下一轮".
const char* const kBetweenPasses = "本轮结束";

// Whether the list's caption was last seen between passes; listeners on any thread share it.
struct PassState {
    std::mutex mutex;
    bool betweenPasses = false;
};

}  // namespace

void announceState(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

StateLines::StateLines(Program& program, QObject* parent) : QObject(parent), program_(program) {
    listListener_ = program_.store().onListLoaded(
        [](int rows) { announceState("account list loaded: " + std::to_string(rows) + " accounts"); });
    // The pass ends where the caption turns to the pause's countdown. Captured by value:
    // a notification still under way when this object goes finds the state alive.
    auto pass = std::make_shared<PassState>();
    WindowState& window = program_.window();
    stateListener_ = window.subscribe([pass, &window](const std::string& control, ControlField field) {
        if (control != kListGroup || field != ControlField::Caption) return;
        const bool between = window.caption(kListGroup).rfind(kBetweenPasses, 0) == 0;
        std::lock_guard lock(pass->mutex);
        if (between && !pass->betweenPasses) announceState("run pass ended");
        pass->betweenPasses = between;
    });
    workerWatch_.setInterval(100);
    connect(&workerWatch_, &QTimer::timeout, this, &StateLines::checkWorker);
}

StateLines::~StateLines() {
    program_.store().removeListLoadedListener(listListener_);
    program_.window().unsubscribe(stateListener_);
}

void StateLines::runToggled() {
    const bool started = program_.window().caption(kStartButton) == kStopCaption;
    announceState(started ? "run started" : "run stopping");
    workerWatch_.start();
}

void StateLines::checkWorker() {
    if (program_.run().workerAlive()) return;
    workerWatch_.stop();
    announceState("run ended");
}

}  // namespace clipmill::ui
