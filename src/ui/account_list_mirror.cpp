#include "ui/account_list_mirror.h"

#include <algorithm>

#include "ui/qt_text.h"

namespace clipmill::ui {

void AccountListMirror::replay(const std::vector<AccountTable::Event>& events) {
    for (const auto& event : events) replayOne(event);
}

void AccountListMirror::replayOne(const AccountTable::Event& event) {
    using Change = AccountTable::Change;
    const int count = list_.topLevelItemCount();
    switch (event.change) {
        case Change::Reset:
            list_.clear();
            break;
        case Change::RowAppended:
            list_.addTopLevelItem(new QTreeWidgetItem);
            break;
        case Change::RowRemoved:
            if (event.row >= 0 && event.row < count) delete list_.takeTopLevelItem(event.row);
            break;
        case Change::RowMoved:
            if (event.row >= 0 && event.row < count) list_.addTopLevelItem(list_.takeTopLevelItem(event.row));
            break;
        case Change::CellChanged:
            break;
    }
}

void AccountListMirror::copyCells() {
    const std::vector<AccountTable::Row> rows = table_.rows();
    const std::vector<AccountTable::Row> tips = table_.toolTips();
    const int wanted = static_cast<int>(std::min(rows.size(), tips.size()));
    while (list_.topLevelItemCount() > wanted) delete list_.takeTopLevelItem(list_.topLevelItemCount() - 1);
    while (list_.topLevelItemCount() < wanted) list_.addTopLevelItem(new QTreeWidgetItem);
    for (int r = 0; r < wanted; ++r) {
        QTreeWidgetItem* item = list_.topLevelItem(r);
        for (int c = 0; c < kAccountColumnCount; ++c) {
            QString text = toQt(rows[r][c]);
            if (item->text(c) != text) item->setText(c, text);
            QString tip = toQt(tips[r][c]);
            if (item->toolTip(c) != tip) item->setToolTip(c, tip);
        }
    }
}

}  // namespace clipmill::ui
