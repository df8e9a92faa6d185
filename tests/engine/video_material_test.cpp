#include "engine/video_material.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <set>

#include "engine/file_listing.h"
#include "engine/file_moves.h"
#include "engine/scripted_draw.h"
#include "fixtures/scoped_env.h"
#include "fixtures/temp_dir.h"
#include "platform/file_in_use.h"
#include "settings/control_table.h"
#include "support/atomic_file.h"

namespace clipmill::testing {
namespace {

namespace fs = std::filesystem;

// Every file under `root`, as paths relative to it.
std::set<std::string> filesUnder(const fs::path& root) {
    std::set<std::string> files;
    if (!fs::exists(root)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), root).string());
    return files;
}

// A second process that keeps a file open for writing until it is destroyed.
class WriterProcess {
public:
    explicit WriterProcess(const fs::path& file) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 3, file.c_str(), O_WRONLY, 0);
        char sleepName[] = "sleep";
        char seconds[] = "600";
        char* argv[] = {sleepName, seconds, nullptr};
        const int error = posix_spawnp(&pid_, "sleep", &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0) pid_ = -1;
    }
    ~WriterProcess() { end(); }
    bool running() const { return pid_ > 0; }
    void end() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

struct MaterialFixture {
    explicit MaterialFixture(std::deque<int> draws = {})
        : draw{std::move(draws), {}},
          material(
              window, table, dir.path() / "prog", draw.function(),
              [] {
                  std::tm t{};
                  t.tm_year = 124, t.tm_mon = 2, t.tm_mday = 5, t.tm_hour = 7, t.tm_min = 8, t.tm_sec = 9;
                  return t;
              },
              [this](const fs::path& folder) {
                  synced.push_back(folder);
                  return syncFolder(folder) && !syncFails;
              }) {
        table.appendRow();
    }
    std::string folder() const { return (dir.path() / "m").string(); }
    std::string at(const std::string& relative) const { return (dir.path() / "m" / relative).string(); }
    // Selects videos until none is left, deleting each as a published video is, and
    // returns them relative to the material folder.
    std::vector<std::string> selectAll() {
        std::vector<std::string> picked;
        for (std::string video; !(video = material.selectVideo(folder(), 0)).empty();) {
            picked.push_back(fs::relative(video, folder()).string());
            fs::remove(video);
        }
        return picked;
    }

    TempDir dir;
    WindowState window{controlTable()};
    AccountTable table;
    ScriptedDraw draw;
    std::vector<fs::path> synced;  // every folder flushed, in order; the real flush runs too
    bool syncFails = false;
    VideoMaterialImpl material;
};

struct SelectCase {
    std::string name;
    std::vector<std::string> files;
    bool subfolders;
    bool random;
    std::deque<int> draws;
    std::vector<std::string> picked;
};

class SelectVideoOrder : public ::testing::TestWithParam<SelectCase> {};

TEST_P(SelectVideoOrder, PicksTheseVideosOneAfterAnother) {
    const SelectCase& c = GetParam();
    MaterialFixture f(c.draws);
    fs::create_directories(f.folder());
    for (const auto& file : c.files) {
        if (file.back() == '/')
            fs::create_directories(f.at(file));
        else
            f.dir.write("m/" + file, "video");
    }
    f.window.setChecked("选择框_读取子文件夹", c.subfolders);
    f.window.setChecked(c.random ? "单选框_选择视频_随机" : "单选框_选择视频_顺序", true);

    EXPECT_EQ(f.selectAll(), c.picked);
    for (const auto& [low, high] : f.draw.bounds) EXPECT_EQ(low, 0);
}

const std::vector<std::string> kTree = {"a.mp4", "s/b.mp4", "s/t/c.mp4", "R/d.mp4", "B.mp4", "note.txt"};

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectVideoOrder,
    ::testing::Values(SelectCase{"OwnFilesOnlyWithoutSubfolders", kTree, false, false, {}, {"a.mp4", "B.mp4"}},
                      SelectCase{"OwnFilesFirstThenSubfoldersDepthFirst",
                                 kTree,
                                 true,
                                 false,
                                 {},
                                 {"a.mp4", "B.mp4", "R/d.mp4", "s/b.mp4", "s/t/c.mp4"}},
                      SelectCase{"RandomDrawsOverTheWholeTree",
                                 kTree,
                                 true,
                                 true,
                                 {4, 0, 2, 1, 0},
                                 {"s/t/c.mp4", "a.mp4", "s/b.mp4", "R/d.mp4", "B.mp4"}},
                      SelectCase{"RandomWithoutSubfolders", kTree, false, true, {1, 0}, {"B.mp4", "a.mp4"}},
                      SelectCase{
                          "ExtensionInAnyCaseAndNamesInWindowsOrder",
                          {"x.MP4", "Y.mp4", "w.Mp4", "a_.mp4", "ab.mp4", "z.mp4.txt", "clips.mp4/", ".hidden.mp4"},
                          true,
                          false,
                          {},
                          {"ab.mp4", "a_.mp4", "w.Mp4", "x.MP4", "Y.mp4"}}),
    [](const auto& info) { return info.param.name; });

TEST(ListFiles, FollowsLinksToFilesButNotToFolders) {
    TempDir dir;
    dir.write("m/a.mp4", "a");
    dir.write("other/b.mp4", "b");
    fs::create_directory_symlink(dir.path() / "m", dir.path() / "m/loop");
    fs::create_directory_symlink(dir.path() / "other", dir.path() / "m/elsewhere");
    fs::create_symlink(dir.path() / "other/b.mp4", dir.path() / "m/linked.mp4");
    fs::create_symlink(dir.path() / "gone.mp4", dir.path() / "m/dangling.mp4");
    const std::string m = (dir.path() / "m").string();
    EXPECT_EQ(listFiles(m, "*.mp4", true), (std::vector<std::string>{m + "/a.mp4", m + "/linked.mp4"}));
    EXPECT_EQ(listFiles(m + "/", "*.MP4", false, 1), std::vector<std::string>{m + "/a.mp4"});
}

TEST(SelectVideo, RandomDrawCoversEveryListedVideo) {
    MaterialFixture f({2});
    for (const char* name : {"a.mp4", "b.mp4", "c.mp4"}) f.dir.write(std::string("m/") + name, "v");
    f.window.setChecked("单选框_选择视频_随机", true);
    EXPECT_EQ(f.material.selectVideo(f.folder(), 0), f.at("c.mp4"));
    ASSERT_EQ(f.draw.bounds.size(), 1u);
    EXPECT_EQ(f.draw.bounds[0], std::make_pair(0, 2));
}

TEST(SelectVideo, EmptyOrMissingFolderWritesTheNoVideoTexts) {
    for (bool create : {true, false}) {
        MaterialFixture f;
        if (create) f.dir.write("m/readme.txt", "not a video");
        EXPECT_EQ(f.material.selectVideo(f.folder(), 0), "");
        EXPECT_EQ(f.window.statusPart("状态条1", 1), "视频素材目录没有视频");
        EXPECT_EQ(f.table.cell(0, kColumnStatus), "没有视频");
    }
}

TEST(SelectVideo, NamesLongerThanEightyCharactersAreCutInTheirFolder) {
    struct Case {
        std::string stem;
        std::string expected;
    };
    const std::string eighty(80, 'n');
    std::string cjk80;
    for (int i = 0; i < 80; ++i) cjk80 += "视";
    const std::vector<Case> cases = {
        {eighty, eighty}, {eighty + "X", eighty}, {cjk80 + "频频", cjk80},  // counted in characters, not bytes
    };
    for (const auto& c : cases) {
        MaterialFixture f;
        f.window.setChecked("单选框_选择视频_顺序", true);
        f.dir.write("m/long.mp4/" + c.stem + ".mp4", "v");  // a folder name that holds ".mp4"
        EXPECT_EQ(f.material.selectVideo(f.folder(), 0), f.at("long.mp4/" + c.expected + ".mp4")) << c.stem;
        EXPECT_EQ(filesUnder(f.folder()), std::set<std::string>{"long.mp4/" + c.expected + ".mp4"});
    }
}

TEST(SelectVideo, ACutNameThatIsTakenLeavesBothFilesAlone) {
    MaterialFixture f({1});
    f.window.setChecked("单选框_选择视频_随机", true);
    const std::string eighty(80, 'n');
    f.dir.write("m/" + eighty + ".mp4", "taken");
    f.dir.write("m/" + eighty + "1.mp4", "long");
    EXPECT_EQ(f.material.selectVideo(f.folder(), 0), "");
    EXPECT_EQ(f.dir.read("m/" + eighty + ".mp4"), "taken");
    EXPECT_EQ(f.dir.read("m/" + eighty + "1.mp4"), "long");
}

TEST(SelectVideo, AFileInUseIsNotChosenUntilReleased) {
    MaterialFixture f;
    f.window.setChecked("单选框_选择视频_顺序", true);
    const auto video = f.dir.write("m/v.mp4", "copying");

    {
        WriterProcess writer(video);
        ASSERT_TRUE(writer.running());
        EXPECT_TRUE(isFileInUse(video.string()));
        EXPECT_TRUE(someProcessWrites(video.string()));
        EXPECT_EQ(f.material.selectVideo(f.folder(), 0), "");
        EXPECT_EQ(f.window.statusPart("状态条1", 1), "");
        EXPECT_EQ(f.table.cell(0, kColumnStatus), "");
    }
    EXPECT_FALSE(isFileInUse(video.string()));
    EXPECT_FALSE(someProcessWrites(video.string()));
    EXPECT_EQ(f.material.selectVideo(f.folder(), 0), video.string());

    fs::permissions(video, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_TRUE(isFileInUse(video.string()));
    EXPECT_EQ(f.material.selectVideo(f.folder(), 0), "");
    EXPECT_FALSE(isFileInUse((f.dir.path() / "missing.mp4").string()));
}

// A used-video folder inside the material folder, with subfolders read: each video is
// published and moved once, then never found again, however the folder is written.
TEST(SelectVideo, AMovedVideoIsNeverMaterialAgain) {
    const std::vector<std::string> usedFolders = {"<m>/used", "<m>/used/", "<m>/sub/../used", "../m/used",
                                                  "<dir>/link-to-used"};
    for (const auto& text : usedFolders) {
        MaterialFixture f;
        f.dir.write("m/a.mp4", "a");
        f.dir.write("m/b.mp4", "b");
        fs::create_directories(f.at("sub"));
        fs::create_directories(f.at("used"));
        fs::create_directory_symlink(f.at("used"), f.dir.path() / "link-to-used");
        // Dangling until a.mp4 is moved; then a second way to it.
        fs::create_symlink(f.at("used/a.mp4"), f.at("again.mp4"));
        std::string used = text;
        if (used.starts_with("<m>")) used.replace(0, 3, f.folder());
        if (used.starts_with("<dir>")) used.replace(0, 5, f.dir.str());
        f.window.setText("编辑框_使用过视频目录", used);
        f.window.setChecked("选择框_读取子文件夹", true);
        f.window.setChecked("单选框_移动", true);
        f.window.setChecked("单选框_选择视频_顺序", true);

        std::vector<std::string> published;
        for (int turn = 0; turn < 4; ++turn) {
            const std::string video = f.material.selectVideo(f.folder(), 0);
            if (video.empty()) break;
            published.push_back(fs::relative(video, f.folder()).string());
            ASSERT_TRUE(f.material.disposeVideo(video)) << text;
        }
        EXPECT_EQ(published, (std::vector<std::string>{"a.mp4", "b.mp4"})) << text;
        EXPECT_EQ(filesUnder(f.at("used")), (std::set<std::string>{"a.mp4", "b.mp4"})) << text;
    }
}

TEST(SelectVideo, AMaterialFolderInsideTheUsedFolderHasNoVideos) {
    MaterialFixture f;
    f.dir.write("used/m/a.mp4", "a");
    f.window.setText("编辑框_使用过视频目录", (f.dir.path() / "used").string());
    f.window.setChecked("选择框_读取子文件夹", true);
    const std::string inside = (f.dir.path() / "used" / "m").string();
    for (const std::string& folder : {inside, inside + "/.."}) {
        EXPECT_EQ(f.material.selectVideo(folder, 0), "") << folder;
        EXPECT_EQ(f.table.cell(0, kColumnStatus), "没有视频");
    }
}

struct DisposeCase {
    std::string name;
    bool remove;
    std::string usedFolder;  // "<used>" stands for a folder of the fixture
    std::vector<std::string> before;
    std::string video;
    std::set<std::string> after;
};

class DisposeVideo : public ::testing::TestWithParam<DisposeCase> {};

TEST_P(DisposeVideo, LeavesTheseFiles) {
    const DisposeCase& c = GetParam();
    MaterialFixture f;
    for (const auto& file : c.before) f.dir.write(file, file);
    f.window.setChecked(c.remove ? "单选框_删除" : "单选框_移动", true);
    f.window.setText("编辑框_使用过视频目录",
                     c.usedFolder == "<used>" ? (f.dir.path() / "used").string() : c.usedFolder);

    f.material.disposeVideo((f.dir.path() / c.video).string());

    EXPECT_EQ(filesUnder(f.dir.path()), c.after);
    // Each file holds its original path: a move carries the right content and replaces nothing.
    std::set<std::string> contents;
    for (const auto& file : c.after) contents.insert(f.dir.read(file));
    EXPECT_EQ(contents.size(), c.after.size());
    for (const auto& content : contents)
        EXPECT_NE(std::find(c.before.begin(), c.before.end(), content), c.before.end());
}

const std::string kDuplicate = "used/有重复标题2024年3月5日7时8分9秒_";

INSTANTIATE_TEST_SUITE_P(
    Cases, DisposeVideo,
    ::testing::Values(
        DisposeCase{"MoveTakesTheCoverAlong",
                    false,
                    "<used>",
                    {"m/v.mp4", "m/v.jpg", "m/w.mp4"},
                    "m/v.mp4",
                    {"used/v.mp4", "used/v.jpg", "m/w.mp4"}},
        DisposeCase{"MoveOfADuplicateNameGetsTheDateTimeName",
                    false,
                    "<used>",
                    {"m/v.mp4", "m/v.jpg", "used/v.mp4", "used/v.jpg"},
                    "m/v.mp4",
                    {"used/v.mp4", "used/v.jpg", kDuplicate + "v.mp4", kDuplicate + "v.jpg"}},
        DisposeCase{"MoveNeverOverwritesEvenTheDuplicateName",
                    false,
                    "<used>",
                    {"m/v.mp4", "used/v.mp4", kDuplicate + "v.mp4"},
                    "m/v.mp4",
                    {"used/v.mp4", kDuplicate + "v.mp4", "used/有重复标题2024年3月5日7时8分9秒(2)_v.mp4"}},
        DisposeCase{"MoveWithoutUsedFolderGoesToTheProgramsFolder",
                    false,
                    "",
                    {"m/v.mp4", "m/v.jpg"},
                    "m/v.mp4",
                    {"prog/已使用视频/v.mp4", "prog/已使用视频/v.jpg"}},
        DisposeCase{"MoveOfAnUpperCaseExtensionTakesItsCover",
                    false,
                    "<used>",
                    {"m/x.MP4", "m/x.jpg"},
                    "m/x.MP4",
                    {"used/x.MP4", "used/x.jpg"}},
        DisposeCase{"MoveTakesACoverWhoseExtensionDiffersInCase",
                    false,
                    "<used>",
                    {"m/v.mp4", "m/v.JPG"},
                    "m/v.mp4",
                    {"used/v.mp4", "used/v.jpg"}},
        DisposeCase{"MoveLeavesTheCoverOfAVideoNamedInOtherCase",
                    false,
                    "<used>",
                    {"m/a.mp4", "m/A.mp4", "m/A.jpg"},
                    "m/a.mp4",
                    {"used/a.mp4", "m/A.mp4", "m/A.jpg"}},
        DisposeCase{"MoveToARelativeFolderGoesUnderTheProgramsFolder",
                    false,
                    "旧视频",
                    {"m/v.mp4"},
                    "m/v.mp4",
                    {"prog/旧视频/v.mp4"}},
        DisposeCase{
            "DeleteRemovesVideoAndCover", true, "<used>", {"m/v.mp4", "m/v.jpg", "m/w.jpg"}, "m/v.mp4", {"m/w.jpg"}},
        DisposeCase{"DeleteLeavesTheCoverOfAVideoNamedInOtherCase",
                    true,
                    "<used>",
                    {"m/a.mp4", "m/A.mp4", "m/A.jpg"},
                    "m/a.mp4",
                    {"m/A.mp4", "m/A.jpg"}},
        DisposeCase{"DeleteWithoutCover", true, "<used>", {"m/v.mp4", "m/w.mp4"}, "m/v.mp4", {"m/w.mp4"}},
        DisposeCase{"DeleteInAFolderNamedLikeAVideoTouchesNoOtherFolder",
                    true,
                    "<used>",
                    {"m/clips.mp4/v.mp4", "m/clips.mp4/v.jpg", "m/clips.jpg/v.jpg"},
                    "m/clips.mp4/v.mp4",
                    {"m/clips.jpg/v.jpg"}}),
    [](const auto& info) { return info.param.name; });

TEST(DisposeVideo, AUsedFolderThatCannotBeMadeKeepsTheVideoAndCover) {
    MaterialFixture f;
    f.dir.write("m/v.jpg", "cover");
    f.dir.write("prog/blocker", "a file");
    f.dir.write("m/v.mp4", "video");
    f.window.setChecked("单选框_移动", true);
    f.window.setText("编辑框_使用过视频目录", (f.dir.path() / "prog" / "blocker" / "used").string());
    f.material.disposeVideo(f.at("v.mp4"));
    EXPECT_EQ(f.dir.read("m/v.mp4"), "video");
    EXPECT_EQ(f.dir.read("m/v.jpg"), "cover");
}

TEST(DisposeVideo, FlushesTheFoldersItChangedBeforeSayingSo) {
    struct Case {
        std::string name;
        bool remove;
        bool syncFails;
        std::vector<std::string> synced;
    };
    for (const Case& c : std::vector<Case>{{"move", false, false, {"m", "used"}},
                                           {"delete", true, false, {"m"}},
                                           // the file moved all the same: still disposed
                                           {"move, flush fails", false, true, {"m", "used"}}}) {
        MaterialFixture f;
        f.dir.write("m/v.mp4", "video");
        f.dir.write("m/v.jpg", "cover");
        f.window.setChecked(c.remove ? "单选框_删除" : "单选框_移动", true);
        f.window.setText("编辑框_使用过视频目录", (f.dir.path() / "used").string());
        f.syncFails = c.syncFails;
        EXPECT_TRUE(f.material.disposeVideo(f.at("v.mp4"))) << c.name;
        std::vector<fs::path> expected;
        for (const auto& folder : c.synced) expected.push_back(f.dir.path() / folder);
        EXPECT_EQ(f.synced, expected) << c.name;
    }

    MaterialFixture stays;
    stays.dir.write("m/v.mp4", "video");
    stays.dir.write("prog/blocker", "a file");
    stays.window.setChecked("单选框_移动", true);
    stays.window.setText("编辑框_使用过视频目录", (stays.dir.path() / "prog" / "blocker" / "used").string());
    EXPECT_FALSE(stays.material.disposeVideo(stays.at("v.mp4")));
    EXPECT_TRUE(stays.synced.empty()) << "nothing changed, nothing to flush";
}

// TMPDIR names the folder for the scratch copy of a forced delete; one that is not there
// must neither stop the delete nor end the worker with an exception.
TEST(DisposeVideo, DeletesWhenTheTemporaryFolderIsMissing) {
    MaterialFixture f;
    f.dir.write("m/v.mp4", "video");
    f.dir.write("m/v.jpg", "cover");
    f.window.setChecked("单选框_删除", true);
    ScopedEnv tmpdir("TMPDIR", (f.dir.path() / "no-such-folder").string());
    bool disposed = false;
    EXPECT_NO_THROW(disposed = f.material.disposeVideo(f.at("v.mp4")));
    EXPECT_TRUE(disposed);
    EXPECT_EQ(filesUnder(f.dir.path()), std::set<std::string>{});
}

TEST(DuplicateDateTimeText, DropsTrailingZeroUnitsOfTheTime) {
    struct Case {
        int hour, minute, second;
        std::string text;
    };
    for (const Case& c : std::vector<Case>{{7, 8, 9, "2024年3月5日7时8分9秒"},
                                           {7, 0, 9, "2024年3月5日7时0分9秒"},
                                           {7, 8, 0, "2024年3月5日7时8分"},
                                           {17, 0, 0, "2024年3月5日17时"},
                                           {0, 0, 0, "2024年3月5日"}}) {
        std::tm t{};
        t.tm_year = 124, t.tm_mon = 2, t.tm_mday = 5, t.tm_hour = c.hour, t.tm_min = c.minute, t.tm_sec = c.second;
        EXPECT_EQ(duplicateDateTimeText(t), c.text);
    }
}

TEST(FileMoves, NeverReplaceAndCrossFileSystems) {
    TempDir dir;
    const auto from = dir.write("a.mp4", "a");
    const auto taken = dir.write("b.mp4", "b");
    EXPECT_FALSE(moveFileNoReplace(from.string(), taken.string()));
    EXPECT_EQ(dir.read("a.mp4"), "a");
    EXPECT_EQ(dir.read("b.mp4"), "b");
    EXPECT_FALSE(moveFile(from.string(), "relative.mp4"));
    EXPECT_FALSE(moveFile(from.string(), (dir.path() / "").string()));
    EXPECT_TRUE(fs::exists(from));

    struct stat here {
    }, shm{};
    if (stat("/dev/shm", &shm) != 0 || stat(dir.str().c_str(), &here) != 0 || here.st_dev == shm.st_dev)
        GTEST_SKIP() << "no second file system to move across";
    const fs::path across = fs::path("/dev/shm") / ("clipmill-move-" + std::to_string(getpid()) + ".mp4");
    ASSERT_TRUE(moveFileNoReplace(from.string(), across.string()));
    EXPECT_FALSE(fs::exists(from));
    EXPECT_TRUE(moveFileNoReplace(across.string(), from.string()));
    EXPECT_EQ(dir.read("a.mp4"), "a");
    EXPECT_FALSE(fs::exists(across));
}

TEST(FileMoves, ForceDeleteRemovesTheFile) {
    TempDir dir;
    const auto file = dir.write("v.mp4", "v");
    EXPECT_TRUE(forceDeleteFile(file.string(), dir.path()));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(filesUnder(dir.path()), std::set<std::string>{});
}

}  // namespace
}  // namespace clipmill::testing
