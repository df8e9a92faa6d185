#include <QAction>
#include <QMenu>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "browser/cdp/cdp_automation.h"
#include "catalogue/category_lists.h"
#include "fixtures/practice_http_server.h"
#include "support/gbk.h"
#include "window_fixture.h"

namespace clipmill::ui::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUploadPage = R"HTML(<!doctype html>
<html><head><meta charset="utf-8"></head><body><p>拖拽视频</p>
<div class="select-box-v2-controller">请选择分区</div>
<div class="pre-item-content">推荐</div><div class="pre-item-content">生活</div><div class="pre-item-content">游戏</div>
<div class="drop-cascader-list-wrp"></div>
<script>
const subZones = {'推荐': ['不是分区'], '生活': ['日常', '搞笑'], '游戏': ['单机游戏']};
const panel = document.querySelector('.drop-cascader-list-wrp');
for (const entry of document.querySelectorAll('.pre-item-content')) {
  entry.addEventListener('click', () => {
    panel.innerHTML = subZones[entry.textContent].map(s => '<p class="item-main">' + s + '</p>').join('');
  });
}
</script></body></html>)HTML";

// An upload page on loopback whose server remembers the Cookie header of every request for
// it. Its zone drop-down has a first entry that is no zone, then 生活 and 游戏.
class UploadPageSite {
public:
    UploadPageSite() { server_.route(kPath, {.contentType = "text/html; charset=utf-8", .body = kUploadPage}); }
    std::string url(const std::string& path) const { return server_.url(path); }
    std::vector<std::string> cookieHeaders() const {
        std::vector<std::string> headers;
        for (const auto& request : server_.requestsTo(kPath)) headers.push_back(request.header("Cookie"));
        return headers;
    }

private:
    static constexpr const char* kPath = "/video/upload.html";
    clipmill::testing::PracticeHttpServer server_;
};

// The window of a program whose site is the local upload page, with a real browser.
class SiteWindowTest : public WindowTest {
protected:
    void SetUp() override {
        fs::create_directories(dir.path() / "data");
        std::ofstream(dir.path() / "data" / "endpoints.ini")
            << "[site]\r\nupload=" << site.url("/video/upload.html") << "\r\nlogin=" << site.url("/login") << "\r\n";
        WindowTest::SetUp();
    }
    void TearDown() override {
        if (program) program->automation().form_close_browsers();
        WindowTest::TearDown();
    }

    QTreeWidget* list() const { return widget<QTreeWidget>("超级列表框1"); }
    QAction* action(const char* text) const {
        return list()->findChild<QMenu*>("账号管理")->findChild<QAction*>(toQt(text));
    }
    void select(int row) { list()->setCurrentItem(list()->topLevelItem(row)); }

    UploadPageSite site;
};

// The test server decodes %2C in header values; the raw value is checked in the page.
bool hasBothCookies(const std::string& header) {
    return header.find("SESSDATA=abc") != std::string::npos && header.find("bili_jct=0f1e") != std::string::npos;
}

TEST_F(SiteWindowTest, CookiesFromTheClipboardReachTheUploadPageAndStayInTheProfile) {
    for (const char* folder : {"/videos/1", "/videos/2"}) {
        program->window().setText("编辑框_视频素材目录", folder);
        action("添加账号")->trigger();
    }
    ASSERT_TRUE(waitUntil([&] { return list()->topLevelItemCount() == 2; }));

    clipboard.setText("SESSDATA=abc%2C123; bili_jct=0f1e");
    select(1);
    program->accounts().setCurrentRow(0);
    action("使用cookies登陆此账号")->trigger();
    EXPECT_EQ(program->accounts().currentRow(), 1);
    EXPECT_EQ(program->window().text("编辑框_账号标识"), "101");
    window->waitForTasks();
    // The very first request for the upload page already carries them.
    auto headers = site.cookieHeaders();
    ASSERT_FALSE(headers.empty());
    EXPECT_TRUE(hasBothCookies(headers.front())) << headers.front();
    auto* automation = dynamic_cast<cdp::CdpAutomation*>(&program->automation());
    ASSERT_NE(automation, nullptr);
    auto browser = automation->browser(program->browser().handle());
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->page()->evaluate("document.cookie").text(), "SESSDATA=abc%2C123; bili_jct=0f1e");
    EXPECT_TRUE(fs::is_directory(dir.path() / "huancun" / "Norvane101"));

    // Closed and started again on the same profile, the browser still sends them.
    const int first = program->browser().handle();
    QTest::mouseClick(widget("按钮2"), Qt::LeftButton);
    window->waitForTasks();
    EXPECT_EQ(program->automation().form_session_isconnected(first), 0);
    QTest::mouseClick(widget("按钮14"), Qt::LeftButton);
    window->waitForTasks();
    headers = site.cookieHeaders();
    ASSERT_GE(headers.size(), 2u);
    EXPECT_TRUE(hasBothCookies(headers.back())) << headers.back();

    // Another account's profile has none of them, and the plain item ignores the clipboard.
    select(0);
    action("配置登陆此账号")->trigger();
    EXPECT_EQ(program->window().text("编辑框_账号标识"), "100");
    window->waitForTasks();
    headers = site.cookieHeaders();
    ASSERT_GE(headers.size(), 3u);
    EXPECT_EQ(headers.back(), "");
    EXPECT_TRUE(fs::is_directory(dir.path() / "huancun" / "Norvane100"));
}

TEST_F(SiteWindowTest, ZoneRefreshReadsTheUploadPageOfTheBrowserIntoTheFileAndClipboardAndLeavesTheLists) {
    fillCategoryLists(program->window(), CategorySelection{});
    program->window().setIndex("组合框1", 3);
    program->window().setText("编辑框_账号标识", "100");
    QTest::mouseClick(widget("按钮14"), Qt::LeftButton);
    window->waitForTasks();
    ASSERT_GT(program->browser().handle(), 0);

    QTest::mouseClick(widget("按钮4"), Qt::LeftButton);
    window->waitForTasks();
    const std::string expected = "++生活--日常--搞笑++\r\n++游戏--单机游戏++\r\n";
    EXPECT_EQ(clipboard.text(), expected);
    std::ifstream file(dir.path() / "data" / "fenlei.txt", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), utf8ToGbk(expected));
    EXPECT_EQ(program->window().index("组合框1"), 3);
}

}  // namespace
}  // namespace clipmill::ui::testing
