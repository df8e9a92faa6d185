#include "browser/cookie_login.h"

#include "browser/cookie_text.h"

namespace clipmill {

namespace {
constexpr const char* kBlankPage = "about:blank";
}

int logInWithCookies(BrowserSession& session, BrowserAutomation& automation, const std::string& accountId,
                     const std::string& cookieText) {
    int stored = 0;
    if (!parseCookieText(cookieText).empty()) {
        const int handle = automation.form_browser_start(kBlankPage, session.startRecord(accountId));
        if (handle > 0) stored = automation.form_set_cookies(handle, session.addresses().uploadPage, cookieText);
    }
    // The browser now running on the profile is taken over and shows the upload page.
    session.startBrowser(accountId);
    return stored;
}

}  // namespace clipmill
