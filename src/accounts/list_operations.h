#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "accounts/account_store.h"
#include "accounts/account_table.h"
#include "settings/window_state.h"

namespace clipmill {

// What the user does with the account list besides the store's own operations: selecting a
// row, deleting, moving a row to the bottom, picking an account to log in, and the fields
// of the account group that follow each other. Rows are 0-based; -1 means no row, and an
// operation that needs a row then does nothing.
class AccountListOperations {
public:
    static constexpr const char* kUsedFolderField = "编辑框_使用过视频目录";
    static constexpr const char* kHintLabel = "标签14";
    static constexpr const char* kFolderHint = "修改素材目录后，一定点击【修改账号信息】让设置生效";

    // From now on every change of the material folder field shows the hint.
    AccountListOperations(WindowState& window, AccountTable& table, AccountStore& store,
                          std::filesystem::path programDir);
    ~AccountListOperations();
    AccountListOperations(const AccountListOperations&) = delete;
    AccountListOperations& operator=(const AccountListOperations&) = delete;

    // The row becomes the account being edited: its id, and its material folder unless the
    // row has none (the field then keeps the previous account's folder).
    void selectRow(int row);
    // "删除此账号": deletes the row's file and reloads the list, renumbered from 1.
    void deleteRowAccount(int row);
    // "删除本账号": deletes the edited id's file and removes the selected row; the other
    // rows keep their numbers.
    void deleteEditedAccount();
    // "清空账号列表": empties the list and sends every account file to the trash.
    void clearList();
    // Makes the row current and its id the edited one, and gives that id; nothing when there
    // is no such row.
    std::optional<std::string> pickForLogIn(int row);
    // The row's nickname, folder and id go to a new last row numbered with the old row
    // count, then the row is removed. The status columns stay behind, the other rows keep
    // their numbers and the files are not touched.
    void moveRowToBottom(int row);
    // An empty used-videos field becomes programDir/已使用视频, and that folder is created.
    void defaultUsedFolder();

private:
    WindowState& window_;
    AccountTable& table_;
    AccountStore& store_;
    std::filesystem::path programDir_;
    int subscription_ = 0;
};

}  // namespace clipmill
