#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <mutex>
#include <string>

#include "accounts/account_record.h"
#include "accounts/account_table.h"
#include "settings/window_state.h"
#include "support/dialogs.h"
#include "support/listener_list.h"

namespace clipmill {

// The account files in <program>/data/list/<id>.json and the operations that turn them
// into rows of the account list and back.
//
// loadAccountList may run on any thread, also on two at once (the load at start and the
// user's reload); the other operations are meant for the interface thread.
class AccountStore {
public:
    static constexpr const char* kFolderField = "编辑框_视频素材目录";
    static constexpr const char* kIdField = "编辑框_账号标识";

    AccountStore(std::filesystem::path programDir, WindowState& window, AccountTable& table, Dialogs& dialogs);

    // Rebuilds the list from the account files, in the order the folder lists them. Loads
    // run one after the other, so each leaves every file listed once.
    void loadAccountList();
    // Heard at the end of every loadAccountList, on its thread, with the rows it listed.
    int onListLoaded(std::function<void(int rows)> listener);
    void removeListLoadedListener(int id);
    // Creates an account with the next free id and the material folder of the window.
    void addAccount();
    // Writes the edited id's material folder into its file and into the selected row.
    void modifyAccount();
    // Deletes the id's file for good; a missing file is no error.
    void deleteAccountFile(const std::string& id);
    // Sends every account file to the desktop trash; false if any stayed behind.
    bool deleteAllAccountFiles();

    std::filesystem::path listFolder() const;
    std::filesystem::path accountFilePath(const std::string& id) const;
    // The first id from 100 upwards that has no file.
    std::string nextFreeId() const;
    // Whether an id can name a file in the list folder: not empty and a plain name, so
    // that an id taken from a hand-edited file cannot reach files elsewhere.
    static bool isUsableId(const std::string& id);

private:
    std::vector<std::filesystem::path> listAccountFiles() const;
    void appendRowFor(const std::filesystem::path& file);
    // The account in `file`: empty when there is none or it holds no account, nothing when
    // the file is there but cannot be read.
    std::optional<AccountRecord> storedRecord(const std::filesystem::path& file) const;
    bool validateEditFields();

    std::filesystem::path programDir_;
    WindowState& window_;
    AccountTable& table_;
    Dialogs& dialogs_;
    std::mutex loadMutex_;
    ListenerList<std::function<void(int)>> listLoaded_;
};

}  // namespace clipmill
