#include <atomic>

#include "fixtures/browser_test_support.h"
#include "window_fixture.h"

namespace clipmill::ui::testing {
namespace {

// The run controller, not the button's caption, knows whether a run is going: after a run
// ended by itself, one press of the hot key starts the next. The run goes over an empty list
// without looping, so it ends at once.
TEST_F(WindowTest, AfterARunEndedByItselfOneHotKeyPressStartsANewRun) {
    clipmill::testing::VirtualDisplay display;  // the hot key is claimed on its own X display
    WindowState& state = program->window();
    state.setChecked("选择框_自动循环", false);
    std::atomic<int> started{0};
    const int listener = state.subscribe([&](const std::string& control, ControlField field) {
        if (control == "开始" && field == ControlField::Caption && state.caption("开始") == "停止") ++started;
    });
    window->claimHotKey();
    auto runEnded = [&](int runs) {
        return waitUntil([&] { return started.load() == runs && !program->run().workerAlive(); }, 15000);
    };

    clipmill::testing::runAndRead({"xdotool", "key", "ctrl+alt+k"});
    ASSERT_TRUE(runEnded(1)) << "started " << started.load();
    EXPECT_TRUE(waitUntil([&] { return state.caption("开始") == "开始"; }));
    EXPECT_FALSE(program->run().running());

    clipmill::testing::runAndRead({"xdotool", "key", "ctrl+alt+k"});
    EXPECT_TRUE(runEnded(2)) << "started " << started.load();
    state.unsubscribe(listener);
    window.reset();  // lets go of the key while its display is still there

}

}  // namespace
}  // namespace clipmill::ui::testing
