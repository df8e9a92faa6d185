// The redial from the window: the test button and the run between accounts, against the
// stand-in nmcli (NetworkManager and PPPoE cannot run on the test machines).
#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QTreeWidget>

#include "fixtures/stand_in_nmcli.h"
#include "window_fixture.h"

namespace clipmill::ui::testing {
namespace {

using clipmill::testing::StandInNetworkManager;

class RedialWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        program->window().setText("宽带_账号", "user01");
        program->window().setText("宽带_密码", "pw");
    }
    // The label shows the line breaks of its text as plain new lines.
    std::string hint() const { return fromQt(widget<QLabel>("宽带_提示")->text()); }

    StandInNetworkManager nm;
};

TEST_F(RedialWindowTest, TheTestButtonRedialsOnItsOwnThreadAndASecondPressIsIgnored) {
    nm.holdDials(1);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    auto* button = widget<QAbstractButton>("按钮23");
    button->click();
    ASSERT_TRUE(waitUntil([&] { return nm.count("connection up") == 1; }));
    button->click();
    ASSERT_TRUE(waitUntil([&] { return hint() == "当前ip：\n重播成功新ip：100.64.7.9"; }, 10000)) << hint();
    EXPECT_GE(ticks, 20);  // the window went on handling events during the one-second dial
    EXPECT_EQ(nm.count("connection up"), 1);
}

TEST_F(RedialWindowTest, StopDuringTheRedialBetweenAccountsEndsTheRunWithinASecond) {
    nm.holdDials(60);
    program->window().setText("编辑框_视频素材目录", dir.str());  // no videos: each turn is short
    auto* list = widget<QTreeWidget>("超级列表框1");
    list->findChild<QMenu*>("账号管理")->findChild<QAction*>(toQt("添加账号"))->trigger();
    ASSERT_TRUE(waitUntil([&] { return list->topLevelItemCount() == 1; }));
    program->window().setChecked("选择框_换ip", true);

    program->run().toggleRun();
    ASSERT_TRUE(waitUntil([&] { return nm.count("connection up") == 1; }, 20000));
    QElapsedTimer stopping;
    stopping.start();
    program->run().toggleRun();
    ASSERT_TRUE(waitUntil([&] { return !program->run().workerAlive(); }, 10000));
    EXPECT_LT(stopping.elapsed(), 2000);
    EXPECT_EQ(hint().find("请确认"), std::string::npos);
}

}  // namespace
}  // namespace clipmill::ui::testing
