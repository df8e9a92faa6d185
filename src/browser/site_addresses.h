#pragma once

#include <string>

#include "support/web_address.h"

namespace clipmill {

// The two pages of the site the browser session knows by address.
struct SiteAddresses {
    std::string uploadPage;
    std::string loginPage;
};

// The real site's creator upload page and sign-in page.
inline SiteAddresses defaultSiteAddresses() {
    return {"https://member.bilibili.com/video/upload.html", "https://passport.bilibili.com/login"};
}

}  // namespace clipmill
