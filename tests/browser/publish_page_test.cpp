#include <gtest/gtest.h>

#include "browser/cdp/cdp_automation.h"
#include "fixtures/browser_test_support.h"
#include "catalogue/category_refresh.h"
#include "catalogue/category_tree.h"
#include "fixtures/held_clipboard.h"
#include "fixtures/temp_dir.h"
#include "settings/control_table.h"
#include "support/gbk.h"

namespace clipmill::testing {
namespace {

// The practice site's zone drop-down is the one the zone refresh reads: after its first
// entry come the zones and sub-zones of the built-in catalogue, in order.
TEST(PracticeUploadPage, ZoneRefreshReadsTheBuiltInCatalogue) {
    TempDir dir;
    PracticeSite site(dir.str() + "/record.jsonl");
    cdp::CdpAutomation automation({dir.str() + "/huancun", cdp::BrowserMode::Headless});
    ASSERT_EQ(automation.form_global_init("", nullptr), 1);
    int handle = automation.form_browser_start(site.url("/video/upload.html"), {dir.str() + "/huancun/Norvane1", "", ""});
    ASSERT_GT(handle, 0) << automation.lastError();
    ASSERT_EQ(automation.form_page_wait_loaded(handle, "拖拽视频", 15000), 1);
    WindowState window(controlTable());
    HeldClipboard clipboard;
    SystemClock clock;
    StopSignal stop;
    Waiter waiter(clock, stop);

    EXPECT_EQ(refreshCategories({automation, window, clipboard, dir.path()}, handle, waiter),
              RefreshOutcome::ReadFromPage);
    automation.form_close_browser(handle);

    const std::string file = gbkToUtf8(dir.read("data/fenlei.txt"));
    EXPECT_TRUE(CategoryTree::parse(file) == CategoryTree::builtIn()) << file;
}

}  // namespace
}  // namespace clipmill::testing
