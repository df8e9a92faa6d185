#pragma once

#include <string>
#include <vector>

#include "browser/automation.h"
#include "browser/publication.h"

namespace clipmill {

// Whether `address` is the upload page: the configured address, or the one the site landed
// it on for this publication, both without query and fragment.
bool isUploadPage(const std::string& address, const std::string& configured, const std::string& landed);

// The site's answer as the submit request's body says it; not read when the body carries
// no code (the classic page's answer).
SiteAnswer readSiteAnswer(const std::string& body);

// The page's submit request as the network showed it.
struct SubmitRequest {
    enum class State { None, Sent, Answered, Lost };
    State state = State::None;
    SiteAnswer answer;  // Answered: read when the body carried a code
    bool sent() const { return state != State::None; }
};

// The submit request among the tab's exchanges since the click, among the POSTs whose address
// contains `addressPart` (any POST when it is empty): the last one that says most, a coded
// answer before a request still out, before a lost one, before an answer with no code. A page
// may send other POSTs around its submit.
SubmitRequest findSubmitRequest(const std::vector<BrowserAutomation::NetworkExchange>& exchanges,
                                const std::string& addressPart);

// What one look after a submit saw.
struct SubmitLook {
    bool reachable = true;        // false: the browser no longer answers
    std::string address;          // "" when it did not answer
    SubmitRequest request;
    bool successShown = false;    // the page shows its own word of success
    bool verification = false;    // the page shows a challenge
    bool refusalShown = false;    // the page shows a refusal in words, with no code to read
};

// The addresses one submit is judged against.
struct SubmitAddresses {
    std::string beforeClick;      // read right before the click
    std::string configured;       // the upload page's configured address
    std::string landed;           // where the upload page loaded for this publication
    std::string loginPage;
    bool addressProves = false;   // the layout's page leaves its address on success
};

enum class SubmitSign {
    Waiting,       // nothing proves anything yet
    Accepted,      // the site's answer says it took the video
    Refused,       // the site's answer, or its words on the page, say no
    SuccessShown,  // the page shows its own word of success
    Left,          // the page left the upload page (only where the layout's page does so)
    SignedOut,     // the page went to the login page
    Lost,          // the request went out and its answer never came
    Gone,          // the browser no longer answers
    Verification,  // a challenge waits for a person
};

// The one rule that reads a look after a submit, strongest evidence first.
SubmitSign judgeSubmit(const SubmitLook& look, const SubmitAddresses& addresses);

// Whether the sign proves the site has the video.
inline bool provesPublished(SubmitSign sign) {
    return sign == SubmitSign::Accepted || sign == SubmitSign::SuccessShown || sign == SubmitSign::Left;
}

}  // namespace clipmill
