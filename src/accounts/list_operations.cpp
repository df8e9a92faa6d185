#include "accounts/list_operations.h"

#include <system_error>

namespace clipmill {

namespace fs = std::filesystem;

namespace {
constexpr const char* kUsedFolderName = "已使用视频";
}

AccountListOperations::AccountListOperations(WindowState& window, AccountTable& table, AccountStore& store,
                                             fs::path programDir)
    : window_(window), table_(table), store_(store), programDir_(std::move(programDir)) {
    subscription_ = window_.subscribe([this](const std::string& control, ControlField field) {
        if (field == ControlField::Text && control == AccountStore::kFolderField)
            window_.setCaption(kHintLabel, kFolderHint);
    });
}

AccountListOperations::~AccountListOperations() {
    window_.unsubscribe(subscription_);
}

void AccountListOperations::selectRow(int row) {
    if (row < 0 || row >= table_.rowCount()) return;
    table_.chooseRow(row);
    window_.setText(AccountStore::kIdField, table_.cell(row, kColumnId));
    const std::string folder = table_.cell(row, kColumnFolder);
    if (!folder.empty()) window_.setText(AccountStore::kFolderField, folder);
}

void AccountListOperations::deleteRowAccount(int row) {
    if (row < 0 || row >= table_.rowCount()) return;
    store_.deleteAccountFile(table_.cell(row, kColumnId));
    store_.loadAccountList();
}

void AccountListOperations::deleteEditedAccount() {
    store_.deleteAccountFile(window_.text(AccountStore::kIdField));
    table_.removeRow(table_.selectedRow());
}

void AccountListOperations::clearList() {
    table_.clear();
    store_.deleteAllAccountFiles();
}

std::optional<std::string> AccountListOperations::pickForLogIn(int row) {
    if (row < 0 || row >= table_.rowCount()) return std::nullopt;
    table_.chooseRow(row);
    std::string accountId = table_.cell(row, kColumnId);
    window_.setText(AccountStore::kIdField, accountId);
    return accountId;
}

void AccountListOperations::moveRowToBottom(int row) {
    const int count = table_.rowCount();
    if (row < 0 || row >= count) return;
    const AccountTable::Row moved = table_.row(row);
    const int last = table_.appendRow();
    table_.setCell(last, kColumnIndex, std::to_string(count));
    for (int column : {kColumnNick, kColumnFolder, kColumnId}) table_.setCell(last, column, moved[column]);
    table_.removeRow(row);
}

void AccountListOperations::defaultUsedFolder() {
    if (!window_.text(kUsedFolderField).empty()) return;
    const fs::path folder = programDir_ / kUsedFolderName;
    window_.setText(kUsedFolderField, folder.string());
    std::error_code ec;
    fs::create_directory(folder, ec);
}

}  // namespace clipmill
