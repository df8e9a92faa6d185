#pragma once

#include <functional>
#include <string>

#include "browser/failure_reason.h"
#include "browser/upload_job.h"
#include "support/clock.h"

namespace clipmill {

// What the site made of one publication, as far as the page could tell.
enum class Verdict {
    Published,     // the site has the video; `evidence` says what showed it
    Refused,       // the site answered the submit with a no; `reason` has its words
    Unknown,       // a submit went out and its answer was not seen
    NotPublished,  // nothing reached the site, or the page never got as far as a submit
};

// The site's answer to the page's submit request, when one was read.
struct SiteAnswer {
    bool read = false;
    int code = 0;            // 0: accepted
    std::string message;     // the site's own words
    std::string aid;         // accepted: the site's numbers for the video
    std::string bvid;
};

struct PublishOutcome {
    Verdict verdict = Verdict::NotPublished;
    FailureReason reason;  // all but Published
    std::string evidence;  // Published: what proved it; Unknown: what was seen last
    SiteAnswer answer;     // the site's answer, when one was read
    std::string siteId;    // the site's id of the account logged in, when it was read
    bool gaveUp = false;            // the give-up limit ended it; the browser is to be closed
    bool accountUnusable = false;   // the account's page showed it banned or signed out
    std::string recordFolder;       // the failure record written for it, "" when none

    bool published() const { return verdict == Verdict::Published; }
};

inline PublishOutcome outcomeOf(Verdict verdict, FailureReason reason, std::string evidence = {}) {
    PublishOutcome outcome;
    outcome.verdict = verdict;
    outcome.reason = std::move(reason);
    outcome.evidence = std::move(evidence);
    return outcome;
}

inline PublishOutcome publishedWith(std::string evidence) {
    return outcomeOf(Verdict::Published, {}, std::move(evidence));
}

// What the run is told just before the first click on submit, to write down first.
struct SubmittingFacts {
    std::string landedAddress;  // the upload page's address as it loaded, without query
    std::string tabId;          // the browser tab the submit is clicked in
};

// What the page asks the run while it works one job.
struct PublishContext {
    Waiter& waiter;                       // every wait of the page; false = Stop
    std::function<bool()> giveUpDue;      // true once the give-up limit has passed
    int giveUpSeconds = 0;                // the limit, for the text the user sees
    // Just before the first click on submit: from here on the site may get the video. False
    // when that could not be written down; the submit is then not clicked.
    std::function<bool(const SubmittingFacts&)> onSubmitting;

    bool giveUpNow() const { return giveUpDue && giveUpDue(); }
};

// Carries out one job on the site's upload page.
class Publisher {
public:
    virtual ~Publisher() = default;
    virtual PublishOutcome publish(const UploadJob& job, PublishContext& context) = 0;
};

}  // namespace clipmill
