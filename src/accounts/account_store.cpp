#include "accounts/account_store.h"

#include <unistd.h>

#include "accounts/account_file.h"
#include "platform/trash.h"
#include "support/atomic_file.h"

namespace clipmill {

namespace fs = std::filesystem;

namespace {

constexpr int kFirstId = 100;

bool isAccountFile(const fs::directory_entry& entry) {
    std::error_code ec;
    return entry.path().extension() == ".json" && entry.is_regular_file(ec);
}

// The record a new or modified account gets: the folder and id from the window, and the
// per-account category, tag and description options fixed to "use the main window's".
void setEditedKeys(AccountRecord& record, const std::string& folder, const std::string& id) {
    record.setText("素材目录", folder);
    record.setText("缓存id", id);
    record.setInteger("分类1", 0);
    record.setInteger("分类2", 0);
    record.setText("标签", "");
    record.setText("简介", "");
}

}  // namespace

AccountStore::AccountStore(fs::path programDir, WindowState& window, AccountTable& table, Dialogs& dialogs)
    : programDir_(std::move(programDir)), window_(window), table_(table), dialogs_(dialogs) {}

fs::path AccountStore::listFolder() const { return programDir_ / "data" / "list"; }

fs::path AccountStore::accountFilePath(const std::string& id) const { return listFolder() / (id + ".json"); }

bool AccountStore::isUsableId(const std::string& id) {
    return !id.empty() && id != "." && id != ".." && id.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

std::string AccountStore::nextFreeId() const {
    std::error_code ec;
    int n = kFirstId;
    while (fs::exists(fs::symlink_status(accountFilePath(std::to_string(n)), ec))) ++n;
    return std::to_string(n);
}

std::vector<fs::path> AccountStore::listAccountFiles() const {
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(listFolder(), ec), end; !ec && it != end; it.increment(ec))
        if (isAccountFile(*it)) files.push_back(it->path());
    return files;
}

void AccountStore::appendRowFor(const fs::path& file) {
    AccountRecord record;
    bool readable = readAccountFile(file, record);
    int row = table_.appendRow();
    table_.chooseRow(row);
    table_.setCell(row, kColumnIndex, std::to_string(row + 1));
    table_.setCell(row, kColumnNick, record.text("昵称"));
    table_.setCell(row, kColumnFolder, record.text("素材目录"));
    // A file that cannot be read has no "缓存id" to show. Its name stands in for it so the
    // row still designates the file and the user can delete or rewrite it.
    table_.setCell(row, kColumnId, readable ? record.text("缓存id") : file.stem().string());
    table_.setCell(row, kColumnStatus, "");
}

void AccountStore::loadAccountList() {
    int rows = 0;
    {
        std::lock_guard lock(loadMutex_);
        std::vector<fs::path> files = listAccountFiles();
        table_.clear();
        for (const auto& file : files) appendRowFor(file);
        rows = table_.rowCount();
    }
    listLoaded_.notify(rows);
}

int AccountStore::onListLoaded(std::function<void(int rows)> listener) { return listLoaded_.add(std::move(listener)); }

void AccountStore::removeListLoadedListener(int id) { listLoaded_.remove(id); }

void AccountStore::addAccount() {
    int row = table_.appendRow();
    table_.chooseRow(row);
    std::string id = nextFreeId();
    window_.setText(kIdField, id);
    std::string folder = window_.text(kFolderField);
    table_.setCell(row, kColumnIndex, std::to_string(row + 1));
    table_.setCell(row, kColumnNick, "");
    table_.setCell(row, kColumnFolder, folder);
    table_.setCell(row, kColumnId, id);
    table_.setCell(row, kColumnStatus, "已添加");

    AccountRecord record;
    record.setText("昵称", "自动获取");
    setEditedKeys(record, folder, id);
    std::error_code ec;
    fs::create_directories(listFolder(), ec);
    writeAccountFile(accountFilePath(id), record);
}

bool AccountStore::validateEditFields() {
    if (window_.text(kIdField).empty()) {
        dialogs_.information("账号标识 不能为空");
        return false;
    }
    if (window_.text(kFolderField).empty()) {
        dialogs_.information("视频素材目录 不能为空");
        return false;
    }
    return true;
}

std::optional<AccountRecord> AccountStore::storedRecord(const fs::path& file) const {
    ExistingContent existing = readExistingContent(file);
    AccountRecord record;
    if (existing.state == ExistingContent::State::Unreadable) return std::nullopt;
    // A file that reads but holds no account is rewritten from the edit: there is nothing in
    // it the program could keep.
    if (existing.state == ExistingContent::State::Read) parseAccountFile(existing.bytes, record);
    return record;
}

void AccountStore::modifyAccount() {
    if (!validateEditFields()) return;
    std::string id = window_.text(kIdField);
    std::string folder = window_.text(kFolderField);
    int row = table_.selectedRow();
    table_.setCell(row, kColumnIndex, std::to_string(row + 1));
    table_.setCell(row, kColumnFolder, folder);
    table_.setCell(row, kColumnId, id);
    if (!isUsableId(id)) return;

    fs::path file = accountFilePath(id);
    std::optional<AccountRecord> record = storedRecord(file);
    if (!record) {
        // Rewriting it from the edit alone would lose its cookies and everything else in it.
        dialogs_.information("账号文件无法读取，未作修改：" + file.string());
        return;
    }
    setEditedKeys(*record, folder, id);
    writeAccountFile(file, *record);
}

void AccountStore::deleteAccountFile(const std::string& id) {
    if (!isUsableId(id)) return;
    ::unlink(accountFilePath(id).c_str());
}

bool AccountStore::deleteAllAccountFiles() {
    bool all = true;
    for (const auto& file : listAccountFiles()) all = moveToTrash(file) && all;
    return all;
}

}  // namespace clipmill
