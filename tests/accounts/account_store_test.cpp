#include "accounts/account_store.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "accounts/account_file.h"
#include "fixtures/poll_until.h"
#include "fixtures/recording_dialogs.h"
#include "fixtures/scoped_env.h"
#include "fixtures/temp_dir.h"
#include "fixtures/unreadable_file.h"

namespace clipmill {
namespace {

namespace fs = std::filesystem;
using testing::RecordingDialogs;
using testing::ScopedEnv;
using testing::TempDir;

std::vector<ControlDef> editFields() {
    return {
        {.name = AccountStore::kFolderField, .kind = ControlKind::TextField},
        {.name = AccountStore::kIdField, .kind = ControlKind::TextField, .defaultText = "100"},
    };
}

class AccountStoreTest : public ::testing::Test {
protected:
    std::string file(const std::string& id) { return dir.read("data/list/" + id + ".json"); }
    void writeFile(const std::string& id, const std::string& json) { dir.write("data/list/" + id + ".json", json); }
    AccountRecord readFile(const std::string& id) {
        AccountRecord record;
        readAccountFile(store.accountFilePath(id), record);
        return record;
    }
    // Columns 0 to 4 of a row.
    std::vector<std::string> cells(int row) {
        auto r = table.row(row);
        return {r[0], r[1], r[2], r[3], r[4]};
    }
    void edit(const std::string& id, const std::string& folder) {
        window.setText(AccountStore::kIdField, id);
        window.setText(AccountStore::kFolderField, folder);
    }

    TempDir dir;
    WindowState window{editFields()};
    AccountTable table;
    RecordingDialogs dialogs;
    AccountStore store{dir.path(), window, table, dialogs};
};

TEST_F(AccountStoreTest, AddTakesTheFirstFreeIdAndWritesTheNewAccount) {
    writeFile("100", "{}");
    writeFile("102", "{}");
    table.appendRow();
    window.setText(AccountStore::kFolderField, "/videos/a");

    store.addAccount();
    EXPECT_EQ(window.text(AccountStore::kIdField), "101");
    EXPECT_EQ(table.currentRow(), 1);
    EXPECT_EQ(cells(1), (std::vector<std::string>{"2", "", "/videos/a", "101", "已添加"}));
    EXPECT_EQ(file("101"),
              "{\n    \"昵称\": \"自动获取\",\n    \"素材目录\": \"/videos/a\",\n    \"缓存id\": \"101\",\n"
              "    \"分类1\": 0,\n    \"分类2\": 0,\n    \"标签\": \"\",\n    \"简介\": \"\"\n}\n");

    store.addAccount();
    EXPECT_EQ(window.text(AccountStore::kIdField), "103");
    EXPECT_EQ(table.currentRow(), 2);
    EXPECT_EQ(readFile("103").text("缓存id"), "103");

    fs::remove(store.accountFilePath("100"));
    EXPECT_EQ(store.nextFreeId(), "100");
}

TEST_F(AccountStoreTest, AddWithEmptyFolderCreatesTheListFolderAndStoresEmptyText) {
    store.addAccount();

    EXPECT_EQ(cells(0), (std::vector<std::string>{"1", "", "", "100", "已添加"}));
    AccountRecord record = readFile("100");
    EXPECT_TRUE(record.has("素材目录"));
    EXPECT_EQ(record.text("素材目录"), "");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(AccountStoreTest, ModifyRefusesEmptyFieldsAndChangesNothing) {
    const std::string stored = "{\"昵称\":\"小明\",\"素材目录\":\"/old\",\"缓存id\":\"100\"}";
    writeFile("100", stored);
    store.loadAccountList();
    const auto rowBefore = table.row(0);
    struct Case {
        std::string id, folder, message;
    };
    const std::vector<Case> cases = {
        {"", "/new", "账号标识 不能为空"},
        {"100", "", "视频素材目录 不能为空"},
        {"", "", "账号标识 不能为空"},
    };
    for (const auto& c : cases) {
        dialogs.shown.clear();
        edit(c.id, c.folder);
        store.modifyAccount();
        EXPECT_EQ(dialogs.shown, (std::vector<RecordingDialogs::Shown>{
                                     {RecordingDialogs::Kind::Information, c.message, "信息："}}));
        EXPECT_EQ(file("100"), stored);
        EXPECT_EQ(table.row(0), rowBefore);
    }
}

TEST_F(AccountStoreTest, ModifyRewritesFolderAndFixedKeysButKeepsNickAndOtherKeys) {
    writeFile("100", "{\"昵称\":\"小明\",\"素材目录\":\"/old\",\"缓存id\":\"100\",\"分类1\":21,\"标签\":\"t\","
                     "\"cookies\":\"c=1\",\"次数\":3}");
    writeFile("101", "{\"缓存id\":\"101\"}");
    store.loadAccountList();
    int row = table.cell(0, kColumnId) == "100" ? 0 : 1;
    table.chooseRow(row);

    edit("100", "/new");
    store.modifyAccount();

    AccountRecord record = readFile("100");
    EXPECT_EQ(record.text("昵称"), "小明");
    EXPECT_EQ(record.text("素材目录"), "/new");
    EXPECT_EQ(record.text("缓存id"), "100");
    EXPECT_EQ(record.integer("分类1"), 0);
    EXPECT_TRUE(record.has("分类2"));
    EXPECT_EQ(record.text("标签"), "");
    EXPECT_EQ(record.text("cookies"), "c=1");
    EXPECT_EQ(record.integer("次数"), 3);
    EXPECT_EQ(table.cell(row, kColumnFolder), "/new");
    EXPECT_EQ(table.cell(row, kColumnNick), "小明");
    EXPECT_EQ(readFile("101").text("素材目录"), "");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(AccountStoreTest, ModifyLeavesAnAccountFileThatCannotBeReadAsItIs) {
    using testing::Unreadable;
    const std::string content = "{\"缓存id\":\"100\",\"cookies\":\"SESSDATA=keep\"}";
    for (Unreadable kind : {Unreadable::NoPermission, Unreadable::FolderInItsPlace}) {
        SCOPED_TRACE(static_cast<int>(kind));
        fs::remove_all(store.listFolder());
        fs::create_directories(store.listFolder());
        const fs::path path = store.accountFilePath("100");
        testing::makeUnreadable(path, kind, content);
        dialogs.shown.clear();
        table.clear();
        table.chooseRow(table.appendRow());
        edit("100", "/new");

        testing::asOrdinaryUser([&] { store.modifyAccount(); });

        if (kind == Unreadable::NoPermission) {
            fs::permissions(path, fs::perms::owner_read);
            EXPECT_EQ(file("100"), content);
        } else {
            EXPECT_TRUE(fs::is_directory(path));
        }
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_NE(dialogs.shown[0].text.find("账号文件无法读取"), std::string::npos);
    }
}

TEST_F(AccountStoreTest, ModifyOfAnAccountWithoutFileCreatesIt) {
    fs::create_directories(store.listFolder());
    table.chooseRow(table.appendRow());
    edit("105", "/v");
    store.modifyAccount();

    EXPECT_EQ(cells(0), (std::vector<std::string>{"1", "", "/v", "105", ""}));
    EXPECT_EQ(readFile("105").text("素材目录"), "/v");
    EXPECT_FALSE(readFile("105").has("昵称"));
}

TEST_F(AccountStoreTest, LoadListShowsEachFileAsARow) {
    writeFile("100", "\xEF\xBB\xBF{\"昵称\":\"改过的名字\",\"素材目录\":\"/v/甲\",\"缓存id\":\"100\"}");
    writeFile("101", "{\"昵称\":\"自动获取\",\"素材目录\":\"\",\"缓存id\":\"207\"}");
    writeFile("102", "{\"昵称\":\"坏");
    table.appendRow();
    table.setCell(0, kColumnStatus, "old");

    store.loadAccountList();

    ASSERT_EQ(table.rowCount(), 3);
    std::map<std::string, std::vector<std::string>> byId;
    for (int row = 0; row < 3; ++row) {
        auto c = cells(row);
        EXPECT_EQ(c[0], std::to_string(row + 1));
        byId[c[3]] = {c[1], c[2], c[4]};
    }
    using Cells = std::vector<std::string>;
    EXPECT_EQ(byId["100"], (Cells{"改过的名字", "/v/甲", ""}));
    EXPECT_EQ(byId["207"], (Cells{"自动获取", "", ""}));
    EXPECT_EQ(byId["102"], (Cells{"", "", ""}));  // unreadable: named by its file
    EXPECT_EQ(table.currentRow(), 2);
}

TEST_F(AccountStoreTest, LoadListKeepsTheFolderOrderAndSkipsOtherEntries) {
    for (const char* id : {"130", "101", "119", "100", "125", "107", "111", "b", "a", "115"})
        writeFile(id, std::string("{\"缓存id\":\"") + id + "\"}");
    dir.write("data/list/notes.txt", "");
    dir.write("data/list/100.json.bak", "");
    dir.write("data/list/sub.json/200.json", "{\"缓存id\":\"200\"}");

    std::vector<std::string> listed;
    DIR* folder = ::opendir(store.listFolder().c_str());
    ASSERT_NE(folder, nullptr);
    while (dirent* entry = ::readdir(folder)) {
        std::string name = entry->d_name;
        if (name.size() > 5 && name.ends_with(".json") && name != "sub.json") listed.push_back(name.substr(0, name.size() - 5));
    }
    ::closedir(folder);

    for (int pass = 0; pass < 2; ++pass) {
        store.loadAccountList();
        std::vector<std::string> shown;
        for (const auto& row : table.rows()) shown.push_back(row[kColumnId]);
        EXPECT_EQ(shown, listed);
        table.moveRowToBottom(0);
    }
}

TEST_F(AccountStoreTest, MissingListFolderGivesAnEmptyList) {
    table.appendRow();
    std::vector<int> heard;
    store.onListLoaded([&](int rows) { heard.push_back(rows); });
    store.loadAccountList();
    EXPECT_EQ(table.rowCount(), 0);
    EXPECT_EQ(heard, std::vector<int>{0});
}

// The list loads on a thread of its own at start while the user may press reload. A
// second load that starts while the first is half-way must not leave rows twice, and
// each is heard of once its list is whole.
TEST_F(AccountStoreTest, ConcurrentLoadsLeaveEachFileListedOnce) {
    std::vector<std::string> ids;
    for (int id = 100; id < 110; ++id) {
        ids.push_back(std::to_string(id));
        writeFile(ids.back(), "{\"缓存id\":\"" + ids.back() + "\"}");
    }
    std::atomic<bool> started{false};
    std::atomic<bool> secondDone{false};
    std::mutex heardMutex;
    std::vector<int> heard;
    store.onListLoaded([&](int rows) {
        std::lock_guard lock(heardMutex);
        heard.push_back(rows);
    });
    std::thread second;
    int listener = table.subscribe([&](const AccountTable::Event& event) {
        if (event.change != AccountTable::Change::RowAppended || started.exchange(true)) return;
        second = std::thread([&] {
            store.loadAccountList();
            secondDone = true;
        });
        // The second load must wait for this one to end; were it not held, it would be done by then.
        testing::pollUntil([&] { return secondDone.load(); }, std::chrono::milliseconds(200), std::chrono::milliseconds(2));
    });
    store.loadAccountList();
    second.join();
    table.unsubscribe(listener);

    std::vector<std::string> shown;
    for (int row = 0; row < table.rowCount(); ++row) {
        EXPECT_EQ(table.cell(row, kColumnIndex), std::to_string(row + 1));
        shown.push_back(table.cell(row, kColumnId));
    }
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, ids);
    EXPECT_EQ(heard, (std::vector<int>{10, 10}));
}

TEST_F(AccountStoreTest, DeleteRemovesOnlyFilesInTheListFolder) {
    writeFile("100", "{}");
    writeFile("101", "{}");
    dir.write("data/outside.json", "{}");
    dir.write("outside.json", "{}");

    for (const char* id : {"100", "100", "999", "", "../outside", "../../outside", "..", "."})
        store.deleteAccountFile(id);

    EXPECT_FALSE(fs::exists(store.accountFilePath("100")));
    EXPECT_TRUE(fs::exists(store.accountFilePath("101")));
    EXPECT_TRUE(fs::exists(dir.path() / "data" / "outside.json"));
    EXPECT_TRUE(fs::exists(dir.path() / "outside.json"));
}

TEST_F(AccountStoreTest, ModifyNeverWritesOutsideTheListFolder) {
    fs::create_directories(store.listFolder());
    table.chooseRow(table.appendRow());
    edit("../outside", "/v");
    store.modifyAccount();

    EXPECT_FALSE(fs::exists(dir.path() / "data" / "outside.json"));
    EXPECT_EQ(table.cell(0, kColumnId), "../outside");
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(AccountStoreTest, DeleteAllSendsAccountFilesToTheTrash) {
    writeFile("100", "{\"缓存id\":\"100\"}");
    writeFile("101", "{}");
    dir.write("data/list/keep.txt", "notes");
    dir.write("data/list/sub.json/200.json", "{}");
    dir.write("data/outside.json", "{}");
    dir.write("trash-home/Trash/files/100.json", "earlier");
    dir.write("trash-home/Trash/info/100.json.trashinfo", "earlier");
    ScopedEnv dataHome("XDG_DATA_HOME", (dir.path() / "trash-home").string());

    EXPECT_TRUE(store.deleteAllAccountFiles());
    EXPECT_EQ(dir.read("trash-home/Trash/files/100.2.json"), "{\"缓存id\":\"100\"}");
    EXPECT_EQ(dir.read("trash-home/Trash/files/100.json"), "earlier");
    EXPECT_EQ(dir.read("trash-home/Trash/files/101.json"), "{}");
    EXPECT_TRUE(fs::exists(dir.path() / "trash-home/Trash/info/101.json.trashinfo"));
    EXPECT_EQ(namesIn(store.listFolder()), (std::vector<std::string>{"keep.txt", "sub.json"}));
    EXPECT_EQ(dir.read("data/list/sub.json/200.json"), "{}");
    EXPECT_EQ(dir.read("data/outside.json"), "{}");
}

TEST_F(AccountStoreTest, DeleteAllReportsFilesItCouldNotMoveAndKeepsThem) {
    writeFile("100", "{\"缓存id\":\"100\"}");
    writeFile("101", "{}");
    // A trash folder that cannot be made: a plain file stands where it would go.
    dir.write("trash-home/Trash", "");
    ScopedEnv dataHome("XDG_DATA_HOME", (dir.path() / "trash-home").string());

    EXPECT_FALSE(store.deleteAllAccountFiles());
    EXPECT_EQ(file("100"), "{\"缓存id\":\"100\"}");
    EXPECT_EQ(file("101"), "{}");
}

}  // namespace
}  // namespace clipmill
