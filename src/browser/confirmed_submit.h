#pragma once

#include <optional>

#include "browser/page_work.h"
#include "browser/submit_confirmation.h"

namespace clipmill {

// How long the submit is watched, in the waiter's clock.
struct SubmitTiming {
    int lookMs = 250;          // one look at the page and the network this often
    int noRequestMs = 10000;   // a click that sent nothing by then may be made once more
    int mostClicks = 2;        // clicks in all while no request went out
};

// The click on submit and the verdict on it. The verdict rests on evidence only, strongest
// first: the site's answer to the submit request, the page's own word of success, and where
// the layout's page leaves its address on success, the address leaving the upload page. Once
// a submit request went out the button is never clicked again; its answer is awaited, and
// when none is seen the outcome is Unknown, never a failure.
class ConfirmedSubmit {
public:
    ConfirmedSubmit(PageWork& work, bool addressProves, SubmitTiming timing = {});
    PublishOutcome run();

private:
    std::optional<FailureReason> clickOnce();
    SubmitLook look();
    SubmitSign judge(const SubmitLook& seen) { return judgeSubmit(seen, addresses_); }
    bool click();
    SubmitSign watch();
    SubmitSign awaitVerification();
    SubmitSign lastLook();
    bool pageShowsAny(const std::string& shown, const char* role) const;
    PublishOutcome verdict(SubmitSign sign);
    PublishOutcome published(SubmitSign sign);
    PublishOutcome notPublished(const FailureReason& reason);
    PublishOutcome unknown(const FailureReason& reason);
    bool mayHaveSent() const { return !recording_ || request_.sent(); }
    long long sinceMs(long long startMs) const;

    PageWork& work_;
    BrowserAutomation& browser_;
    SubmitTiming timing_;
    SubmitAddresses addresses_;
    SubmitRequest request_;   // as last seen
    bool recording_ = false;  // the browser tells the tab's network exchanges
    int clicks_ = 0;
    long long lastClickMs_ = 0;
    long long sentSeenMs_ = -1;
};

}  // namespace clipmill
