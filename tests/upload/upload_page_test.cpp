#include "browser/upload_page.h"

#include <gtest/gtest.h>

#include "browser/classic_layout.h"
#include "engine/job_composer.h"
#include "fixtures/held_clipboard.h"
#include "fixtures/recording_automation.h"
#include "fixtures/temp_dir.h"
#include "settings/control_table.h"
#include "support/gbk.h"

namespace clipmill::testing {
namespace {

const std::string kUploadUrl = "http://127.0.0.1:1/video/upload.html";
const std::string kSubmitUrl = "http://127.0.0.1:1/api/submit";

using Exchange = BrowserAutomation::NetworkExchange;

Exchange submitRequest(Exchange::State state, const std::string& body = "") {
    return Exchange{"POST", kSubmitUrl, state, state == Exchange::State::Answered ? 200 : 0, body, ""};
}

const std::string kAccepted = R"({"code":0,"message":"0","data":{"aid":1001,"bvid":"BV1pr1001"}})";


// The account's browser as the page sees it: handle 7, the upload page shown (or not), and
// every title set on the automation, where the call log records it.
class ScriptedAccountBrowser : public AccountBrowser {
public:
    explicit ScriptedAccountBrowser(RecordingAutomation& automation) : automation_(automation) {}
    PageOpening openUploadPage(const std::string& accountId, PublishContext&) override {
        openedFor = accountId;
        PageOpening opening;
        opening.shown = shown;
        opening.landedAddress = landedAddress;
        if (!shown) {
            opening.failure = bannedFailure();
            opening.accountUnusable = true;
        }
        return opening;
    }
    int handle() const override { return 7; }
    const SiteAddresses& addresses() const override { return siteAddresses; }
    void setBrowserTitle(const std::string& title) override {
        automation_.form_set_window_title(7, title);
        if (onTitle) onTitle(title);
    }
    void closeBrowser() override { automation_.form_close_browser(7); }

    bool shown = true;
    std::string landedAddress;  // "" : the configured address
    std::string openedFor;
    std::function<void(const std::string&)> onTitle;

    SiteAddresses siteAddresses{kUploadUrl, "http://127.0.0.1:1/login"};

private:
    RecordingAutomation& automation_;
};

// The page over the call-recording automation. Each publication's job is composed from the
// window's settings by the real composer, as a run does, then adjusted by the test.
class UploadPageTest : public ::testing::Test {
protected:
    UploadPageTest() {
        window.setItems("组合框1", {{"动画", 1}, {"游戏", 4}});
        window.setIndex("组合框1", 0);
        window.setItems("组合框2", {{"日常", 1}});
        window.setIndex("组合框2", 0);
        browser.scriptText(".upload-status-intro", {"上传完成"});
        browser.scriptText(".item-status-percentage", {"100%"});
        browser.scriptCount(".selector-item", 4);
        siteAccepts();
    }

    // The page's submit request is answered with the site's yes at the first look.
    void siteAccepts() {
        browser.scriptPageUrl({kUploadUrl});
        browser.scriptNetwork({{submitRequest(Exchange::State::Answered, kAccepted)}});
    }

    int drawRecorded(int low, int high) {
        draws.emplace_back(low, high);
        return low;
    }

    UploadJob composedJob() {
        JobComposerImpl composer(window, titles, [this](int low, int high) { return drawRecorded(low, high); });
        UploadJob job = composer.composeJob({"100", "小明"}, video);
        job.titleSource = title ? TitleSource::Library : TitleSource::PageOwn;
        job.title = title.value_or("视频一");
        if (adjust) adjust(job);
        return job;
    }

    int publish() {
        account.landedAddress = landedAddress;
        UploadPage page(PageTools{browser, account, clipboard, [this](int low, int high) { return drawRecorded(low, high); }},
                        classicLayout(), &profiles, recordsRoot);
        const UploadJob job = composedJob();
        clock.enterThread();
        PublishContext context{waiter,
                               [this] {
                                   ++giveUpChecks;
                                   return giveUpAtCheck >= 0 && giveUpChecks >= giveUpAtCheck;
                               },
                               30};
        context.onSubmitting = onSubmitting;
        outcome = page.publish(job, context);
        clock.leaveThread();
        failure = outcome.reason.word;
        failureText = outcome.reason.text;
        recordFolder = outcome.recordFolder;
        abandoned = outcome.gaveUp;
        return outcome.published() ? 1 : 0;
    }

    void select(const std::string& radio) { window.setChecked(radio, true); }
    long count(const std::string& prefix) { return static_cast<long>(browser.callsStartingWith(prefix).size()); }

    TempDir dir;
    FakeClock clock;
    StopSignal stop;
    Waiter waiter{clock, stop};
    WindowState window{controlTable()};
    TitlePool titles;
    RecordingAutomation browser;
    ScriptedAccountBrowser account{browser};
    HeldClipboard clipboard;
    std::string video = "/videos/视频一.mp4";
    std::function<void(UploadJob&)> adjust;  // changes the composed job
    int giveUpAtCheck = -1;  // the check that first says to give up; -1 never
    int giveUpChecks = 0;
    bool abandoned = false;
    std::optional<std::string> title = "我的标题";  // the composed title; nothing: the page's own
    std::vector<std::pair<int, int>> draws;
    std::function<bool(const SubmittingFacts&)> onSubmitting;
    std::string landedAddress;  // "" : the configured address
    PageProfileSource profiles{dir.path() / "page.ini"};
    std::filesystem::path recordsRoot;  // none written unless a test sets it
    PublishOutcome outcome;
    std::string failure;
    std::string failureText;
    std::string recordFolder;
};

TEST_F(UploadPageTest, PublishesWithTheDefaultSettingsInThePagesOrder) {
    ASSERT_EQ(publish(), 1);
    std::vector<std::string> expected = {
        "title 开始上传",
        "upload 2 " + video,
        "click .check-radio-v2-name @1",
        "title 设置分类",
        "click .select-box-v2-controller @0",
        "click .pre-item-content @2",
        "click .item-main @1",
        "title 写标签",
        "cursor .content-tag-v2-input-wrp",
        "word .content-tag-v2-input-wrp [原创]",
        "key 13",
        "word .content-tag-v2-input-wrp [视频]",
        "key 13",
    };
    for (int i = 1; i <= 8; ++i) expected.push_back("click .label-item-v2-2-container @" + std::to_string(i));
    for (const char* line : {"title 标签完成", "title 设置系统封面", "exists? .cover-v2-loading", "count? .selector-item",
                             "click .selector-item @1", "title 写简介", "focus div.ql-editor @0", "keys 86+2",
                             "text? .item-status-percentage @1", "title 进度：100%", "text? .upload-status-intro @0",
                             "setvalue .input-box-v2-1-val @0 []", "settext .input-box-v2-1-val @0 []",
                             "input .input-box-v2-1-val @0 [我的标题]", "title 开始发布", "url?",
                             "network record", "click .submit-btn-group-add @0", "url?", "text? body @0",
                             "exists? .geetest_panel", "network stop", "title 已发表"})
        expected.push_back(line);
    // The page stays where the site took it: the proof stays visible until the run has
    // written it down.
    EXPECT_EQ(browser.calls(), expected);
    EXPECT_EQ(account.openedFor, "100");
    EXPECT_EQ(outcome.verdict, Verdict::Published);
    EXPECT_EQ(outcome.evidence, "网站应答 code 0，BV1pr1001");
    EXPECT_EQ(clipboard.text().rfind("为大家提供的视频一是由本人原创制作", 0), 0u) << clipboard.text();
    EXPECT_FALSE(abandoned);
}

// The source goes into the text input the repost choice added, not into the title field
// (the first text input), where the title would overwrite it.
TEST_F(UploadPageTest, RepostTypesTheSourceIntoTheFieldTheRepostChoiceAdded) {
    select("单选框_转载");
    window.setText("编辑框_转载说明", "来自网络");
    browser.scriptCounts(".input-box-v2-1-val", {1, 2});
    EXPECT_EQ(publish(), 1);
    EXPECT_EQ(count("click .check-radio-v2-name @2"), 1);
    EXPECT_EQ(browser.callsStartingWith("input .input-box-v2-1-val"),
              (std::vector<std::string>{"input .input-box-v2-1-val @2 [来自网络]", "input .input-box-v2-1-val @0 [我的标题]"}));

    browser.clearCalls();
    dir.write("page.ini", "[positions]\r\nsource=3\r\n");
    publish();
    EXPECT_EQ(count("input .input-box-v2-1-val @3 [来自网络]"), 1);

    // No field appeared: nothing is typed rather than the source going into the title.
    browser.clearCalls();
    dir.write("page.ini", "");
    browser.scriptCounts(".input-box-v2-1-val", {1});
    EXPECT_EQ(publish(), 1);
    EXPECT_EQ(count("input .input-box-v2-1-val @0 [来自网络]"), 0);
}

// page.ini is read again for every publication: a fix written while the program runs
// takes effect on the next video.
TEST_F(UploadPageTest, ThePageProfileOverridesSelectorsPositionsAndTextsForTheNextPublication) {
    dir.write("page.ini", utf8ToGbk("[selectors]\r\nsubmit=.新按钮\r\n[positions]\r\nzone_offset=3\r\ntitle=x\r\n"
                                    "[texts]\r\nupload_done=好了\r\n"));
    browser.scriptText(".upload-status-intro", {"好了"});
    EXPECT_EQ(publish(), 1);
    EXPECT_EQ(count("click .新按钮 @0"), 1);
    EXPECT_EQ(count("click .pre-item-content @3"), 1);
    EXPECT_EQ(count("input .input-box-v2-1-val @0 [我的标题]"), 1);  // the unusable title position is ignored

    dir.write("page.ini", "");
    browser.clearCalls();
    browser.scriptText(".upload-status-intro", {"上传完成"});
    EXPECT_EQ(publish(), 1);
    EXPECT_EQ(count("click .submit-btn-group-add @0"), 1);
    EXPECT_EQ(count("click .pre-item-content @2"), 1);
}

// A renamed submit button: the failure names the role and the selector, and the record
// holds the page as it was, with the value of page.ini that was ignored.
TEST_F(UploadPageTest, AnElementThatMatchesNothingIsTheReasonAndLeavesARecord) {
    recordsRoot = dir.path() / "records";
    dir.write("page.ini", "[positions]\r\nsubmit=-1\r\n");
    browser.scriptMissing(".submit-btn-group-add");
    browser.scriptPageUrl({kUploadUrl});
    browser.scriptHtml({"<html>上传页</html>"});
    EXPECT_EQ(publish(), 0);
    EXPECT_EQ(failure, "element_missing");
    EXPECT_NE(failureText.find("submit（.submit-btn-group-add）"), std::string::npos) << failureText;
    ASSERT_FALSE(recordFolder.empty());
    const std::filesystem::path folder(recordFolder);
    EXPECT_EQ(folder.parent_path(), recordsRoot);
    EXPECT_EQ(folder.filename().string().substr(15), "_100");
    const std::string reason = dir.read("records/" + folder.filename().string() + "/reason.txt");
    for (const char* part : {"submit  .submit-btn-group-add  位置0  click  发布", "视频：/videos/视频一.mp4",
                             "发布前地址：" , "submit=-1", "element_missing"})
        EXPECT_NE(reason.find(part), std::string::npos) << part << "\n" << reason;
    EXPECT_EQ(dir.read("records/" + folder.filename().string() + "/page.png"), RecordingAutomation::kScreenshot);
    EXPECT_EQ(dir.read("records/" + folder.filename().string() + "/page.html"), "<html>上传页</html>");
}

TEST_F(UploadPageTest, EachCauseHasItsReason) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::string word;
        std::string text;
    } cases[] = {
        {"Stalled", [&] { browser.scriptText(".upload-status-intro", {"上传中"}); browser.scriptText(".item-status-percentage", {"37%"}); giveUpAtCheck = 9; },
         "upload_stalled", "上传停在37%"},
        {"VideoNotTaken", [&] { browser.refuseFiles(); browser.scriptText(".upload-status-intro", {""}); browser.scriptText(".item-status-percentage", {""}); browser.scriptPageUrl({kUploadUrl}); giveUpAtCheck = 7; },
         "element_missing", "找不到页面元素：video（input[type=file]）"},
        {"GivenUp", [&] { giveUpAtCheck = 2; }, "given_up", "超过30秒，已放弃"},
        {"NoRequestSent", [&] { browser.scriptNetwork({{}}); }, "submit_refused", "提交未被网站接受"},
        {"SiteRefusedTheTags", [&] { browser.scriptNetwork({{submitRequest(Exchange::State::Answered, R"({"code":21005,"message":"标签格式错误"})")}}); },
         "site_refused", "标签格式错误（代码21005）"},
        {"SiteSaysTooOften", [&] { browser.scriptNetwork({{submitRequest(Exchange::State::Answered, R"({"code":21566,"message":"投稿过于频繁，请稍后再试"})")}}); },
         "too_frequent", "投稿过于频繁，请稍后再试（代码21566）"},
        {"ToastWithoutCode", [&] { browser.scriptNetwork({{}}); browser.scriptText("body", {"立即投稿\n上传视频过快，请稍后"}); },
         "too_frequent", "投稿过于频繁，本账号暂停"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        browser.reset();
        giveUpAtCheck = -1;
        giveUpChecks = 0;
        browser.scriptText(".upload-status-intro", {"上传完成"});
        browser.scriptText(".item-status-percentage", {"100%"});
        siteAccepts();
        c.arrange();
        EXPECT_EQ(publish(), 0);
        EXPECT_EQ(failure, c.word);
        EXPECT_EQ(failureText, c.text);
    }
    // The site said so at the first click: it is not asked again.
    EXPECT_EQ(count("click .submit-btn-group-add"), 1);
}

// A challenge after the click pauses the publication until the user solved it; then the
// click is made again.
TEST_F(UploadPageTest, AVerificationChallengeIsWaitedForThenSubmittedAgain) {
    browser.scriptNetwork({{}});
    browser.scriptPresence(".geetest_panel", {1, 1, 1, 0});
    int clicks = 0;
    browser.onCall = [&](const std::string& line) {
        if (line.rfind("click .submit-btn-group-add", 0) == 0 && ++clicks == 2)
            browser.scriptNetwork({{submitRequest(Exchange::State::Answered, kAccepted)}});
    };
    EXPECT_EQ(publish(), 1);
    EXPECT_EQ(count("title 需要人工验证，完成后自动继续"), 1);
    EXPECT_EQ(count("click .submit-btn-group-add"), 2);

    // The give-up limit still applies while the challenge shows.
    browser.onCall = nullptr;
    browser.reset();
    browser.scriptText(".upload-status-intro", {"上传完成"});
    browser.scriptPageUrl({kUploadUrl});
    browser.scriptNetwork({{}});
    browser.scriptPresence(".geetest_panel", {1});
    giveUpChecks = 0;
    giveUpAtCheck = 10;
    EXPECT_EQ(publish(), 0);
    EXPECT_EQ(failure, "verification");
    EXPECT_EQ(failureText, "需要人工验证");
}

// A video published without its zone or tags is recorded too; a missing recommended tag
// is not worth a record.
TEST_F(UploadPageTest, ASuccessThatMissedAnElementTheVideoNeedsLeavesARecord) {
    recordsRoot = dir.path() / "records";
    browser.scriptMissing(".label-item-v2-2-container");
    EXPECT_EQ(publish(), 1);
    EXPECT_TRUE(recordFolder.empty());
    browser.scriptMissing(".content-tag-v2-input-wrp");
    EXPECT_EQ(publish(), 1);
    ASSERT_FALSE(recordFolder.empty());
    const std::string reason = dir.read("records/" + std::filesystem::path(recordFolder).filename().string() + "/reason.txt");
    EXPECT_NE(reason.find("tag_input  .content-tag-v2-input-wrp"), std::string::npos) << reason;
    EXPECT_NE(reason.find("已发布"), std::string::npos) << reason;
}

TEST_F(UploadPageTest, NothingSelectedInTheListsClicksThePagesFirstEntries) {
    window.setIndex("组合框1", -1);
    window.setIndex("组合框2", -1);
    publish();
    EXPECT_EQ(count("click .pre-item-content @1"), 1);
    EXPECT_EQ(count("click .item-main @0"), 1);
}

TEST_F(UploadPageTest, TagModes) {
    struct Case {
        const char* radio;
        std::string tags;
        std::string wanted;  // the count field of the mode
        std::vector<std::string> typed;
        int recommended;
    } cases[] = {
        {"单选框标签固定", "a++b", "", {"a", "", "b"}, 0},
        {"单选框_混合标签", "a+b+c", "2", {"a", "b", "c"}, 0},
        {"单选框_混合标签", "a+b", "5", {"a", "b"}, 3},
        {"单选框_混合标签", "a", "", {"a"}, 1},
        {"单选框_系统推荐标签", "a", "0", {}, 2},
        {"单选框_系统推荐标签", "a", "1", {}, 2},
        {"单选框_系统推荐标签", "a", "", {}, 2},
        {"单选框_系统推荐标签", "a", "25", {}, 20},
        {"单选框_混合标签", "a", "25", {"a"}, 24},
    };
    for (const auto& c : cases) {
        browser.clearCalls();
        select(c.radio);
        window.setText("编辑框_固定标签", c.tags);
        window.setText(std::string(c.radio) == "单选框_系统推荐标签" ? "编辑框_系统标签个数" : "编辑框_混合标签个数", c.wanted);
        publish();
        std::vector<std::string> typed;
        for (const auto& line : browser.callsStartingWith("word ")) typed.push_back(line.substr(line.find('[') + 1, line.size() - line.find('[') - 2));
        EXPECT_EQ(typed, c.typed) << c.radio << " " << c.tags;
        EXPECT_EQ(count("key 13"), static_cast<long>(c.typed.size()));
        EXPECT_EQ(count("click .label-item-v2-2-container"), c.recommended) << c.radio << " " << c.wanted;
    }
}

TEST_F(UploadPageTest, TheJobsTagsAreTyped) {
    adjust = [](UploadJob& job) { job.typedTags = {"x", "y"}; };
    publish();
    EXPECT_EQ(count("word .content-tag-v2-input-wrp [x]"), 1);
    EXPECT_EQ(count("word .content-tag-v2-input-wrp [原创]"), 0);
}

TEST_F(UploadPageTest, SystemCoverPosition) {
    struct Case {
        std::string position;
        int offered;
        std::string clicked;
    } cases[] = {{"2", 4, "@2"}, {"3", 2, "@2"}, {"0", 4, "@1"}, {"", 4, "@1"}, {"9", 0, "@1"}};
    select("单选框_系统封面");
    for (const auto& c : cases) {
        browser.clearCalls();
        window.setText("编辑框_封面图序列", c.position);
        browser.scriptCount(".selector-item", c.offered);
        publish();
        EXPECT_EQ(browser.callsStartingWith("click .selector-item"),
                  std::vector<std::string>{"click .selector-item " + c.clicked})
            << c.position << " of " << c.offered;
    }
}

TEST_F(UploadPageTest, SystemCoversThatKeepLoadingAreWaitedForSixteenSeconds) {
    browser.scriptPresence(".cover-v2-loading", {1});
    publish();
    auto titles = browser.callsStartingWith("title 等待系统封面");
    ASSERT_EQ(titles.size(), 16u);
    EXPECT_EQ(titles.back(), "title 等待系统封面16");
    EXPECT_EQ(count("click .selector-item"), 1);
}

TEST_F(UploadPageTest, LocalCoverIsHandedOverUntilTheHintGoes) {
    select("单选框_本地封面");
    const std::string cover = dir.write("视频一.jpg", "jpg").string();
    adjust = [&](UploadJob& job) { job.cover.file = cover; };
    browser.scriptPresence(".cover-v2-upload-tip", {1, 1, 0});
    publish();
    EXPECT_EQ(count("upload 1 " + cover), 3);
    EXPECT_EQ(count("click .cover-chop-modal-v2-btn @0"), 3);
    EXPECT_EQ(count("click .selector-item"), 0);
}

TEST_F(UploadPageTest, RefusedLocalCoverFallsBackToASystemCoverAfterTwelveTries) {
    select("单选框_本地随机封面");
    const std::string cover = dir.write("c.jpg", "jpg").string();
    adjust = [&](UploadJob& job) { job.cover.file = cover; };
    browser.scriptPresence(".cover-v2-upload-tip", {1});
    publish();
    EXPECT_EQ(count("upload 1 "), 12);
    EXPECT_EQ(count("click .selector-item @1"), 1);
}

TEST_F(UploadPageTest, MissingLocalCoverUsesTheFirstSystemCover) {
    select("单选框_本地封面");
    adjust = [&](UploadJob& job) { job.cover.file = dir.str() + "/nothing.jpg"; };
    publish();
    EXPECT_EQ(count("upload 1 "), 0);
    EXPECT_EQ(browser.callsStartingWith("click .selector-item"), std::vector<std::string>{"click .selector-item @1"});
}

// The description is composed once, with the job: the page pastes it as it is.
TEST_F(UploadPageTest, TheJobsDescriptionIsPastedAsItIs) {
    window.setText("编辑框_简介模板内容", "{NICK}说{title}有{tag}");
    window.setText("编辑框_固定标签", "a+b");
    publish();
    EXPECT_EQ(clipboard.text(), "小明说视频一有a、b");

    adjust = [](UploadJob& job) { job.description = "已准备的{title}"; };
    publish();
    EXPECT_EQ(clipboard.text(), "已准备的{title}");

    adjust = [](UploadJob& job) { job.description = ""; };
    clipboard.setText("旧内容");
    publish();
    EXPECT_EQ(clipboard.text(), "");
    EXPECT_EQ(count("keys 86+2"), 3);
}

TEST_F(UploadPageTest, DescriptionOffSkipsThePaste) {
    window.setChecked("选择框_填写简介", false);
    publish();
    EXPECT_EQ(count("keys 86+2"), 0);
    EXPECT_EQ(count("title 写简介"), 0);
}

TEST_F(UploadPageTest, NoComposedTitleLeavesTheTitleFieldAlone) {
    title.reset();
    EXPECT_EQ(publish(), 1);
    EXPECT_EQ(count("setvalue"), 0);
    EXPECT_EQ(count("input .input-box-v2-1-val"), 0);
}

TEST_F(UploadPageTest, UploadProgressIsPolledUntilDone) {
    browser.scriptText(".upload-status-intro", {"上传中", "上传中", "上传完成"});
    browser.scriptText(".item-status-percentage", {"10%", "60%", "100%"});
    publish();
    EXPECT_EQ(browser.callsStartingWith("title 进度"),
              (std::vector<std::string>{"title 进度：10%", "title 进度：60%", "title 进度：100%"}));
}

TEST_F(UploadPageTest, GiveUpWhileUploadingAbandonsTheTimer) {
    browser.scriptText(".upload-status-intro", {"上传中"});
    giveUpAtCheck = 9;  // five checks between steps, then the fourth poll
    EXPECT_EQ(publish(), 0);
    EXPECT_TRUE(abandoned);
    EXPECT_EQ(count("title 进度"), 4);
    EXPECT_EQ(count("click .submit-btn-group-add"), 0);
}

TEST_F(UploadPageTest, GiveUpBetweenStepsStopsAtOnce) {
    giveUpAtCheck = 1;  // right after the file was handed over
    EXPECT_EQ(publish(), 0);
    EXPECT_EQ(count("upload 2"), 1);
    EXPECT_EQ(count("click"), 0);
}

TEST_F(UploadPageTest, UnusableAccountPublishesNothing) {
    account.shown = false;
    EXPECT_EQ(publish(), 0);
    EXPECT_TRUE(browser.calls().empty());
    EXPECT_EQ(failure, "banned");
    EXPECT_TRUE(outcome.accountUnusable);
}

// What the page and the network show after the click, and what the publication comes to.
// Only the site's answer, the page's success word or (on this page) the address leaving the
// upload page prove a publication; a sent request with no answer seen is unknown, never failed.
TEST_F(UploadPageTest, TheVerdictRestsOnEvidenceOnly) {
    const std::string done = "http://127.0.0.1:1/video/done";
    const std::string edit = "http://127.0.0.1:1/video/edit";
    const std::string login = "http://127.0.0.1:1/login?from=upload";
    const Exchange sent = submitRequest(Exchange::State::Sent);
    const Exchange lost = submitRequest(Exchange::State::Failed);
    struct Case {
        const char* name;
        std::vector<Exchange> network;
        std::deque<std::string> addresses;  // before the click, then each look
        std::string body;
        int connected;
        Verdict verdict;
        std::string failure;
        long clicks;
    } cases[] = {
        {"SiteAnswersYes", {submitRequest(Exchange::State::Answered, kAccepted)}, {kUploadUrl}, "", 1, Verdict::Published, "", 1},
        {"SuccessShownInPlace", {}, {kUploadUrl}, "稿件投递成功 再投一个", 1, Verdict::Published, "", 1},
        {"AddressLeftTheUploadPage", {}, {kUploadUrl, done}, "", 1, Verdict::Published, "", 1},
        {"RouteChangedBeforeTheClickProvesNothing", {}, {edit}, "", 1, Verdict::NotPublished, "submit_refused", 2},
        {"BlankTabAfterASentRequest", {sent}, {kUploadUrl, "about:blank"}, "", 1, Verdict::Unknown, "answer_unseen", 1},
        {"AnswerLost", {lost}, {kUploadUrl}, "", 1, Verdict::Unknown, "answer_unseen", 1},
        {"LoginPageAfterASentRequest", {sent}, {kUploadUrl, login}, "", 1, Verdict::Unknown, "banned", 1},
        {"LoginPageWithNoRequest", {}, {kUploadUrl, login}, "", 1, Verdict::NotPublished, "banned", 1},
        {"BrowserGoneAfterASentRequest", {sent}, {kUploadUrl, ""}, "", 0, Verdict::Unknown, "browser_gone", 1},
        {"BrowserGoneWithNoRequest", {}, {kUploadUrl, ""}, "", 0, Verdict::NotPublished, "browser_gone", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        browser.clearCalls();
        browser.scriptPageUrl(c.addresses);
        browser.scriptNetwork({c.network});
        browser.scriptText("body", {c.body});
        browser.scriptConnected(c.connected);
        publish();
        EXPECT_EQ(outcome.verdict, c.verdict);
        EXPECT_EQ(failure, c.failure);
        EXPECT_EQ(count("click .submit-btn-group-add @0"), c.clicks);
        if (c.verdict == Verdict::Published) EXPECT_FALSE(outcome.evidence.empty());
    }
}

TEST_F(UploadPageTest, TheSiteAnswerGivesTheVideosNumbers) {
    EXPECT_EQ(publish(), 1);
    EXPECT_EQ(outcome.answer.code, 0);
    EXPECT_EQ(outcome.answer.aid, "1001");
    EXPECT_EQ(outcome.answer.bvid, "BV1pr1001");
    EXPECT_NE(outcome.evidence.find("BV1pr1001"), std::string::npos);
}

// A slow answer is awaited, for as long as the profile allows, without another click.
TEST_F(UploadPageTest, ASentRequestIsNeverClickedAgain) {
    std::deque<std::vector<Exchange>> looks(240, {submitRequest(Exchange::State::Sent)});  // a minute
    looks.push_back({submitRequest(Exchange::State::Answered, kAccepted)});
    browser.scriptNetwork(looks);
    EXPECT_EQ(publish(), 1);
    EXPECT_EQ(count("click .submit-btn-group-add"), 1);

    browser.clearCalls();
    browser.scriptNetwork({{submitRequest(Exchange::State::Sent)}});
    const long long clicked = clock.now().count();
    EXPECT_EQ(publish(), 0);
    EXPECT_EQ(outcome.verdict, Verdict::Unknown);
    EXPECT_EQ(count("click .submit-btn-group-add"), 1);
    EXPECT_GE(clock.now().count() - clicked, 600000);  // the built-in ten minutes
    EXPECT_LT(clock.now().count() - clicked, 700000);
}

// Only the network's word that the click sent nothing allows a second click, ten seconds
// later by the clock; without that word there is none.
TEST_F(UploadPageTest, ASecondClickOnlyWhenTheFirstSentNothing) {
    std::vector<long long> clicks;
    browser.onCall = [&](const std::string& line) {
        if (line.rfind("click .submit-btn-group-add", 0) != 0) return;
        clicks.push_back(clock.now().count());
        if (clicks.size() == 2) browser.scriptNetwork({{submitRequest(Exchange::State::Answered, kAccepted)}});
    };
    browser.scriptNetwork({{}});
    EXPECT_EQ(publish(), 1);
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_GE(clicks[1] - clicks[0], 10000);
    EXPECT_LT(clicks[1] - clicks[0], 11000);

    browser.onCall = nullptr;
    browser.reset();
    browser.scriptText(".upload-status-intro", {"上传完成"});
    browser.scriptPageUrl({kUploadUrl});  // and no network record at all
    EXPECT_EQ(publish(), 0);
    EXPECT_EQ(outcome.verdict, Verdict::Unknown);
    EXPECT_EQ(count("click .submit-btn-group-add"), 1);
}

// Stop while the answer is awaited ends the wait at once; one more look decides what it can.
TEST_F(UploadPageTest, StopWhileTheAnswerIsAwaitedLeavesItUnknown) {
    browser.scriptNetwork({{submitRequest(Exchange::State::Sent)}});
    long long clicked = -1;
    browser.onCall = [&](const std::string& line) {
        if (line.rfind("click .submit-btn-group-add", 0) != 0) return;
        clicked = clock.now().count();
        stop.request();
    };
    EXPECT_EQ(publish(), 0);
    EXPECT_EQ(outcome.verdict, Verdict::Unknown);
    EXPECT_EQ(failure, "stopped");
    EXPECT_LE(clock.now().count() - clicked, 1000);
}

// What the last look after Stop sees still counts.
TEST_F(UploadPageTest, StopAfterTheClickStillReadsTheAnswer) {
    browser.scriptNetwork({{submitRequest(Exchange::State::Sent)}});
    browser.onCall = [&](const std::string& line) {
        if (line.rfind("click .submit-btn-group-add", 0) != 0) return;
        browser.scriptNetwork({{submitRequest(Exchange::State::Answered, kAccepted)}});
        stop.request();
    };
    EXPECT_EQ(publish(), 1);
}

TEST_F(UploadPageTest, StopBeforeTheClickSubmitsNothing) {
    onSubmitting = [&](const SubmittingFacts& facts) {
        EXPECT_EQ(facts.landedAddress, kUploadUrl);
        EXPECT_EQ(facts.tabId, "TAB1");
        stop.request();
        return true;
    };
    EXPECT_EQ(publish(), 0);
    EXPECT_EQ(count("click .submit-btn-group-add"), 0);
    EXPECT_EQ(failure, "stopped");
}

TEST_F(UploadPageTest, NothingIsClickedThatCouldNotBeWrittenDown) {
    onSubmitting = [](const SubmittingFacts&) { return false; };
    EXPECT_EQ(publish(), 0);
    EXPECT_EQ(outcome.verdict, Verdict::NotPublished);
    EXPECT_EQ(failure, "journal_failed");
    EXPECT_EQ(count("click .submit-btn-group-add"), 0);
}

// Nothing is done in a browser before the site says who is logged in there.
TEST_F(UploadPageTest, TheLoggedInAccountIsCheckedBeforeTheFirstStep) {
    const std::string nav = "http://127.0.0.1:1/x/web-interface/nav";
    account.siteAddresses.identity = nav;
    struct Case {
        const char* name;
        std::optional<std::string> answer;
        std::string expected;  // the account file's site id
        std::string failure;
        bool unusable;
    } cases[] = {
        {"SameAccount", R"({"code":0,"data":{"isLogin":true,"mid":10001,"uname":"甲"}})", "10001", "", false},
        {"FirstPublication", R"({"code":0,"data":{"isLogin":true,"mid":10001,"uname":"甲"}})", "", "", false},
        {"AnotherAccount", R"({"code":0,"data":{"isLogin":true,"mid":20002,"uname":"乙"}})", "10001", "wrong_account", false},
        {"LoggedOut", R"({"code":-101,"message":"账号未登录","data":{"isLogin":false}})", "10001", "banned", true},
        {"NoAnswer", std::nullopt, "10001", "identity_unknown", false},
        {"NotTheSitesAnswer", "<html>502</html>", "10001", "identity_unknown", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        browser.clearCalls();
        browser.scriptFetch(nav, c.answer);
        adjust = [&](UploadJob& job) { job.siteId = c.expected; };
        publish();
        EXPECT_EQ(failure, c.failure);
        EXPECT_EQ(outcome.accountUnusable, c.unusable);
        EXPECT_EQ(outcome.published(), c.failure.empty());
        EXPECT_EQ(count("fetch " + nav), 1);
        if (!c.failure.empty()) EXPECT_EQ(count("upload"), 0);
        if (c.failure.empty()) EXPECT_EQ(outcome.siteId, "10001");
    }
}

TEST_F(UploadPageTest, ABrowserGoneWhileUploadingEndsThePublication) {
    browser.scriptText(".upload-status-intro", {""});
    browser.scriptText(".item-status-percentage", {"37%", ""});
    browser.scriptPageUrl({""});
    browser.scriptConnected(0);
    EXPECT_EQ(publish(), 0);
    EXPECT_EQ(failure, "browser_gone");
    EXPECT_EQ(count("title 进度"), 1);
    EXPECT_EQ(count("click .submit-btn-group-add"), 0);
}

TEST_F(UploadPageTest, StopEndsThePublicationAtTheNextWait) {
    browser.scriptText(".upload-status-intro", {"上传中"});
    int polls = 0;
    account.onTitle = [&](const std::string& title) {
        if (title.rfind("进度", 0) == 0 && ++polls == 3) stop.request();
    };
    EXPECT_EQ(publish(), 0);
    EXPECT_EQ(count("title 进度"), 3);
    EXPECT_EQ(count("click .submit-btn-group-add"), 0);
}

}  // namespace
}  // namespace clipmill::testing
