#include "accounts/account_table.h"

namespace clipmill {

namespace {
bool validColumn(int column) { return column >= 0 && column < kAccountColumnCount; }
}  // namespace

int AccountTable::rowCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(rows_.size());
}

std::string AccountTable::cell(int row, int column) const {
    std::lock_guard lock(mutex_);
    if (row < 0 || row >= static_cast<int>(rows_.size()) || !validColumn(column)) return {};
    return rows_[row][column];
}

void AccountTable::setCell(int row, int column, const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        if (row < 0 || row >= static_cast<int>(rows_.size()) || !validColumn(column)) return;
        if (rows_[row][column] == text && tips_[row][column].empty()) return;
        rows_[row][column] = text;
        tips_[row][column].clear();
    }
    notify({Change::CellChanged, row, column});
}

std::string AccountTable::cellToolTip(int row, int column) const {
    std::lock_guard lock(mutex_);
    if (row < 0 || row >= static_cast<int>(rows_.size()) || !validColumn(column)) return {};
    return tips_[row][column];
}

void AccountTable::setCellToolTip(int row, int column, const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        if (row < 0 || row >= static_cast<int>(rows_.size()) || !validColumn(column)) return;
        if (tips_[row][column] == text) return;
        tips_[row][column] = text;
    }
    notify({Change::CellChanged, row, column});
}

std::vector<AccountTable::Row> AccountTable::toolTips() const {
    std::lock_guard lock(mutex_);
    return tips_;
}

AccountTable::Row AccountTable::row(int row) const {
    std::lock_guard lock(mutex_);
    if (row < 0 || row >= static_cast<int>(rows_.size())) return {};
    return rows_[row];
}

std::vector<AccountTable::Row> AccountTable::rows() const {
    std::lock_guard lock(mutex_);
    return rows_;
}

int AccountTable::appendRow() {
    int index;
    {
        std::lock_guard lock(mutex_);
        rows_.emplace_back();
        tips_.emplace_back();
        index = static_cast<int>(rows_.size()) - 1;
    }
    notify({Change::RowAppended, index});
    return index;
}

void AccountTable::removeRow(int row) {
    {
        std::lock_guard lock(mutex_);
        if (row < 0 || row >= static_cast<int>(rows_.size())) return;
        rows_.erase(rows_.begin() + row);
        tips_.erase(tips_.begin() + row);
        const int selected = selectedRow_.load();
        if (selected == row) selectedRow_ = -1;
        if (selected > row) selectedRow_ = selected - 1;
    }
    notify({Change::RowRemoved, row});
}

void AccountTable::moveRowToBottom(int row) {
    {
        std::lock_guard lock(mutex_);
        if (row < 0 || row >= static_cast<int>(rows_.size())) return;
        Row moved = std::move(rows_[row]);
        rows_.erase(rows_.begin() + row);
        rows_.push_back(std::move(moved));
        Row movedTips = std::move(tips_[row]);
        tips_.erase(tips_.begin() + row);
        tips_.push_back(std::move(movedTips));
        const int selected = selectedRow_.load();
        if (selected == row) selectedRow_ = static_cast<int>(rows_.size()) - 1;
        if (selected > row) selectedRow_ = selected - 1;
    }
    notify({Change::RowMoved, row});
}

void AccountTable::clear() {
    {
        std::lock_guard lock(mutex_);
        rows_.clear();
        tips_.clear();
        selectedRow_ = -1;
    }
    notify({Change::Reset});
}

void AccountTable::setCurrentRow(int row) { currentRow_.store(row); }

void AccountTable::setSelectedRow(int row) { selectedRow_.store(row); }

void AccountTable::chooseRow(int row) {
    setCurrentRow(row);
    setSelectedRow(row);
}

int AccountTable::subscribe(Listener listener) { return listeners_.add(std::move(listener)); }

void AccountTable::unsubscribe(int id) { listeners_.remove(id); }

void AccountTable::notify(const Event& event) { listeners_.notify(event); }

}  // namespace clipmill
