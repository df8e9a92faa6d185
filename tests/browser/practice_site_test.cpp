#include <gtest/gtest.h>

#include <chrono>
#include <functional>

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
    EXPECT_EQ(automation.form_dom_click(handle, ".submit-btn-group-add", 0), 1);
    EXPECT_EQ(waitFor(site.url("/video/done.html"), [&] { return automation.form_get_page_url(handle); }),
              site.url("/video/done.html"));
    automation.form_close_browser(handle);

    std::string record = dir.read("record.jsonl");
    EXPECT_NE(record.find(R"({"event":"upload","kind":"video","name":"第一集.mp4","size":200000})"), std::string::npos)
        << record;
    EXPECT_NE(record.find(R"("title":"新标题","video":{"name":"第一集.mp4","size":200000})"), std::string::npos) << record;
}

}  // namespace
}  // namespace clipmill::testing
