#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <functional>
#include <sstream>

#include "browser/cdp/cdp_automation.h"
#include "fixtures/browser_test_support.h"
#include "fixtures/poll_until.h"
#include "fixtures/temp_dir.h"

namespace clipmill::testing {
namespace {

using namespace std::chrono_literals;

// Polls `read` until it gives `expected` or two seconds pass; gives the last value.
std::string waitFor(const std::string& expected, const std::function<std::string()>& read) {
    std::string value;
    pollUntil([&] { return (value = read()) == expected; }, 2s);
    return value;
}

// Hands a video to the upload page and presses submit once the upload is done.
void uploadAndSubmit(cdp::CdpAutomation& automation, int handle, TempDir& dir, const std::string& title) {
    auto video = dir.write("素材/" + title + ".mp4", std::string(20000, 'x'));
    ASSERT_EQ(automation.form_upload_file(handle, BrowserAutomation::kVideoChooser, video.string()), 1);
    ASSERT_EQ(waitFor("上传完成", [&] { return automation.form_dom_gettext(handle, ".upload-status-intro", 0); }),
              "上传完成");
    ASSERT_EQ(automation.form_dom_click(handle, ".submit-btn-group-add", 0), 1);
}

// The last submit line of the site's record (an "answered" line may follow it).
std::string lastSubmitLine(const std::string& text) {
    std::istringstream lines(text);
    std::string last;
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with(R"({"event":"submit")")) last = line;
    return last;
}

TEST(PracticeSite, RecordsTheUploadedFileAndTheSubmission) {
    TempDir dir;
    PracticeSite site(dir.str() + "/record.jsonl");
    cdp::CdpAutomation automation({dir.str() + "/huancun", cdp::BrowserMode::Headless});
    ASSERT_EQ(automation.form_global_init("", nullptr), 1);
    int handle = automation.form_browser_start(site.url("/video/upload.html"), {dir.str() + "/huancun/Norvane1", "", ""});
    ASSERT_GT(handle, 0) << automation.lastError();
    EXPECT_EQ(automation.form_page_wait_loaded(handle, "拖拽视频", 15000), 1);

    auto video = dir.write("素材/第一集.mp4", std::string(200000, 'x'));
    EXPECT_EQ(automation.form_upload_file(handle, BrowserAutomation::kVideoChooser, video.string()), 1);
    EXPECT_EQ(waitFor("上传完成", [&] { return automation.form_dom_gettext(handle, ".upload-status-intro", 0); }),
              "上传完成");
    EXPECT_EQ(automation.form_dom_gettext(handle, ".input-box-v2-1-val", 0), "第一集");
    automation.form_dom_setvalue(handle, ".input-box-v2-1-val", "", 0);
    automation.form_dom_input(handle, ".input-box-v2-1-val", "新标题", 0);
    ASSERT_EQ(automation.form_network_record(handle), 1);
    EXPECT_EQ(automation.form_dom_click(handle, ".submit-btn-group-add", 0), 1);
    EXPECT_EQ(waitFor(site.url("/video/done.html"), [&] { return automation.form_get_page_url(handle); }),
              site.url("/video/done.html"));
    // The page leaves as soon as it has read the answer; the record still holds it.
    std::string answer = "<no answered submit recorded>";
    pollUntil(
        [&] {
            for (const auto& e : automation.form_network_exchanges(handle))
                if (e.url == site.url("/api/submit") && e.state == BrowserAutomation::NetworkExchange::State::Answered)
                    answer = e.body;
            return answer.starts_with("{");
        },
        5s);
    EXPECT_EQ(answer, R"({"code":0,"message":"0","ttl":1,"data":{"aid":1000,"bvid":"BV1pr1000"}})");
    automation.form_close_browser(handle);

    std::string record = dir.read("record.jsonl");
    EXPECT_NE(record.find(R"({"event":"upload","kind":"video","name":"第一集.mp4","size":200000})"), std::string::npos)
        << record;
    EXPECT_NE(record.find(R"("title":"新标题","video":{"name":"第一集.mp4","size":200000})"), std::string::npos) << record;
}

// The submit endpoint as the knobs make it answer, and the record line it leaves.
TEST(PracticeSite, SubmitAnswersAndRecordsAsTheKnobsSay) {
    struct Case {
        const char* knobs;
        bool answered;
        const char* answer;  // the whole JSON answer when answered
        const char* record;  // what the submit's record line ends with
    };
    const Case cases[] = {
        {"", true, R"({"code":0,"message":"0","ttl":1,"data":{"aid":1000,"bvid":"BV1pr1000"}})",
         R"(,"aid":1000,"bvid":"BV1pr1000","code":0})"},
        {"refuse-code=21566", true, R"({"code":21566,"message":"投稿过于频繁，请稍后再试","ttl":1,"data":null})",
         R"(},"code":21566})"},
        {"refuse-code=137022", true, R"({"code":137022,"message":"投稿数量过多","ttl":1,"data":null})", R"(},"code":137022})"},
        {"refuse-code=21005", true, R"({"code":21005,"message":"标签格式错误","ttl":1,"data":null})", R"(},"code":21005})"},
        {"refuse-code=21104", true, R"({"code":21104,"message":"标题过长","ttl":1,"data":null})", R"(},"code":21104})"},
        {"refuse-code=1", true, R"({"code":1,"message":"投稿失败","ttl":1,"data":null})", R"(},"code":1})"},
        {"answer-lost=1", false, "", R"(,"aid":1001,"bvid":"BV1pr1001","code":0,"answer":"lost"})"},
        {"submit-answer-ms=700", true, R"({"code":0,"message":"0","ttl":1,"data":{"aid":1002,"bvid":"BV1pr1002"}})",
         R"(,"aid":1002,"bvid":"BV1pr1002","code":0})"},
    };
    TempDir dir;
    PracticeSite site(dir.str() + "/record.jsonl");
    httplib::Client client(site.url(""));
    int n = 0;
    for (const Case& c : cases) {
        site.setKnobs(std::string("refuse-code=0&answer-lost=0&submit-answer-ms=0&") + c.knobs);
        const std::string fields = R"({"title":"标题)" + std::to_string(++n) + R"("})";
        const auto sent = std::chrono::steady_clock::now();
        auto result = client.Post("/api/submit", fields, "application/json");
        EXPECT_EQ(static_cast<bool>(result), c.answered) << c.knobs;
        if (result) EXPECT_EQ(result->body, c.answer) << c.knobs;
        if (std::string(c.knobs).starts_with("submit-answer-ms"))
            EXPECT_GE(std::chrono::steady_clock::now() - sent, 700ms);
        const std::string line = lastSubmitLine(dir.read("record.jsonl"));
        EXPECT_TRUE(line.starts_with(R"({"event":"submit","fields":)" + fields)) << line;
        EXPECT_TRUE(line.ends_with(c.record)) << c.knobs << ": " << line;
    }

    // Every taken submit, the one whose answer was lost too, newest first, a page at a time.
    auto archives = client.Get("/x/web/archives?pn=1&ps=2");
    ASSERT_TRUE(archives);
    EXPECT_TRUE(archives->body.starts_with(R"({"code":0,"message":"0","ttl":1,"data":{"arc_audits":[{"Archive":{"aid":1002,"bvid":"BV1pr1002","title":"标题8","ctime":)"))
        << archives->body;
    EXPECT_NE(archives->body.find(R"({"Archive":{"aid":1001,"bvid":"BV1pr1001","title":"标题7","ctime":)"), std::string::npos);
    EXPECT_TRUE(archives->body.ends_with(R"(,"state":0}}],"page":{"pn":1,"ps":2,"count":3}}})")) << archives->body;
    archives = client.Get("/x/web/archives?pn=2&ps=2");
    ASSERT_TRUE(archives);
    EXPECT_NE(archives->body.find(R"("aid":1000,"bvid":"BV1pr1000","title":"标题1")"), std::string::npos) << archives->body;

    // Who is signed in.
    auto nav = client.Get("/x/web-interface/nav");
    ASSERT_TRUE(nav);
    EXPECT_EQ(nav->body, R"({"code":0,"message":"0","ttl":1,"data":{"isLogin":true,"mid":10001,"uname":"练习账号"}})");
    site.setKnobs("site-id=4242");
    EXPECT_NE(client.Get("/x/web-interface/nav")->body.find(R"("mid":4242,)"), std::string::npos);
    for (const char* state : {"login", "login-query"}) {
        site.setAccountState(state);
        EXPECT_EQ(client.Get("/x/web-interface/nav")->body,
                  R"({"code":-101,"message":"账号未登录","ttl":1,"data":{"isLogin":false}})")
            << state;
    }
}

// The upload page reads the submit's answer: a refusal shows its message for a while and
// stays; with success-in-place a taken submit is shown without leaving the address.
TEST(PracticeSite, TheUploadPageShowsTheSubmitsAnswer) {
    TempDir dir;
    PracticeSite site(dir.str() + "/record.jsonl");
    // The page takes its knobs as it loads.
    site.setKnobs("upload-ms=0&refuse-code=21104&success-in-place=1");
    cdp::CdpAutomation automation({dir.str() + "/huancun", cdp::BrowserMode::Headless});
    ASSERT_EQ(automation.form_global_init("", nullptr), 1);
    const std::string page = site.url("/video/upload.html");
    int handle = automation.form_browser_start(page, {dir.str() + "/huancun/Norvane1", "", ""});
    ASSERT_GT(handle, 0) << automation.lastError();
    ASSERT_EQ(automation.form_page_wait_loaded(handle, "拖拽视频", 15000), 1);

    uploadAndSubmit(automation, handle, dir, "第一集");
    EXPECT_EQ(waitFor("标题过长", [&] { return automation.form_dom_gettext(handle, ".bcc-message", 0); }), "标题过长");
    EXPECT_EQ(automation.form_get_page_url(handle), page);
    EXPECT_TRUE(pollUntil([&] { return automation.form_dom_count(handle, ".bcc-message") == 0; }, 5s));

    site.setKnobs("refuse-code=0");
    ASSERT_EQ(automation.form_dom_click(handle, ".submit-btn-group-add", 0), 1);
    EXPECT_EQ(waitFor("稿件投递成功", [&] { return automation.form_dom_gettext(handle, ".step-des p", 0); }),
              "稿件投递成功");
    EXPECT_EQ(automation.form_dom_gettext(handle, "button", 0), "再投一个");
    EXPECT_EQ(automation.form_dom_count(handle, ".submit-btn-group-add"), 0);
    EXPECT_EQ(automation.form_get_page_url(handle), page);
    automation.form_close_browser(handle);
}

}  // namespace
}  // namespace clipmill::testing
