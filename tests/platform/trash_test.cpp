#include "platform/trash.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <regex>

#include "fixtures/scoped_env.h"
#include "fixtures/temp_dir.h"

namespace clipmill {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;
using testing::TempDir;

std::time_t parseLocal(const std::string& text) {
    std::tm tm{};
    strptime(text.c_str(), "%Y-%m-%dT%H:%M:%S", &tm);
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

// The info file names the original path and a deletion time of about now.
void expectInfo(const fs::path& infoFile, const std::string& encodedPath) {
    std::ifstream in(infoFile, std::ios::binary);
    std::string info((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::smatch match;
    std::regex shape("\\[Trash Info\\]\nPath=(.*)\nDeletionDate=(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d)\n");
    ASSERT_TRUE(std::regex_match(info, match, shape)) << info;
    EXPECT_EQ(match[1].str(), encodedPath);
    EXPECT_LE(std::abs(std::difftime(std::time(nullptr), parseLocal(match[2].str()))), 60.0) << match[2];
}

TEST(Trash, MovesFileIntoFilesAndDescribesItInInfo) {
    TempDir dir;
    fs::path trash = dir.path() / "data" / "Trash";
    fs::path file = dir.write("账号 list/100.json", "{}");

    ASSERT_TRUE(moveToTrash(file, trash));

    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(dir.read("data/Trash/files/100.json"), "{}");
    expectInfo(trash / "info" / "100.json.trashinfo", percentEncodePath(file.string()));
    EXPECT_NE(percentEncodePath(file.string()).find("/%E8%B4%A6%E5%8F%B7%20list/100.json"), std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat(trash.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(Trash, NamesTakenInTheTrashGetANumber) {
    TempDir dir;
    fs::path trash = dir.path() / "Trash";
    dir.write("Trash/files/100.json", "orphan without info");
    dir.write("Trash/info/100.2.json.trashinfo", "info without file");
    std::vector<fs::path> files = {dir.write("a/100.json", "a"), dir.write("b/100.json", "b")};

    for (const auto& file : files) ASSERT_TRUE(moveToTrash(file, trash));

    EXPECT_EQ(dir.read("Trash/files/100.json"), "orphan without info");
    EXPECT_EQ(dir.read("Trash/files/100.3.json"), "a");
    EXPECT_EQ(dir.read("Trash/files/100.4.json"), "b");
    expectInfo(trash / "info" / "100.4.json.trashinfo", percentEncodePath(files[1].string()));
    EXPECT_FALSE(fs::exists(trash / "info" / "100.json.trashinfo"));
}

TEST(Trash, FileStaysWhenItCannotBeTrashed) {
    TempDir dir;
    fs::path file = dir.write("100.json", "{}");
    dir.write("not-a-folder", "");

    EXPECT_FALSE(moveToTrash(file, dir.path() / "not-a-folder" / "Trash"));
    EXPECT_FALSE(moveToTrash(dir.path() / "missing.json", dir.path() / "Trash"));

    EXPECT_EQ(dir.read("100.json"), "{}");
    EXPECT_FALSE(fs::exists(dir.path() / "Trash"));
}

// A file on another file system goes to the trash at the top of that file system, and the
// home trash keeps no info file for it.
TEST(Trash, FileOnAnotherFileSystemGoesToItsTopTrash) {
    TempDir dir;
    fs::path other = "/dev/shm";
    struct stat home {}, shm {};
    if (::stat(dir.path().c_str(), &home) != 0 || ::stat(other.c_str(), &shm) != 0 || home.st_dev == shm.st_dev ||
        ::access(other.c_str(), W_OK) != 0)
        GTEST_SKIP() << "needs a writable /dev/shm on its own file system";

    fs::path topTrash = other / (".Trash-" + std::to_string(::getuid()));
    bool existed = fs::exists(topTrash);
    std::string name = "clipmill-" + dir.path().filename().string() + ".json";
    fs::path file = other / name;
    { std::ofstream(file) << "x"; }

    bool moved = moveToTrash(file, dir.path() / "Trash");
    bool landed = fs::exists(topTrash / "files" / name);
    if (landed) expectInfo(topTrash / "info" / (name + ".trashinfo"), percentEncodePath(file.string()));
    fs::remove(topTrash / "files" / name);
    fs::remove(topTrash / "info" / (name + ".trashinfo"));
    fs::remove(file);
    if (!existed) fs::remove_all(topTrash);

    EXPECT_TRUE(moved);
    EXPECT_TRUE(landed);
    EXPECT_TRUE(fs::is_empty(dir.path() / "Trash" / "info"));
}

TEST(Trash, PercentEncodesPathBytes) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/a/b-c_d.e~f/100.json", "/a/b-c_d.e~f/100.json"},
        {"/a b/%/#?", "/a%20b/%25/%23%3F"},
        {"/中", "/%E4%B8%AD"},
    };
    for (const auto& [path, encoded] : cases) EXPECT_EQ(percentEncodePath(path), encoded) << path;
}

TEST(Trash, HomeTrashFollowsXdgDataHome) {
    struct Case {
        std::string dataHome, home;
        fs::path trash;
    };
    const std::vector<Case> cases = {
        {"/x/data", "/h", "/x/data/Trash"},
        {"", "/h", "/h/.local/share/Trash"},
        {"relative/data", "/h", "/h/.local/share/Trash"},
    };
    for (const auto& c : cases) {
        ScopedEnv dataHome("XDG_DATA_HOME", c.dataHome);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(homeTrashFolder(), c.trash) << c.dataHome;
    }
    ScopedEnv noHome("HOME", "");
    EXPECT_TRUE(homeTrashFolder().is_absolute());
}

}  // namespace
}  // namespace clipmill
