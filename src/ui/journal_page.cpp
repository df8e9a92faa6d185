#include "ui/journal_page.h"

#include <QDate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMetaObject>
#include <QVBoxLayout>

#include "platform/desktop_open.h"
#include "support/thread_guard.h"
#include "ui/qt_text.h"

namespace clipmill::ui {

namespace {
constexpr int kFollowMs = 2000;
const char* const kAllAccounts = "全部账号";
const char* const kAllDays = "全部日期";
}  // namespace

int JournalModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(visible_.size());
}

int JournalModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

const JournalRow* JournalModel::rowAt(int row) const {
    return row >= 0 && row < static_cast<int>(visible_.size()) ? &rows_[visible_[row]] : nullptr;
}

QVariant JournalModel::data(const QModelIndex& index, int role) const {
    const JournalRow* row = rowAt(index.row());
    if (!row) return {};
    if (role == Qt::ToolTipRole && row->failed && !row->recordFolder.empty()) return toQt("双击打开失败记录");
    if (role == Qt::ForegroundRole && row->failed) return QColor(Qt::red);
    if (role == Qt::ForegroundRole && row->undecided) return QColor(0xb3, 0x6b, 0x00);
    if (role == Qt::ToolTipRole && row->undecided) return toQt("结果待核实：选中后可手动确认已发布或未发布");
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
        case Time: return toQt(row->time);
        case Account: return toQt(row->accountId);
        case Nickname: return toQt(row->nickname);
        case Video: return toQt(row->video);
        case Title: return toQt(row->title);
        case Result: return toQt(row->result);
        case Reason: return toQt(row->reason);
        default: return {};
    }
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const headers[] = {"时间", "账号", "昵称", "视频", "标题", "结果", "原因"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount) return {};
    return toQt(headers[section]);
}

bool JournalModel::shown(const JournalRow& row) const {
    return (account_.empty() || row.accountId == account_) && (day_.empty() || rowDay(row) == day_);
}

void JournalModel::add(std::vector<JournalRow> rows, bool fromStart) {
    if (fromStart) {
        beginResetModel();
        rows_ = std::move(rows);
        visible_.clear();
        for (int i = static_cast<int>(rows_.size()) - 1; i >= 0; --i)
            if (shown(rows_[i])) visible_.push_back(i);
        endResetModel();
        return;
    }
    std::vector<int> fresh;
    const int first = static_cast<int>(rows_.size());
    for (auto& row : rows) rows_.push_back(std::move(row));
    if (markDecided(rows_, static_cast<std::size_t>(first)) && rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
    for (int i = static_cast<int>(rows_.size()) - 1; i >= first; --i)
        if (shown(rows_[i])) fresh.push_back(i);
    if (fresh.empty()) return;
    beginInsertRows({}, 0, static_cast<int>(fresh.size()) - 1);
    visible_.insert(visible_.begin(), fresh.begin(), fresh.end());
    endInsertRows();
}

void JournalModel::setFilter(std::string accountId, std::string day) {
    account_ = std::move(accountId);
    day_ = std::move(day);
    beginResetModel();
    visible_.clear();
    for (int i = static_cast<int>(rows_.size()) - 1; i >= 0; --i)
        if (shown(rows_[i])) visible_.push_back(i);
    endResetModel();
}

JournalPage::JournalPage(std::filesystem::path journalFile, QWidget* parent)
    : QWidget(parent),
      follower_(std::move(journalFile)),
      accounts_(new QComboBox),
      days_(new QComboBox),
      counts_(new QLabel),
      table_(new QTableView),
      markPublished_(new QPushButton(toQt("已发布"))),
      markNotPublished_(new QPushButton(toQt("未发布"))) {
    setObjectName("发布记录_页面");
    accounts_->setObjectName("发布记录_账号");
    days_->setObjectName("发布记录_日期");
    counts_->setObjectName("发布记录_今日");
    table_->setObjectName("发布记录_表格");
    markPublished_->setObjectName("发布记录_已发布");
    markNotPublished_->setObjectName("发布记录_未发布");
    markPublished_->setToolTip(toQt("选中的待核实视频确已在网站上：记为已发布并处理视频文件"));
    markNotPublished_->setToolTip(toQt("选中的待核实视频不在网站上：记为未发布，视频可再次发布"));
    accounts_->addItem(toQt(kAllAccounts));
    days_->addItem(toQt(kAllDays));
    counts_->setTextFormat(Qt::PlainText);
    counts_->setWordWrap(true);
    table_->setModel(&model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setDefaultSectionSize(20);
    table_->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {128, 44, 60, 90, 90, 58};
    for (int c = 0; c < 6; ++c) table_->setColumnWidth(c, widths[c]);

    auto* filters = new QHBoxLayout;
    filters->addWidget(accounts_);
    filters->addWidget(days_);
    filters->addStretch();
    filters->addWidget(markPublished_);
    filters->addWidget(markNotPublished_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(filters);
    layout->addWidget(counts_);
    layout->addWidget(table_, 1);

    open_ = [](const std::string& folder) { openWithDesktop(folder); };
    auto refilter = [this] {
        const std::string account = accounts_->currentIndex() <= 0 ? std::string() : fromQt(accounts_->currentText());
        const std::string day = days_->currentIndex() <= 0 ? std::string() : fromQt(days_->currentText());
        model_.setFilter(account, day);
    };
    connect(accounts_, &QComboBox::activated, this, refilter);
    connect(days_, &QComboBox::activated, this, refilter);
    connect(table_, &QTableView::doubleClicked, this, &JournalPage::openRecordOf);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &JournalPage::updateDecisionButtons);
    connect(&model_, &QAbstractItemModel::modelReset, this, &JournalPage::updateDecisionButtons);
    connect(&model_, &QAbstractItemModel::dataChanged, this, &JournalPage::updateDecisionButtons);
    connect(markPublished_, &QPushButton::clicked, this, [this] { decideSelected(true); });
    connect(markNotPublished_, &QPushButton::clicked, this, [this] { decideSelected(false); });
    updateDecisionButtons();
    connect(&timer_, &QTimer::timeout, this, &JournalPage::refresh);
    timer_.start(kFollowMs);
    refresh();
}

JournalPage::~JournalPage() {
    timer_.stop();
    if (reader_.joinable()) reader_.join();
}

void JournalPage::refresh() {
    if (loading_.exchange(true)) return;
    if (reader_.joinable()) reader_.join();
    QPointer<JournalPage> self(this);
    reader_ = std::thread([this, self] {
        const bool read = runGuarded("journal reader", [this, self] {
            std::vector<JournalRow> rows;
            appendJournalRows(follower_.readNew(), rows);
            const bool fromStart = follower_.restarted();
            // The page outlives this thread (its destructor joins it), so the call is safe to queue.
            QMetaObject::invokeMethod(
                this,
                [this, self, rows = std::move(rows), fromStart]() mutable {
                    if (self) received(std::move(rows), fromStart);
                },
                Qt::QueuedConnection);
        });
        if (!read) loading_ = false;  // the next refresh tries again
    });
}

void JournalPage::received(std::vector<JournalRow> rows, bool fromStart) {
    if (!rows.empty() || fromStart) {
        model_.add(std::move(rows), fromStart);
        updateChoices();
    }
    updateCounts();
    loading_ = false;
}

void JournalPage::updateChoices() {
    for (const JournalRow& row : model_.all()) {
        if (accountChoices_.insert(row.accountId).second) {
            int at = 1;
            while (at < accounts_->count() && fromQt(accounts_->itemText(at)) < row.accountId) ++at;
            accounts_->insertItem(at, toQt(row.accountId));
        }
        if (dayChoices_.insert(rowDay(row)).second) {
            int at = 1;  // newest day first
            while (at < days_->count() && fromQt(days_->itemText(at)) > rowDay(row)) ++at;
            days_->insertItem(at, toQt(rowDay(row)));
        }
    }
}

std::string JournalPage::today() const {
    return today_.empty() ? fromQt(QDate::currentDate().toString("yyyy-MM-dd")) : today_;
}

void JournalPage::updateCounts() {
    const auto counts = publishedOn(model_.all(), today());
    std::string text = "今日已发：";
    if (counts.empty()) text += "无";
    for (const auto& [account, count] : counts) text += "  " + account + "：" + std::to_string(count);
    counts_->setText(toQt(text));
}

const JournalRow* JournalPage::selectedRow() const {
    const QModelIndexList selected = table_->selectionModel()->selectedRows();
    return selected.isEmpty() ? nullptr : model_.rowAt(selected.front().row());
}

void JournalPage::updateDecisionButtons() {
    const JournalRow* row = selectedRow();
    const bool undecided = row && row->undecided && decide_;
    markPublished_->setEnabled(undecided);
    markNotPublished_->setEnabled(undecided);
}

void JournalPage::decideSelected(bool published) {
    const JournalRow* row = selectedRow();
    if (!row || !row->undecided || !decide_) return;
    const VideoIdentity video = row->file;
    if (decide_(video, published)) refresh();
}

void JournalPage::openRecordOf(const QModelIndex& index) {
    const JournalRow* row = model_.rowAt(index.row());
    if (!row || !row->failed || row->recordFolder.empty()) return;
    std::error_code ec;
    if (!std::filesystem::is_directory(std::filesystem::path(row->recordFolder), ec)) return;
    open_(row->recordFolder);
}

}  // namespace clipmill::ui
