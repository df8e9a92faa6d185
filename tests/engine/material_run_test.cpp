#include <gtest/gtest.h>

#include <set>

#include "engine/job_composer.h"
#include "engine/run_harness.h"
#include "engine/video_material.h"
#include "settings/control_table.h"

namespace clipmill::testing {
namespace {

namespace fs = std::filesystem;

std::set<std::string> filesUnder(const fs::path& root) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), root).string());
    return files;
}

// The run loop with the real material and composer over folders of sample videos; only
// publishing is scripted.
TEST(MaterialRun, PicksAndDisposesOfTheRightFilesInOrder) {
    TempDir dir;
    FakeClock clock;
    WindowState window(controlTable());
    AccountTable table;
    TitlePool titles;
    VideoMaterialImpl material(window, table, dir.path() / "prog");
    JobComposerImpl composer(window, titles);
    ScriptedPublisher publisher;
    CountingRedialer redialer;
    RecordingBrowser browser;
    publisher.clock = &clock;
    publisher.setResults({1, 0, 1});
    RunController controller(RunEnvironment{
        clock, window, table, RunServices{material, composer, publisher, redialer, browser}, dir.path() / "list",
        [](const fs::path& path, AccountRecord& record) {
            record.clear();
            record.setText("昵称", "nick-" + path.stem().string());
            return true;
        },
        [](int, int) { return 0; }});

    for (const char* file : {"a/2.mp4", "a/1.mp4", "a/sub/0.mp4", "a/1.jpg", "shared/x.MP4", "shared/x.jpg"})
        dir.write(file, file);
    for (const auto& [id, folder] : std::vector<std::pair<std::string, std::string>>{{"A", "a"}, {"B", ""}}) {
        const int row = table.appendRow();
        table.setCell(row, kColumnId, id);
        table.setCell(row, kColumnFolder, folder.empty() ? "" : (dir.path() / folder).string());
    }
    window.setText("编辑框_视频素材目录", (dir.path() / "shared").string());
    window.setChecked("选择框_自动循环", false);
    window.setChecked("选择框_切换账号", true);
    window.setText("编辑框_单账号上传", "2");
    window.setChecked("选择框_读取子文件夹", true);
    window.setChecked("单选框_选择视频_顺序", true);
    window.setChecked("单选框_移动", true);
    window.setText("编辑框_使用过视频目录", (dir.path() / "used").string());
    window.setChecked("单选框_本地封面", true);
    window.setChecked("选择框_填写简介", true);
    window.setText("编辑框_简介模板内容", "{title} by {nick}");

    controller.toggleRun();
    controller.joinWorker();

    const auto jobs = publisher.jobs();
    std::vector<std::string> published;
    for (const auto& job : jobs) published.push_back(fs::relative(job.video, dir.path()).string());
    // The failed 2.mp4 stays; account B takes the shared folder and then finds it empty.
    EXPECT_EQ(published, (std::vector<std::string>{"a/1.mp4", "a/2.mp4", "shared/x.MP4"}));
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(jobs[0].cover.file, (dir.path() / "a/1.jpg").string());
    EXPECT_EQ(jobs[2].description, "x by nick-B");
    EXPECT_EQ(filesUnder(dir.path()), (std::set<std::string>{"a/2.mp4", "a/sub/0.mp4", "used/1.mp4", "used/1.jpg",
                                                             "used/x.MP4", "used/x.jpg"}));
    EXPECT_EQ(table.cell(0, kColumnDoneToday), "");
    EXPECT_EQ(table.cell(1, kColumnDoneToday), "1");
    EXPECT_EQ(table.cell(1, kColumnStatus), "没有视频");
    EXPECT_EQ(window.statusPart("状态条1", 1), "视频素材目录没有视频");
}

}  // namespace
}  // namespace clipmill::testing
