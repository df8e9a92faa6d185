#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace clipmill {

struct CookiePair {
    std::string name;
    std::string value;
    bool operator==(const CookiePair&) const = default;
};

// The cookies of text copied from a browser, "name=value; name2=value2", optionally led by
// "Cookie:". Anything else (a piece without "=", a name with spaces, separators or control
// characters) means the text is not cookie text, and nothing is taken from it.
std::vector<CookiePair> parseCookieText(std::string_view text);

// The domain a site's cookies are set on so that every host of the site sees them: the
// parent domain of the address's host with a leading dot ("https://member.site.com/x" gives
// ".site.com"); "" when the host has no parent to share with (an IP address, "localhost",
// a two-label name), so the cookies stay on the host itself.
std::string sharedCookieDomain(std::string_view url);

}  // namespace clipmill
