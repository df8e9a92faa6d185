#include "ui/journal_page.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
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

// An unknown outcome is listed as such until something decides it; the user may decide it
// by hand, and the row follows what the journal then says.
TEST(JournalPage, AnUnknownOutcomeCanBeDecidedByHand) {
    TempDir dir;
    PublicationJournal journal(dir.path() / "data/发布记录.jsonl");
    JournalEntry unknown = entry(kEventUnknown, "2024-05-02 09:00:00", "100", "a.mp4");
    unknown.reason = kFailAnswerUnseen;
    journal.append(entry(kEventSubmitting, "2024-05-02 08:59:00", "100", "a.mp4"));
    journal.append(unknown);

    ui::JournalPage page(journal.file());
    std::vector<std::pair<std::string, bool>> decided;
    page.setDecider([&](const VideoIdentity& video, bool published) {
        decided.emplace_back(video.path, published);
        JournalEntry outcome = unknown;
        outcome.event = published ? kEventSubmitted : kEventFailed;
        outcome.time = "2024-05-02 09:10:00";
        return journal.append(outcome);
    });
    auto& model = page.model();
    ASSERT_TRUE(waitUntil([&] { return model.rowCount() == 1; }));
    EXPECT_EQ(cell(model, 0, ui::JournalModel::Result), "待核实");
    EXPECT_EQ(cell(model, 0, ui::JournalModel::Reason), "已提交，未见网站答复，结果待核实");
    page.setToday("2024-05-02");
    page.refresh();
    ASSERT_TRUE(waitUntil([&] { return !page.loading(); }));
    EXPECT_EQ(page.findChild<QLabel*>("发布记录_今日")->text(), ui::toQt("今日已发：无"));  // not known to be published

    auto* table = page.findChild<QTableView*>("发布记录_表格");
    auto* published = page.findChild<QPushButton*>("发布记录_已发布");
    ASSERT_NE(published, nullptr);
    EXPECT_FALSE(published->isEnabled());  // nothing selected
    table->selectRow(0);
    ASSERT_TRUE(published->isEnabled());
    published->click();
    ASSERT_TRUE(waitUntil([&] { return model.rowCount() == 2; }));
    EXPECT_EQ(decided, (std::vector<std::pair<std::string, bool>>{{"/v/a.mp4", true}}));
    EXPECT_EQ(cell(model, 0, ui::JournalModel::Result), "已发布");
    EXPECT_EQ(cell(model, 1, ui::JournalModel::Result), "待核实→已发布");
    table->selectRow(1);
    EXPECT_FALSE(published->isEnabled());  // decided now
}

}  // namespace
}  // namespace clipmill::testing
