#include "ui/journal_page.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTableView>

#include "event_loop_wait.h"
#include "fixtures/temp_dir.h"
#include "ui/qt_text.h"

namespace clipmill::testing {
namespace {

JournalEntry entry(const char* event, const char* time, const char* account, const char* video) {
    JournalEntry e;
    e.event = event;
    e.time = time;
    e.accountId = account;
    e.nickname = std::string("昵称") + account;
    e.video = {std::string("/v/") + video, 5, 1};
    if (e.event == kEventSubmitted) e.title = std::string("标题") + video;
    return e;
}

std::string cell(ui::JournalModel& model, int row, int column) {
    return ui::fromQt(model.data(model.index(row, column), Qt::DisplayRole).toString());
}

// Outcomes only, newest first, filtered, with today's count per account; a double-click
// on a failure opens its record; lines a run appends later show up on their own.
TEST(JournalPage, ShowsTheOutcomesNewestFirstAndFollowsTheFile) {
    TempDir dir;
    PublicationJournal journal(dir.path() / "data/发布记录.jsonl");
    journal.append(entry(kEventSubmitting, "2024-05-01 10:00:00", "100", "a.mp4"));
    journal.append(entry(kEventSubmitted, "2024-05-01 10:00:05", "100", "a.mp4"));
    journal.append(entry(kEventDisposed, "2024-05-01 10:00:06", "100", "a.mp4"));
    JournalEntry failed = entry(kEventFailed, "2024-05-02 09:00:00", "101", "b.mp4");
    failed.reason = kFailElementMissing;
    failed.reasonText = "找不到页面元素：submit（.x）";
    failed.recordFolder = dir.path().string();
    journal.append(failed);
    journal.append(entry(kEventSubmitted, "2024-05-02 09:30:00", "100", "c.mp4"));

    ui::JournalPage page(journal.file());
    page.setToday("2024-05-02");
    std::vector<std::string> opened;
    page.setOpener([&](const std::string& folder) { opened.push_back(folder); });
    auto& model = page.model();
    ASSERT_TRUE(waitUntil([&] { return model.rowCount() == 3; }));
    EXPECT_EQ(cell(model, 0, ui::JournalModel::Video), "c.mp4");
    EXPECT_EQ(cell(model, 1, ui::JournalModel::Result), "上传失败");
    EXPECT_EQ(cell(model, 1, ui::JournalModel::Reason), "找不到页面元素：submit（.x）");
    EXPECT_EQ(cell(model, 2, ui::JournalModel::Title), "标题a.mp4");
    page.refresh();
    ASSERT_TRUE(waitUntil([&] { return !page.loading(); }));
    EXPECT_EQ(page.findChild<QLabel*>("发布记录_今日")->text(), ui::toQt("今日已发：  100：1"));

    auto* table = page.findChild<QTableView*>("发布记录_表格");
    emit table->doubleClicked(model.index(0, 0));  // a publication: nothing to open
    emit table->doubleClicked(model.index(1, 0));
    EXPECT_EQ(opened, std::vector<std::string>{dir.path().string()});

    auto* accounts = page.findChild<QComboBox*>("发布记录_账号");
    ASSERT_EQ(accounts->count(), 3);
    accounts->setCurrentIndex(2);
    emit accounts->activated(2);
    EXPECT_EQ(model.rowCount(), 1);
    auto* days = page.findChild<QComboBox*>("发布记录_日期");
    ASSERT_EQ(ui::fromQt(days->itemText(1)), "2024-05-02");
    accounts->setCurrentIndex(0);
    emit accounts->activated(0);
    days->setCurrentIndex(2);
    emit days->activated(2);
    EXPECT_EQ(model.rowCount(), 1);
    days->setCurrentIndex(0);
    emit days->activated(0);

    journal.append(entry(kEventSubmitted, "2024-05-02 11:00:00", "101", "d.mp4"));
    page.refresh();
    ASSERT_TRUE(waitUntil([&] { return model.rowCount() == 4; }));
    EXPECT_EQ(cell(model, 0, ui::JournalModel::Video), "d.mp4");
}

}  // namespace
}  // namespace clipmill::testing
