#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sys/mount.h>

#include "browser/browser_session.h"
#include "browser/cdp/cdp_automation.h"
#include "browser/classic_layout.h"
#include "browser/upload_page.h"
#include "fixtures/browser_test_support.h"
#include "catalogue/category_lists.h"
#include "engine/job_composer.h"
#include "engine/run_controller.h"
#include "engine/title_pool.h"
#include "engine/video_material.h"
#include "fixtures/chromium_clipboard.h"
#include "fixtures/scaled_clock.h"
#include "fixtures/temp_dir.h"
#include "practice_site/fingerprint.h"
#include "settings/control_table.h"

namespace clipmill::testing {
namespace {

namespace fs = std::filesystem;

class NoDialogs final : public Dialogs {
public:
    void information(const std::string&, const std::string&) override {}
    bool confirm(const std::string&, const std::string&) override { return false; }
};

// A short real video (one second of test picture and tone) made by ffmpeg.
void makeVideo(const fs::path& path, const std::string& colour) {
    fs::create_directories(path.parent_path());
    std::string out = runAndRead({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "color=c=" + colour + ":s=160x120:d=1",
                                  "-f", "lavfi", "-i", "sine=d=1", "-shortest", "-pix_fmt", "yuv420p", path.string()},
                                 60000);
    ASSERT_TRUE(fs::is_regular_file(path)) << out;
}

void makeCover(const fs::path& path, const std::string& colour) {
    runAndRead({"convert", "-size", "64x36", "xc:" + colour, path.string()}, 30000);
    ASSERT_TRUE(fs::is_regular_file(path));
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The submissions the practice site recorded, in order.
std::vector<std::shared_ptr<rapidjson::Document>> submissions(const fs::path& record) {
    std::vector<std::shared_ptr<rapidjson::Document>> found;
    std::ifstream in(record);
    for (std::string line; std::getline(in, line);) {
        auto doc = std::make_shared<rapidjson::Document>();
        doc->Parse(line.c_str());
        if (doc->HasParseError() || std::string((*doc)["event"].GetString()) != "submit") continue;
        found.push_back(doc);
    }
    return found;
}

std::string str(const rapidjson::Value& fields, const char* name) {
    auto it = fields.FindMember(name);
    return it != fields.MemberEnd() && it->value.IsString() ? it->value.GetString() : "<none>";
}

std::vector<std::string> tagsOf(const rapidjson::Value& fields) {
    std::vector<std::string> tags;
    for (const auto& tag : fields["tags"].GetArray()) tags.push_back(tag.GetString());
    return tags;
}

std::set<std::string> filesUnder(const fs::path& root) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), root).string());
    return files;
}

class NoRedialer final : public Redialer {
public:
    void redial(Waiter&) override {}
};

// The session as the page drives it, telling the test each title it shows.
class TitleWatchingBrowser final : public AccountBrowser {
public:
    TitleWatchingBrowser(BrowserSession& session, std::function<void(const std::string&)>& onTitle)
        : session_(session), onTitle_(onTitle) {}
    PageOpening openUploadPage(const std::string& accountId, PublishContext& context) override {
        return session_.openUploadPage(accountId, context);
    }
    int handle() const override { return session_.handle(); }
    const SiteAddresses& addresses() const override { return session_.addresses(); }
    void closeBrowser() override { session_.closeBrowser(); }
    void setBrowserTitle(const std::string& title) override {
        session_.setBrowserTitle(title);
        if (onTitle_) onTitle_(title);
    }

private:
    BrowserSession& session_;
    std::function<void(const std::string&)>& onTitle_;
};

// The whole program below the window: the run controller over the real material, job
// composition, browser session and upload page, driving headless Chromium against the
// practice site. Waits run `speed` times faster than real time.
class PublishRun {
public:
    explicit PublishRun(double speed)
        : site(dir.str() + "/record.jsonl"),
          clock(speed),
          window(controlTable()),
          automation({(dir.path() / "prog/huancun").string(), cdp::BrowserMode::Headless}),
          session({automation, window, dialogs, clock, (dir.path() / "prog").string(),
                   {site.url("/video/upload.html"), site.url("/login")}, [] { return ScreenSize{1366, 768}; }}),
          clipboard(automation, [this] { return session.handle(); }),
          material(window, accounts, dir.path() / "prog"),
          composer(window, titles),
          watched(session, onTitle),
          page(PageTools{automation, watched, clipboard}, classicLayout(), &profiles, dir.path() / "prog/data/失败记录"),
          controller(RunEnvironment{clock, window, accounts, RunServices{material, composer, page, redialer, session},
                                    dir.path() / "list",
                                    [this](const fs::path& file, AccountRecord& record) {
                                        record.setText("昵称", nicks[file.stem().string()]);
                                        return true;
                                    },
                                    [](int, int) { return 0; },
                                    &journal}) {
        session.initBrowserEnvironment(InitOrder::StartUp);
        fillCategoryLists(window, CategorySelection{1, 2});
        window.setChecked("选择框_自动循环", false);
        window.setChecked("选择框_切换账号", true);
        window.setChecked("单选框_选择视频_顺序", true);
        window.setText("编辑框_视频间隔", "0");
        window.setText("编辑框_视频间隔1", "0");
        window.setChecked("单选框_自制", true);
        window.setChecked("单选框标签固定", true);
        window.setChecked("单选框_本地封面", true);
    }
    ~PublishRun() { automation.form_close_browsers(); }

    // An account row whose folder holds the named videos, each with a same-name cover.
    void addAccount(const std::string& id, const std::string& nick, const std::vector<std::string>& videos) {
        const int row = accounts.appendRow();
        accounts.setCell(row, kColumnId, id);
        accounts.setCell(row, kColumnNick, nick);
        nicks[id] = nick;
        accounts.setCell(row, kColumnFolder, (dir.path() / id).string());
        const char* colours[] = {"red", "green", "blue", "yellow"};
        for (const auto& name : videos) {
            const auto video = dir.path() / id / (name + ".mp4");
            makeVideo(video, colours[covers_ % 4]);
            makeCover(dir.path() / id / (name + ".jpg"), colours[covers_++ % 4]);
        }
    }
    // One account with one video, published once, deleted when published.
    void oneVideo(const std::string& name) {
        addAccount("A", "阿一", {name});
        window.setText("编辑框_单账号上传", "1");
        window.setText("编辑框_固定标签", "日常");
        window.setChecked("单选框_删除", true);
    }
    void knobs(const std::string& form) {
        httplib::Client client("127.0.0.1", std::stoi(site.url("").substr(site.url("").rfind(':') + 1)));
        auto result = client.Post("/__control/knobs", form, "application/x-www-form-urlencoded");
        ASSERT_TRUE(result && result->status == 200) << form;
    }
    void runToEnd() {
        controller.toggleRun();
        controller.joinWorker();
    }

    TempDir dir;
    PracticeSite site;
    ScaledClock clock;
    WindowState window;
    AccountTable accounts;
    NoDialogs dialogs;
    cdp::CdpAutomation automation;
    BrowserSession session;
    ChromiumClipboard clipboard;
    TitlePool titles;
    VideoMaterialImpl material;
    JobComposerImpl composer;
    PageProfileSource profiles{dir.path() / "prog/data/page.ini"};
    std::function<void(const std::string&)> onTitle;  // each browser title, on the worker
    TitleWatchingBrowser watched;
    UploadPage page;
    NoRedialer redialer;
    std::map<std::string, std::string> nicks;  // as the account files hold them
    PublicationJournal journal{dir.path() / "journal.jsonl"};
    RunController controller;

    // "event reason" of each journal entry.
    std::vector<std::string> journalEvents() const {
        std::vector<std::string> events;
        for (const auto& entry : journal.read())
            events.push_back(entry.reason.empty() ? entry.event : entry.event + " " + entry.reason);
        return events;
    }
    void killBrowser() { killProcessesMentioning((dir.path() / "prog/huancun").string()); }

private:
    int covers_ = 0;
};

TEST(PublishRun, TwoAccountsPublishAllTheirVideosWithEveryFieldAndTheVideosAreMoved) {
    PublishRun run(20);
    run.addAccount("A", "阿一", {"第一集", "第二集"});
    run.addAccount("B", "乙二", {"风景", "美食"});
    run.window.setText("编辑框_单账号上传", "2");
    run.window.setText("编辑框_固定标签", "日常+vlog");
    run.window.setChecked("选择框_填写简介", true);
    run.window.setText("编辑框_简介模板内容", "{title}，来自{nick}");
    run.window.setChecked("单选框_视频文件名", true);
    run.window.setChecked("选择框_标题附加", true);
    run.window.setText("编辑框_标题前", "【");
    run.window.setText("编辑框_标题后", "】");
    run.window.setChecked("单选框_移动", true);
    run.window.setText("编辑框_使用过视频目录", (run.dir.path() / "used").string());
    const std::map<std::string, std::string> covers = {
        {"第一集", readAll(run.dir.path() / "A/第一集.jpg")}, {"第二集", readAll(run.dir.path() / "A/第二集.jpg")},
        {"风景", readAll(run.dir.path() / "B/风景.jpg")}, {"美食", readAll(run.dir.path() / "B/美食.jpg")}};
    const auto sizeOf = [&](const std::string& id, const std::string& name) {
        return static_cast<int>(fs::file_size(run.dir.path() / id / (name + ".mp4")));
    };
    const std::map<std::string, int> sizes = {{"第一集", sizeOf("A", "第一集")}, {"第二集", sizeOf("A", "第二集")},
                                              {"风景", sizeOf("B", "风景")}, {"美食", sizeOf("B", "美食")}};

    run.runToEnd();

    auto submitted = submissions(run.dir.path() / "record.jsonl");
    ASSERT_EQ(submitted.size(), 4u) << readAll(run.dir.path() / "record.jsonl");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"第一集", "阿一"}, {"第二集", "阿一"}, {"美食", "乙二"}, {"风景", "乙二"}};
    for (size_t i = 0; i < expected.size(); ++i) {
        const auto& [name, nick] = expected[i];
        SCOPED_TRACE(name);
        const auto& fields = (*submitted[i])["fields"];
        EXPECT_EQ(str(fields, "title"), "【" + name + "】");
        EXPECT_EQ(str(fields["video"], "name"), name + ".mp4");
        EXPECT_EQ(fields["video"]["size"].GetInt(), sizes.at(name));
        EXPECT_EQ(str(fields, "originality"), "自制");
        EXPECT_EQ(str(fields, "zone"), "游戏");
        EXPECT_EQ(str(fields, "subZone"), "手机游戏");
        EXPECT_EQ(tagsOf(fields), (std::vector<std::string>{"日常", "vlog"}));
        ASSERT_TRUE(fields["cover"].IsObject());
        EXPECT_EQ(fields["cover"]["size"].GetInt(), static_cast<int>(covers.at(name).size()));
        EXPECT_EQ(str(fields["cover"], "hash"), practice::fingerprint(covers.at(name)));
        EXPECT_EQ(str(fields, "description"), name + "，来自" + nick);
    }
    EXPECT_EQ(filesUnder(run.dir.path() / "used"),
              (std::set<std::string>{"第一集.mp4", "第一集.jpg", "第二集.mp4", "第二集.jpg", "风景.mp4", "风景.jpg",
                                     "美食.mp4", "美食.jpg"}));
    EXPECT_FALSE(fs::exists(run.dir.path() / "A/第一集.mp4"));
    EXPECT_EQ(run.accounts.cell(0, kColumnDoneToday), "");
    EXPECT_EQ(run.accounts.cell(1, kColumnDoneToday), "2");
}

// An upload that stalls, and one the page reports as failed, never say "上传完成": the run
// gives the video up at its limit, and the video stays.
TEST(PublishRun, AnUploadThatNeverFinishesIsGivenUpAndTheVideoStays) {
    for (const auto& [knob, reason] : {std::pair{"stall-upload=1", "上传停在37%"}, {"fail-upload=1", "上传停在50%"}}) {
        SCOPED_TRACE(knob);
        PublishRun run(20);
        run.knobs(knob);
        run.oneVideo("卡住");
        run.window.setChecked("选择框_自动放弃", true);
        run.window.setText("放弃秒", "90");

        run.runToEnd();

        EXPECT_TRUE(submissions(run.dir.path() / "record.jsonl").empty());
        EXPECT_EQ(run.accounts.cell(0, kColumnStatus), "上传失败");
        EXPECT_EQ(run.accounts.cellToolTip(0, kColumnStatus), reason);
        EXPECT_EQ(filesUnder(run.dir.path() / "A"), (std::set<std::string>{"卡住.mp4", "卡住.jpg"}));
        // The video did reach the page: it was the upload that never ended.
        EXPECT_NE(readAll(run.dir.path() / "record.jsonl").find(R"("kind":"video","name":"卡住.mp4")"),
                  std::string::npos);
    }
}

// Four clicks on a submit button that does nothing leave the upload page showing: that is
// no publication, so the video must not be deleted.
TEST(PublishRun, ASubmitThatDoesNothingIsAFailureAndTheVideoStays) {
    PublishRun run(20);
    run.knobs("submit-noop=1");
    run.oneVideo("未发");

    run.runToEnd();

    EXPECT_TRUE(submissions(run.dir.path() / "record.jsonl").empty());
    EXPECT_EQ(run.accounts.cell(0, kColumnStatus), "上传失败");
    EXPECT_EQ(run.accounts.cellToolTip(0, kColumnStatus), "提交未被网站接受");
    EXPECT_EQ(filesUnder(run.dir.path() / "A"), (std::set<std::string>{"未发.mp4", "未发.jpg"}));
}

TEST(PublishRun, ABannedAccountIsMarkedAndItsVideoStays) {
    PublishRun run(20);
    run.site.setAccountState("banned");
    run.oneVideo("留下");

    run.runToEnd();

    EXPECT_EQ(run.accounts.cell(0, kColumnIndex), "封禁或异常");
    EXPECT_EQ(run.accounts.cell(0, kColumnStatus), "上传失败");
    EXPECT_EQ(run.accounts.cellToolTip(0, kColumnStatus), "账号被封禁或未登录");
    EXPECT_EQ(filesUnder(run.dir.path() / "A"), (std::set<std::string>{"留下.mp4", "留下.jpg"}));
    EXPECT_TRUE(submissions(run.dir.path() / "record.jsonl").empty());
}

// The page refuses every own cover: it is handed over twelve times, then the first of the
// system covers is taken.
// The site renamed its submit button: the publication fails naming the role and the
// selector, with a picture and the HTML of the page; a line in page.ini fixes the next
// publication of the same running program. That one is a repost: the source goes into
// the field the repost choice added, the title into the title field.
TEST(PublishRun, ARenamedSubmitFailsAsAMissingElementUntilPageIniNamesIt) {
    PublishRun run(20);
    run.knobs("submit-class=submit-add");
    run.addAccount("A", "阿一", {"改版"});
    run.window.setText("编辑框_单账号上传", "1");
    run.window.setChecked("单选框_删除", true);
    run.window.setChecked("单选框_转载", true);
    run.window.setText("编辑框_转载说明", "转自网络");

    run.runToEnd();

    EXPECT_TRUE(submissions(run.dir.path() / "record.jsonl").empty());
    EXPECT_EQ(run.accounts.cell(0, kColumnStatus), "上传失败");
    EXPECT_EQ(run.accounts.cellToolTip(0, kColumnStatus), "找不到页面元素：submit（.submit-btn-group-add）");
    const auto entries = run.journal.read();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back().reason, "element_missing");
    const fs::path record = entries.back().recordFolder;
    ASSERT_TRUE(fs::is_directory(record)) << record;
    EXPECT_EQ(record.parent_path(), run.dir.path() / "prog/data/失败记录");
    EXPECT_NE(readAll(record / "reason.txt").find("submit  .submit-btn-group-add  位置0  click"), std::string::npos);
    EXPECT_NE(readAll(record / "page.html").find("submit-add"), std::string::npos);
    EXPECT_NE(runAndRead({"identify", (record / "page.png").string()}).find("PNG"), std::string::npos);
    EXPECT_TRUE(fs::exists(run.dir.path() / "A/改版.mp4"));

    std::ofstream(run.dir.path() / "prog/data/page.ini") << "[selectors]\r\nsubmit=.submit-add\r\n";
    run.runToEnd();

    auto submitted = submissions(run.dir.path() / "record.jsonl");
    ASSERT_EQ(submitted.size(), 1u) << ::testing::PrintToString(run.journalEvents()) << run.accounts.cellToolTip(0, kColumnStatus);
    const auto& fields = (*submitted[0])["fields"];
    EXPECT_EQ(str(fields, "source"), "转自网络");
    EXPECT_EQ(str(fields, "title"), "改版");
    EXPECT_EQ(str(fields, "originality"), "转载");
    EXPECT_FALSE(fs::exists(run.dir.path() / "A/改版.mp4"));
}

// "投稿过于频繁" after the click: the account's turn ends at once, its videos stay.
TEST(PublishRun, PostingTooOftenEndsTheAccountsTurn) {
    PublishRun run(20);
    run.knobs("too-frequent=1");
    run.addAccount("A", "阿一", {"一", "二"});
    run.window.setText("编辑框_单账号上传", "2");
    run.window.setChecked("单选框_删除", true);

    run.runToEnd();

    EXPECT_EQ(run.journalEvents(), (std::vector<std::string>{"submitting", "failed too_frequent"}));
    EXPECT_EQ(run.accounts.cellToolTip(0, kColumnStatus), "投稿过于频繁，本账号暂停");
    EXPECT_EQ(filesUnder(run.dir.path() / "A"), (std::set<std::string>{"一.mp4", "一.jpg", "二.mp4", "二.jpg"}));
}

// A captcha after the click pauses the publication; once it is gone the video is submitted.
TEST(PublishRun, AVerificationChallengePausesThePublicationUntilItIsGone) {
    PublishRun run(20);
    run.knobs("verification-ms=4000");
    run.oneVideo("验证");
    std::atomic<int> paused{0};
    run.onTitle = [&](const std::string& title) {
        if (title == "需要人工验证，完成后自动继续") ++paused;
    };

    run.runToEnd();

    EXPECT_EQ(paused.load(), 1);
    EXPECT_EQ(submissions(run.dir.path() / "record.jsonl").size(), 1u);
    EXPECT_FALSE(fs::exists(run.dir.path() / "A/验证.mp4"));
}

TEST(PublishRun, ARefusedCoverGivesWayToTheFirstSystemCover) {
    PublishRun run(20);
    run.knobs("refuse-cover=1");
    run.oneVideo("无封面");

    run.runToEnd();

    auto submitted = submissions(run.dir.path() / "record.jsonl");
    ASSERT_EQ(submitted.size(), 1u);
    const auto& fields = (*submitted[0])["fields"];
    EXPECT_TRUE(fields["cover"].IsNull());
    EXPECT_EQ(fields["systemCover"].GetInt(), 1);
    const std::string record = readAll(run.dir.path() / "record.jsonl");
    int refused = 0;
    for (size_t at = 0; (at = record.find(R"("refused":true)", at)) != std::string::npos; ++at) ++refused;
    EXPECT_EQ(refused, 12);
    EXPECT_FALSE(fs::exists(run.dir.path() / "A/无封面.mp4"));
}

// The prescribed waits at their real length, with the other choices of each step: recommended
// tags, a system cover that is still being prepared when the step comes (ready about 20 s
// after the video was handed over, some 3 s into the step's wait), no description, the page's
// own title and a deleted video.
TEST(PublishRun, OneVideoWithTheRealWaits) {
    PublishRun run(1);
    run.knobs("cover-delay-ms=20000");
    run.oneVideo("原片");
    fs::remove(run.dir.path() / "A/原片.jpg");
    run.window.setChecked("单选框_系统推荐标签", true);
    run.window.setText("编辑框_系统标签个数", "3");
    run.window.setChecked("单选框_系统封面", true);
    run.window.setText("编辑框_封面图序列", "3");
    run.window.setChecked("单选框_视频文件名", true);
    run.window.setChecked("选择框_标题附加", false);

    run.runToEnd();

    auto submitted = submissions(run.dir.path() / "record.jsonl");
    ASSERT_EQ(submitted.size(), 1u) << readAll(run.dir.path() / "record.jsonl");
    const auto& fields = (*submitted[0])["fields"];
    EXPECT_EQ(str(fields, "title"), "原片");
    EXPECT_EQ(tagsOf(fields), (std::vector<std::string>{"推荐1", "推荐2", "推荐3"}));
    EXPECT_TRUE(fields["cover"].IsNull());
    EXPECT_EQ(fields["systemCover"].GetInt(), 3);
    EXPECT_EQ(str(fields, "zone"), "游戏");
    EXPECT_FALSE(fs::exists(run.dir.path() / "A/原片.mp4"));
}

// The chaos cases: whatever breaks, each video ends published once and gone from its
// folder, or not published and still there.
TEST(PublishChaos, TheBrowserKilledMidUploadOrMidTagsKeepsTheVideo) {
    for (const std::string moment : {"进度：", "写标签"}) {
        PublishRun run(20);
        run.knobs("upload-ms=60000");
        run.oneVideo("留着");
        std::atomic<bool> killed{false};
        run.onTitle = [&](const std::string& title) {
            if (title.rfind(moment, 0) == 0 && !killed.exchange(true)) run.killBrowser();
        };
        run.runToEnd();
        EXPECT_TRUE(killed) << moment;
        EXPECT_TRUE(submissions(run.dir.path() / "record.jsonl").empty()) << moment;
        EXPECT_TRUE(fs::exists(run.dir.path() / "A/留着.mp4")) << moment;
        EXPECT_EQ(run.journalEvents(), std::vector<std::string>{"failed browser_gone"}) << moment;
        EXPECT_EQ(run.accounts.cell(0, kColumnStatus), "上传失败");
        EXPECT_EQ(run.accounts.cellToolTip(0, kColumnStatus), "浏览器无响应") << moment;
    }
}

TEST(PublishChaos, AConnectionDroppedMidUploadIsGivenUpAndTheVideoStays) {
    PublishRun run(20);
    run.knobs("drop-upload=1");
    run.oneVideo("断线");
    // The stall shows only when the give-up time runs out while the upload waits; the steps
    // before it must end first even on a loaded machine (at 20x, 240 s is 12 s of real time).
    run.window.setText("放弃秒", "240");
    run.runToEnd();
    EXPECT_TRUE(submissions(run.dir.path() / "record.jsonl").empty());
    EXPECT_TRUE(fs::exists(run.dir.path() / "A/断线.mp4"));
    EXPECT_EQ(run.journalEvents(), std::vector<std::string>{"failed upload_stalled"});
}

// The site records the submit but answers late: the page is given time to move on, and
// no second click makes it a second submission.
TEST(PublishChaos, ASlowSubmitAnswerIsPublishedOnce) {
    PublishRun run(10);
    run.knobs("submit-answer-ms=400");
    run.oneVideo("慢");
    run.runToEnd();
    EXPECT_EQ(submissions(run.dir.path() / "record.jsonl").size(), 1u);
    EXPECT_FALSE(fs::exists(run.dir.path() / "A/慢.mp4"));
    EXPECT_EQ(run.journalEvents(), (std::vector<std::string>{"submitting", "submitted", "disposed"}));
}

// The site moved its upload page; a submit that does nothing must not count because the
// page shows another address than the configured one.
TEST(PublishChaos, OnAMovedUploadPageOnlyLeavingTheLandedAddressCounts) {
    PublishRun run(20);
    run.knobs("moved-upload=1&submit-noop=1");
    run.oneVideo("搬家");
    run.runToEnd();
    EXPECT_TRUE(fs::exists(run.dir.path() / "A/搬家.mp4"));
    EXPECT_EQ(run.journalEvents(), (std::vector<std::string>{"submitting", "failed submit_refused"}));
}

// A used-videos folder with no room left: the published video cannot move there. It
// stays in its folder, and the run does not publish it a second time.
TEST(PublishChaos, AFullUsedFolderKeepsThePublishedVideoButNeverRepublishesIt) {
    PublishRun run(20);
    const fs::path used = run.dir.path() / "used";
    fs::create_directories(used);
    if (mount("tmpfs", used.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno) << "): disk-full case skipped";
    struct Unmount {
        fs::path at;
        ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
    } unmount{used};
    {
        std::ofstream filler(used / "filler", std::ios::binary);
        const std::string block(4096, 'f');
        for (int i = 0; i < 64 && filler; ++i) filler << block;
    }
    run.addAccount("A", "阿一", {"满"});
    run.window.setText("编辑框_单账号上传", "2");
    run.window.setChecked("单选框_移动", true);
    run.window.setText("编辑框_使用过视频目录", used.string());
    run.runToEnd();
    EXPECT_EQ(submissions(run.dir.path() / "record.jsonl").size(), 1u);
    EXPECT_TRUE(fs::exists(run.dir.path() / "A/满.mp4"));
    EXPECT_EQ(run.journalEvents(), (std::vector<std::string>{"submitting", "submitted"}));
}

}  // namespace
}  // namespace clipmill::testing
