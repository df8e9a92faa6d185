#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "browser/cdp/cdp_automation.h"
#include "browser_test_support.h"
#include "fixtures/temp_dir.h"

namespace clipmill::testing {

// Evaluates a script in the page a handle drives and gives its value as JSON text.
std::string evaluateJson(cdp::CdpAutomation& automation, int handle, const std::string& script);

// One headless browser shared by the cases of a suite, with the fixture pages served locally.
class SharedBrowserTest : public ::testing::Test {
protected:
    static void startShared(std::map<std::string, std::string> pages, const std::string& firstPage);
    static void stopShared();
    static std::string url(const std::string& path) { return server_->url(path); }
    static cdp::CdpAutomation& automation() { return *automation_; }
    static int handle() { return handle_; }
    std::string js(const std::string& script) { return evaluateJson(*automation_, handle_, script); }

    static inline std::unique_ptr<TempDir> root_;
    static inline std::unique_ptr<FixtureServer> server_;
    static inline std::unique_ptr<cdp::CdpAutomation> automation_;
    static inline int handle_ = 0;
};

}  // namespace clipmill::testing
