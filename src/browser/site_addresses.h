#pragma once

#include <string>

#include "support/web_address.h"

namespace clipmill {

// The addresses of the site the browser session knows.
struct SiteAddresses {
    std::string uploadPage;
    std::string loginPage;
    std::string identity;  // who is logged in; "" when that check is off
    std::string archives;  // the account's submissions, newest first; "" when that check is off
};

// The real site's creator upload page, sign-in page and the two answers read with the
// profile's cookies.
inline SiteAddresses defaultSiteAddresses() {
    return {"https://member.bilibili.com/video/upload.html", "https://passport.bilibili.com/login",
            "https://api.bilibili.com/x/web-interface/nav", "https://member.bilibili.com/x/web/archives?pn=1&ps=20"};
}

}  // namespace clipmill
