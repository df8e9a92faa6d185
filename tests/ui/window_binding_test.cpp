#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "fixtures/scoped_env.h"
#include "ui/spin_field.h"
#include "ui/widget_values.h"
#include "window_fixture.h"

namespace clipmill::ui::testing {
namespace {

using BindingTest = WindowTest;

TEST_F(BindingTest, UserEditsReachTheWindowStateAtOnce) {
    WindowState& state = program->window();

    auto* line = widget<QLineEdit>("编辑框_转载说明");
    line->setFocus();
    QTest::keyClicks(line, "ab");
    EXPECT_EQ(state.text("编辑框_转载说明"), "ab");

    // Lines typed into a multi-line field are kept with CR LF between them.
    auto* titles = widget<QPlainTextEdit>("编辑框_标题前");
    titles->setFocus();
    QTest::keyClicks(titles, "x");
    QTest::keyClick(titles, Qt::Key_Return);
    QTest::keyClicks(titles, "y");
    EXPECT_EQ(state.text("编辑框_标题前"), "x\r\ny");

    // The spinner steps the number its text reads as, within its range, and keeps text.
    auto* cover = widget<SpinField>("编辑框_封面图序列");
    cover->stepBy(1);
    EXPECT_EQ(state.text("编辑框_封面图序列"), "3");
    cover->stepBy(5);
    EXPECT_EQ(state.text("编辑框_封面图序列"), "3");
    state.setText("放弃秒", "abc");
    ASSERT_TRUE(waitUntil([&] { return fieldText(widget("放弃秒")) == "abc"; }));
    widget<SpinField>("放弃秒")->stepBy(1);
    EXPECT_EQ(state.text("放弃秒"), "1");

    widget<QTabWidget>("选择夹1")->setCurrentIndex(1);
    QTest::mouseClick(widget("选择框_2账号间隔"), Qt::LeftButton);
    EXPECT_TRUE(state.checked("选择框_2账号间隔"));
    // The words after a number field act as part of their check box.
    QTest::mouseClick(widget("选择框_2账号间隔#1"), Qt::LeftButton);
    EXPECT_FALSE(state.checked("选择框_2账号间隔"));

    QTest::mouseClick(widget("单选框_移动"), Qt::LeftButton);
    EXPECT_TRUE(state.checked("单选框_移动"));
    EXPECT_FALSE(state.checked("单选框_删除"));

    state.setItems("组合框1", {{"动画", 1}, {"音乐", 3}});
    ASSERT_TRUE(waitUntil([&] { return widget<QComboBox>("组合框1")->count() == 2; }));
    widget<QComboBox>("组合框1")->setCurrentIndex(1);
    EXPECT_EQ(state.index("组合框1"), 1);
}

TEST_F(BindingTest, ChangesMadeOnAWorkerThreadReachTheWidgets) {
    WindowState& state = program->window();
    AccountTable& table = program->accounts();
    std::thread worker([&] {
        state.setText("编辑框_账号序列", "7");
        state.setText("编辑框_标题库", "一\r\n二");
        state.setChecked("单选框_系统推荐标签", true);
        state.setCaption("分组框6", "本轮结束，等待5秒继续下一轮");
        state.setStatusPart("状态条1", 1, "视频素材目录没有视频");
        state.setEnabled("按钮4", false);
        state.setVisible("按钮23", false);
        state.setCaption("选择框_自动循环", "循环发布，账号用完后等待   秒后再来");
        int row = table.appendRow();
        table.setCell(row, kColumnStatus, "上传失败");
        table.appendRow();
        table.moveRowToBottom(0);
    });
    worker.join();

    ASSERT_TRUE(waitUntil([&] {
        auto* list = widget<QTreeWidget>("超级列表框1");
        return list->topLevelItemCount() == 2 && list->topLevelItem(1)->text(kColumnStatus) == "上传失败";
    }));
    EXPECT_EQ(fieldText(widget("编辑框_账号序列")), "7");
    EXPECT_EQ(widget<QPlainTextEdit>("编辑框_标题库")->toPlainText(), "一\n二");
    EXPECT_TRUE(widget<QRadioButton>("单选框_系统推荐标签")->isChecked());
    EXPECT_FALSE(widget<QRadioButton>("单选框_混合标签")->isChecked());
    EXPECT_EQ(widget<QGroupBox>("分组框6")->title(), "本轮结束，等待5秒继续下一轮");
    EXPECT_EQ(widget<QLabel>("状态条1#1")->text(), "视频素材目录没有视频");
    EXPECT_FALSE(widget("按钮4")->isEnabled());
    EXPECT_TRUE(widget("按钮23")->isHidden());
    EXPECT_EQ(widget<QCheckBox>("选择框_自动循环")->text(), "循环发布，账号用完后等待");
    EXPECT_EQ(widget<QLabel>("选择框_自动循环#1")->text(), "秒后再来");
    // Mirroring a change does not write it back: the state keeps what the worker wrote.
    EXPECT_EQ(state.text("编辑框_标题库"), "一\r\n二");
}

TEST_F(BindingTest, TheAiTagRadioCannotBeSelectedByClicking) {
    widget<QTabWidget>("选择夹2")->setCurrentIndex(3);
    auto* ai = widget<QRadioButton>("单选框ai标签");
    ASSERT_TRUE(ai->isVisible());
    QTest::mouseClick(ai, Qt::LeftButton);
    QTest::mouseClick(ai, Qt::LeftButton, {}, QPoint(4, ai->height() / 2));
    QCoreApplication::processEvents();
    EXPECT_FALSE(ai->isChecked());
    EXPECT_FALSE(program->window().checked("单选框ai标签"));
    EXPECT_TRUE(program->window().checked("单选框_混合标签"));
}

TEST_F(BindingTest, StartButtonStartsAndStopsARunAndItsCaptionFollowsTheRunState) {
    auto* start = widget<QPushButton>("开始");
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_TRUE(program->run().workerAlive());
    ASSERT_TRUE(waitUntil([&] { return start->text() == "停止"; }));

    QTest::mouseClick(start, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return start->text() == "开始"; }));
    program->run().joinWorker();
    EXPECT_FALSE(program->run().workerAlive());
}

// The longest gap between the 5 ms ticks of a thread that does nothing else: how late the
// machine itself wakes a thread meanwhile, which no code of ours can shorten.
class SchedulingLatency {
public:
    SchedulingLatency()
        : thread_([this] {
              auto last = std::chrono::steady_clock::now();
              while (!stop_) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
                  auto now = std::chrono::steady_clock::now();
                  longest_ = std::max<qint64>(
                      longest_, std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count());
                  last = now;
              }
          }) {}
    ~SchedulingLatency() {
        if (thread_.joinable()) stop();
    }
    qint64 stop() {
        stop_ = true;
        thread_.join();
        return longest_;
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<qint64> longest_{0};
    std::thread thread_;
};

// A run with real one-second pauses writes countdowns and list cells from its worker
// while the event loop keeps turning: no gap between timer ticks exceeds 100 ms beyond what
// the machine's own scheduling costs a thread that does nothing at the same time.
TEST_F(BindingTest, TheWindowStaysResponsiveDuringARun) {
    WindowState& state = program->window();
    program->store().addAccount();
    state.setChecked("选择框_切换账号", false);
    state.setText("编辑框_循环间隔", "3");
    state.setText("编辑框_视频间隔", "0");
    state.setText("编辑框_视频间隔1", "0");

    QElapsedTimer clock;
    qint64 last = 0, longestGap = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - last);
        last = now;
    });
    QTest::mouseClick(widget("开始"), Qt::LeftButton);
    SchedulingLatency machine;
    clock.start();
    ticker.start();
    const auto sawCountdown =
        waitUntil([&] { return widget<QGroupBox>("分组框6")->title().startsWith("本轮结束，等待"); }, 8000);
    waitUntil([] { return false; }, 1500);  // the stretch of the pause between passes being measured
    ticker.stop();
    const qint64 machineGap = machine.stop();
    QTest::mouseClick(widget("开始"), Qt::LeftButton);
    program->run().joinWorker();

    EXPECT_TRUE(sawCountdown);
    EXPECT_LT(longestGap, 100 + machineGap)
        << "event loop blocked for " << longestGap << " ms; an idle thread waited at most " << machineGap << " ms";
}

TEST_F(BindingTest, AccountMenuAndButtonsWorkOnTheListAndTheFiles) {
    namespace fs = std::filesystem;
    auto* list = widget<QTreeWidget>("超级列表框1");
    auto* menu = list->findChild<QMenu*>("账号管理");
    auto action = [&](const char* text) { return menu->findChild<QAction*>(toQt(text)); };
    const fs::path files = dir.path() / "data" / "list";
    clipmill::testing::ScopedEnv trash("XDG_DATA_HOME", (dir.path() / "share").string());

    program->window().setText("编辑框_视频素材目录", "/videos/a");
    action("添加账号")->trigger();
    program->window().setText("编辑框_视频素材目录", "/videos/b");
    action("添加账号")->trigger();
    ASSERT_TRUE(waitUntil([&] { return list->topLevelItemCount() == 2; }));
    EXPECT_EQ(list->topLevelItem(1)->text(kColumnId), "101");
    EXPECT_TRUE(fs::exists(files / "100.json") && fs::exists(files / "101.json"));

    // Selecting a row makes it the account being edited.
    list->setCurrentItem(list->topLevelItem(0));
    EXPECT_EQ(program->accounts().currentRow(), 0);
    EXPECT_EQ(program->window().text("编辑框_账号标识"), "100");
    EXPECT_EQ(program->window().text("编辑框_视频素材目录"), "/videos/a");

    action("删除此账号")->trigger();
    ASSERT_TRUE(waitUntil([&] { return list->topLevelItemCount() == 1; }));
    EXPECT_FALSE(fs::exists(files / "100.json"));
    EXPECT_EQ(list->topLevelItem(0)->text(kColumnId), "101");
    EXPECT_EQ(list->topLevelItem(0)->text(kColumnIndex), "1");

    list->setCurrentItem(list->topLevelItem(0));
    QTest::mouseClick(widget("按钮_删除本账号"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return list->topLevelItemCount() == 0; }));
    EXPECT_FALSE(fs::exists(files / "101.json"));

    action("添加账号")->trigger();
    program->accounts().clear();
    QTest::mouseClick(widget("按钮_读取所有账号"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return list->topLevelItemCount() == 1; }));
    action("清空账号列表")->trigger();
    ASSERT_TRUE(waitUntil([&] { return list->topLevelItemCount() == 0; }));
    EXPECT_TRUE(fs::is_empty(files));
}

// A worker that keeps writing while the window goes away: its writes keep landing in the
// window state and none reaches a destroyed widget (the address sanitizer run sees any).
TEST_F(BindingTest, ClosingTheWindowWhileAWorkerWritesIsSafe) {
    WindowState& state = program->window();
    std::atomic<bool> done{false};
    std::atomic<int> written{0};
    std::thread worker([&] {
        for (int i = 1; !done; ++i) {
            state.setText("编辑框_账号序列", std::to_string(i));
            state.setStatusPart("状态条1", 2, std::to_string(i));
            written = i;
        }
    });
    // The window mirrors the writes while it is open.
    QPointer<QLineEdit> field = widget<QLineEdit>("编辑框_账号序列");
    ASSERT_TRUE(field);
    EXPECT_TRUE(waitUntil([&] { return field->text().toInt() > 0; }));

    window.reset();
    EXPECT_TRUE(field.isNull());
    const int atClose = written;
    // Deliveries queued for the window before it went away, and the writes after it.
    EXPECT_TRUE(waitUntil([&] { return written > atClose + 1000; }));
    done = true;
    worker.join();

    for (QWidget* left : QApplication::allWidgets()) EXPECT_NE(left->objectName(), toQt("编辑框_账号序列"));
    EXPECT_EQ(state.text("编辑框_账号序列"), std::to_string(written));
    EXPECT_EQ(state.statusPart("状态条1", 2), std::to_string(written));
}

}  // namespace
}  // namespace clipmill::ui::testing
