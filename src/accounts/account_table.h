#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "settings/account_columns.h"
#include "support/listener_list.h"

namespace clipmill {

// Column indexes of the account list.
enum AccountColumn : int {
    kColumnIndex = 0,      // 序号
    kColumnNick = 1,       // 昵称
    kColumnFolder = 2,     // 素材目录
    kColumnId = 3,         // 账号标识
    kColumnStatus = 4,     // 状态
    kColumnPublishing = 5, // 正在发布
    kColumnDoneToday = 6,  // 今天已发
};

// The account list as data: rows of 18 text cells, safe to use from any thread, with
// listeners that the window uses to mirror it. Operations on a row that does not exist
// do nothing and reads of it give "".
class AccountTable {
public:
    using Row = std::array<std::string, kAccountColumnCount>;

    enum class Change { Reset, RowAppended, RowRemoved, RowMoved, CellChanged };
    struct Event {
        Change change;
        int row = -1;     // the row concerned (RowMoved: where it was)
        int column = -1;  // CellChanged only
    };
    using Listener = std::function<void(const Event&)>;

    int rowCount() const;
    std::string cell(int row, int column) const;
    // Setting a cell's text clears its tooltip.
    void setCell(int row, int column, const std::string& text);
    // The text shown when the pointer rests on a cell; "" for none.
    std::string cellToolTip(int row, int column) const;
    void setCellToolTip(int row, int column, const std::string& text);
    std::vector<Row> toolTips() const;
    Row row(int row) const;
    std::vector<Row> rows() const;

    int appendRow();  // returns the new row's index
    void removeRow(int row);
    void moveRowToBottom(int row);
    void clear();

    // The row the run works on and whose count a new turn clears; 0-based, -1 when none.
    int currentRow() const { return currentRow_.load(); }
    void setCurrentRow(int row);
    // The row the user chose last (selected, logged in, added, loaded): the one the list
    // operations act on, also while a run moves currentRow. It follows its row when rows
    // above it are removed or moved, and is -1 once its own row is gone.
    int selectedRow() const { return selectedRow_.load(); }
    void setSelectedRow(int row);
    // Both of the above: the user's choice when no run is in the way.
    void chooseRow(int row);

    int subscribe(Listener listener);
    void unsubscribe(int id);

private:
    void notify(const Event& event);

    mutable std::mutex mutex_;
    std::vector<Row> rows_;
    std::vector<Row> tips_;  // row for row with rows_
    std::atomic<int> currentRow_{-1};
    std::atomic<int> selectedRow_{-1};
    ListenerList<Listener> listeners_;
};

}  // namespace clipmill
