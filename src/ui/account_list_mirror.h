#pragma once

#include <QTreeWidget>
#include <vector>

#include "accounts/account_table.h"

namespace clipmill::ui {

// Keeps the list widget equal to the account table. Table events arrive late (queued
// from the thread that made them), so rows are inserted, removed and moved by replaying
// the events in order, and the cells are then copied from the table as it is now.
class AccountListMirror {
public:
    AccountListMirror(QTreeWidget& list, const AccountTable& table) : list_(list), table_(table) {}

    void replay(const std::vector<AccountTable::Event>& events);
    void copyCells();

private:
    void replayOne(const AccountTable::Event& event);

    QTreeWidget& list_;
    const AccountTable& table_;
};

}  // namespace clipmill::ui
