#pragma once

#include <optional>
#include <string>
#include <vector>

namespace clipmill {

// Who the site says is logged in, from its identity answer.
struct SiteIdentity {
    enum class State { LoggedIn, LoggedOut, Unreadable };
    State state = State::Unreadable;
    std::string id;    // LoggedIn: the site's id of the account
    std::string name;  // LoggedIn: the name it shows
};

// The identity answer's body; nothing (no answer) is Unreadable.
SiteIdentity readSiteIdentity(const std::optional<std::string>& body);

// One entry of the account's submissions list on the site.
struct SiteSubmission {
    std::string aid;
    std::string bvid;
    std::string title;
    long long createdEpoch = 0;  // seconds since 1970
};

// The submissions list's body, newest first; nothing when it is not a list the site gave.
std::optional<std::vector<SiteSubmission>> readSiteSubmissions(const std::optional<std::string>& body);

}  // namespace clipmill
