#pragma once

#include <functional>
#include <string>

#include "support/clock.h"

namespace clipmill {

// How long the page is watched after a click on submit before anything else is done, and
// how often it is looked at. A slow answer is not to be taken for none; a browser that dies
// right after the page left takes the proof with it, so it is looked at often.
inline constexpr int kSubmitWatchMs = 10000;
inline constexpr int kSubmitLookMs = 250;

// Whether `address` is the upload page: the configured address, or the one the site landed
// it on for this publication, both without query and fragment.
bool isUploadPage(const std::string& address, const std::string& configured, const std::string& landed);

// What the page showed at one look after a submit.
struct PageLook {
    std::string address;       // "" when the browser did not answer
    bool reachable = true;     // false: the browser is gone, no later look can answer
    bool tooFrequent = false;  // the site says the account posts too often
    bool verification = false; // the site asks for a challenge
};

enum class SubmitSign {
    Stayed,        // still on the landed upload page, no word from the site
    Left,          // the page left the upload page: the site took the video
    SignedOut,     // the page went to the login page: the submit did not count
    Gone,          // the browser no longer answers
    TooFrequent,   // the site refuses: the account posts too often
    Verification,  // the site asks for a challenge first
};

// The one rule that reads a look after a submit. `landed` is the upload page's address as it
// loaded, without query; `loginPage` the sign-in page's.
SubmitSign judgeSubmit(const PageLook& look, const std::string& landed, const std::string& loginPage);

struct SubmitWatch {
    SubmitSign sign = SubmitSign::Stayed;
    bool answered = false;  // some look gave an address
};

// Looks every kSubmitLookMs until a look says more than Stayed, the browser is gone, or
// `watchMs` passed. Stop does not cut this short: only the page can tell whether the site
// has the video.
SubmitWatch watchSubmit(const std::function<PageLook()>& look, const std::string& landed,
                        const std::string& loginPage, Clock& clock, int watchMs = kSubmitWatchMs);

}  // namespace clipmill
