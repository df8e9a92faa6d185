#include <rapidjson/document.h>

#include <set>

#include "fixtures/automation_fixture.h"
#include "browser/cdp/json.h"

namespace clipmill::testing {
namespace {

// Cookies stored for a site whose pages this browser never loaded: what the profile then
// holds, as "name=value@domain" entries.
class SetCookiesTest : public SharedBrowserTest {
protected:
    static void SetUpTestSuite() { startShared({{"/blank.html", "<html><body></body></html>"}}, "/blank.html"); }
    static void TearDownTestSuite() { stopShared(); }

    std::set<std::string> storedCookies() {
        auto browser = automation().browser(handle());
        cdp::Reply reply = browser->page()->connection().call("Storage.getCookies");
        std::set<std::string> found;
        const auto* cookies = cdp::member(reply.result(), "cookies");
        if (!cookies || !cookies->IsArray()) return found;
        for (const auto& cookie : cookies->GetArray()) {
            found.insert(cdp::stringMember(cookie, "name") + "=" + cdp::stringMember(cookie, "value") + "@" +
                         cdp::stringMember(cookie, "domain") +
                         (cdp::boolMember(cookie, "session", true) ? " session" : ""));
        }
        return found;
    }
};

TEST_F(SetCookiesTest, CookiesGoOnTheParentDomainOrTheHostAndOutliveTheBrowser) {
    auto& automation = SharedBrowserTest::automation();
    EXPECT_EQ(automation.form_set_cookies(handle(), "https://member.example.com/video/upload.html",
                                          "SESSDATA=abc%2C1; bili_jct=0f"),
              2);
    EXPECT_EQ(automation.form_set_cookies(handle(), "http://127.0.0.1:9/video/upload.html", "token=t=1"), 1);
    EXPECT_EQ(storedCookies(), (std::set<std::string>{"SESSDATA=abc%2C1@.example.com", "bili_jct=0f@.example.com",
                                                      "token=t=1@127.0.0.1"}));

    // Text that is not cookie text, and a handle that names no browser, store nothing.
    EXPECT_EQ(automation.form_set_cookies(handle(), "https://member.example.com/", "not cookies"), 0);
    EXPECT_EQ(automation.form_set_cookies(handle() + 100, "https://member.example.com/", "a=1"), 0);
    EXPECT_EQ(storedCookies().size(), 3u);
}

}  // namespace
}  // namespace clipmill::testing
