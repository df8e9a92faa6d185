#pragma once

#include <QAbstractTableModel>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QPointer>
#include <QTableView>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/journal_view.h"

namespace clipmill::ui {

// The journal's outcomes, newest first, filtered by account and day.
class JournalModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Account, Nickname, Video, Title, Result, Reason, ColumnCount };

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Rows the journal gained; `fromStart`: the file was replaced, they are all of them.
    void add(std::vector<JournalRow> rows, bool fromStart);
    // "" for all accounts, all days.
    void setFilter(std::string accountId, std::string day);
    const JournalRow* rowAt(int row) const;
    const std::vector<JournalRow>& all() const { return rows_; }

private:
    bool shown(const JournalRow& row) const;
    void refilter();

    std::vector<JournalRow> rows_;    // journal order
    std::vector<int> visible_;        // indexes into rows_, newest first
    std::string account_;
    std::string day_;
};

// The page "发布记录": the journal as a table that follows the file while a run appends
// to it. The file is read on a thread of its own; the table is filled on the UI thread.
class JournalPage final : public QWidget {
    Q_OBJECT
public:
    JournalPage(std::filesystem::path journalFile, QWidget* parent = nullptr);
    ~JournalPage() override;

    JournalModel& model() { return model_; }
    // Reads what the file gained now instead of at the next tick.
    void refresh();
    // How a record folder is opened; tests replace it.
    void setOpener(std::function<void(const std::string&)> open) { open_ = std::move(open); }
    // The day "today" is, "2024-05-01"; the local date unless a test sets it.
    void setToday(std::string day) { today_ = std::move(day); }
    bool loading() const { return loading_.load(); }
    // Decides an unknown outcome by the user's word ("已发布" true, "未发布" false); false
    // when nothing was written.
    using Decider = std::function<bool(const VideoIdentity& video, bool published)>;
    void setDecider(Decider decide) { decide_ = std::move(decide); }

private:
    void received(std::vector<JournalRow> rows, bool fromStart);
    void updateChoices();
    void updateCounts();
    void openRecordOf(const QModelIndex& index);
    const JournalRow* selectedRow() const;
    void updateDecisionButtons();
    void decideSelected(bool published);
    std::string today() const;

    JournalFollower follower_;
    JournalModel model_;
    QComboBox* accounts_;
    QComboBox* days_;
    QLabel* counts_;
    QTableView* table_;
    QPushButton* markPublished_;
    QPushButton* markNotPublished_;
    Decider decide_;
    QTimer timer_;
    std::thread reader_;
    std::atomic<bool> loading_{false};
    std::set<std::string> accountChoices_;
    std::set<std::string> dayChoices_;
    std::function<void(const std::string&)> open_;
    std::string today_;
};

}  // namespace clipmill::ui
