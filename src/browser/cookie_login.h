#pragma once

#include <string>

#include "browser/automation.h"
#include "browser/browser_session.h"

namespace clipmill {

// Opens the account's browser as startBrowser does. When `cookieText` holds cookies
// ("name=value; name2=value2"), the browser first comes up on a blank page, the cookies are
// stored in its profile for the site of the upload page, and only then the upload page is
// opened, so that the account is logged in without typing a password. Gives the number of
// cookies stored.
int logInWithCookies(BrowserSession& session, BrowserAutomation& automation, const std::string& accountId,
                     const std::string& cookieText);

}  // namespace clipmill
