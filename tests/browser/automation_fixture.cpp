#include "automation_fixture.h"

#include "browser/cdp/json.h"

namespace clipmill::testing {

std::string evaluateJson(cdp::CdpAutomation& automation, int handle, const std::string& script) {
    auto browser = automation.browser(handle);
    if (!browser || !browser->page()) return "<no page>";
    auto result = browser->page()->evaluate(script);
    if (!result.ok) return "<error: " + result.error + ">";
    return cdp::toJsonText(result.value());
}

void SharedBrowserTest::startShared(std::map<std::string, std::string> pages, const std::string& firstPage) {
    root_ = std::make_unique<TempDir>();
    server_ = std::make_unique<FixtureServer>(std::move(pages));
    automation_ = std::make_unique<cdp::CdpAutomation>(
        cdp::CdpAutomation::Options{root_->str(), cdp::BrowserMode::Headless});
    ASSERT_EQ(automation_->form_global_init("", nullptr), 1);
    handle_ = automation_->form_browser_start(server_->url(firstPage), {root_->str() + "/shared", "", "1,1"});
    ASSERT_GT(handle_, 0) << automation_->lastError();
}

void SharedBrowserTest::stopShared() {
    if (automation_ && handle_) automation_->form_close_browser(handle_);
    automation_.reset();
    server_.reset();
    root_.reset();
}

}  // namespace clipmill::testing
