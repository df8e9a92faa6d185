#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browser/account_browser.h"
#include "browser/automation.h"
#include "browser/failure_record.h"
#include "browser/page_profile.h"
#include "browser/publication.h"
#include "platform/clipboard.h"

namespace clipmill {

// What the page steps work with besides the job, for every publication alike.
struct PageTools {
    BrowserAutomation& automation;
    AccountBrowser& browser;
    Clipboard& clipboard;
    // Every random pause (inclusive bounds, milliseconds); randomInclusive when empty.
    std::function<int(int, int)> draw;
};

// One publication under way: the job, the run's context, the page facts and what the page
// did so far. The steps of a layout are written against it: each element operation names
// its role, so one that matches nothing is traced under that role and the step it was in.
class PageWork {
public:
    PageWork(PageTools& tools, const UploadJob& job, PublishContext& context,
             std::shared_ptr<const PageProfile> profile);

    const UploadJob& job() const { return job_; }
    const PageProfile& profile() const { return *profile_; }
    BrowserAutomation& automation() { return tools_.automation; }
    AccountBrowser& browser() { return tools_.browser; }
    Clipboard& clipboard() { return tools_.clipboard; }
    PublishContext& context() { return context_; }
    int handle() const { return handle_; }
    void setHandle(int handle) { handle_ = handle; }
    // The upload page's address as it loaded for this publication, without query.
    const std::string& landedAddress() const { return landed_; }
    void setLandedAddress(std::string address) { landed_ = std::move(address); }
    // The site's id of the account logged in, once read.
    const std::string& siteId() const { return siteId_; }
    void setSiteId(std::string id) { siteId_ = std::move(id); }
    PageTrace& trace() { return trace_; }
    const PageTrace& trace() const { return trace_; }
    const std::string& stepName() const { return step_; }
    void enterStep(const char* name) { step_ = name; }

    // Waits of the page; false once Stop is pressed.
    bool wait(int ms) { return context_.waiter.waitMs(ms); }
    bool waitRandom(int low, int high) { return wait(draw(low, high)); }
    int draw(int low, int high);
    bool stopped() const { return context_.waiter.stopped(); }
    // False when Stop was pressed or the give-up limit has passed (the page is then kept
    // as it shows, for the record).
    bool goOn();
    // True when the give-up limit has passed; the page is kept as it shows then.
    bool givingUp();
    bool gaveUp() const { return gaveUp_; }

    void title(const std::string& text) { tools_.browser.setBrowserTitle(text); }
    // A browser that was closed or died answers nothing, not even its address.
    bool pageAnswers() { return !automation().form_get_page_url(handle_).empty(); }

    const std::string& selector(const char* role) const { return profile_->selector(role); }
    int position(const char* role) const { return profile_->position(role); }
    void missed(const char* role, const std::string& selector, int position, const char* action);
    bool check(int result, const char* role, const std::string& selector, int position, const char* action);
    bool click(const char* role, int position);
    bool present(const char* role);
    std::string readText(const char* role, int position);
    void handOver(int chooser, const std::string& path, const char* role);

    // The first reason a step gave wins.
    void fail(const FailureReason& reason);
    const FailureReason& failure() const { return failure_; }

    // The page as it shows now, taken once per publication; also after Stop, as the
    // picture is what tells the user why.
    void takeSnapshot();
    const PageSnapshot& snapshot() const { return snapshot_; }

private:
    PageTools& tools_;
    const UploadJob& job_;
    PublishContext& context_;
    std::shared_ptr<const PageProfile> profile_;
    PageTrace trace_;
    PageSnapshot snapshot_;
    FailureReason failure_;
    std::string step_;
    std::string landed_;
    std::string siteId_;
    int handle_ = 0;
    bool gaveUp_ = false;
};

inline constexpr const char* kFileInputs = "input[type=file]";

// One step of a page layout: what it is called (the failure record names it), whether the
// job calls for it, the pause before it, what it does, and whether Stop and the give-up
// limit are looked at once it is done. A step returns false when the publication ends there;
// it then says why through PageWork::fail, unless Stop or the give-up limit ended it.
struct PageStep {
    const char* name;
    std::function<bool(const UploadJob&)> applies;  // empty: always
    int pauseBeforeMs = 0;
    std::function<bool(PageWork&)> run;
    bool checkAfter = true;
};

// A page layout: its steps in order, then the submit, which decides the outcome.
struct PageLayout {
    const char* name;
    std::vector<PageStep> steps;
    std::function<PublishOutcome(PageWork&)> submit;
};

}  // namespace clipmill
