#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "browser/cdp/cdp_automation.h"
#include "fixtures/loopback_http_server.h"
#include "fixtures/temp_dir.h"

namespace clipmill::testing {
namespace {

using namespace std::chrono_literals;

// A page whose load waits for an image the test lets go, and a page that answers late.
class HoldingServer {
public:
    ~HoldingServer() {
        letGo();
        server_.stop();
    }
    std::string url(const std::string& path) const { return server_.url(path); }
    void letGo() {
        {
            std::lock_guard lock(mutex_);
            release_ = true;
        }
        released_.notify_all();
    }

private:
    void serve(httplib::Server& server) {
        server.Get("/holding.html", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<!doctype html><p>旧页</p><img src=\"/held.gif\">", "text/html; charset=utf-8");
        });
        server.Get("/held.gif", [this](const httplib::Request&, httplib::Response& response) {
            std::unique_lock lock(mutex_);
            released_.wait_for(lock, 10s, [this] { return release_; });
            response.set_content("GIF89a", "image/gif");
        });
        server.Get("/late.html", [](const httplib::Request&, httplib::Response& response) {
            std::this_thread::sleep_for(1500ms);  // the late answer itself
            response.set_content("<!doctype html><p id=\"late\">新页</p>", "text/html; charset=utf-8");
        });
    }

    std::mutex mutex_;
    std::condition_variable released_;
    bool release_ = false;
    LoopbackHttpServer server_{[this](httplib::Server& server) { serve(server); }};  // last: it serves the above
};

// The page the browser was started on is still loading when the program moves it on; that
// load ends while the new page has not even answered, and must not end the navigation.
TEST(Navigation, AnEarlierPageFinishingItsLoadDoesNotEndTheNavigation) {
    TempDir dir;
    HoldingServer server;
    cdp::CdpAutomation automation({dir.str(), cdp::BrowserMode::Headless});
    ASSERT_EQ(automation.form_global_init("", nullptr), 1);
    int handle = automation.form_browser_start(server.url("/holding.html"), {dir.str() + "/profile", "", ""});
    ASSERT_GT(handle, 0) << automation.lastError();

    std::thread letGo([&server] {
        std::this_thread::sleep_for(300ms);
        server.letGo();
    });
    EXPECT_EQ(automation.form_forward_url(handle, server.url("/late.html")), 1);
    EXPECT_EQ(automation.form_dom_isexist(handle, "#late"), 1);
    EXPECT_EQ(automation.form_get_page_url(handle), server.url("/late.html"));
    letGo.join();
    automation.form_close_browser(handle);
}

}  // namespace
}  // namespace clipmill::testing
