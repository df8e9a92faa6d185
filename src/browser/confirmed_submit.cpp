#include "browser/confirmed_submit.h"

#include <algorithm>
#include <optional>

#include "browser/interrupt.h"
#include "support/web_address.h"

namespace clipmill {

namespace {

constexpr int kMostVerifications = 5;
constexpr const char* kVerificationTitle = "需要人工验证，完成后自动继续";

std::string evidenceOf(SubmitSign sign, const SiteAnswer& answer, const std::string& address) {
    switch (sign) {
        case SubmitSign::Accepted: return "网站应答 code 0" + (answer.bvid.empty() ? "" : "，" + answer.bvid);
        case SubmitSign::SuccessShown: return "页面显示投稿成功";
        case SubmitSign::Left: return "页面离开上传页：" + address;
        default: return {};
    }
}

}  // namespace

ConfirmedSubmit::ConfirmedSubmit(PageWork& work, bool addressProves, SubmitTiming timing)
    : work_(work), browser_(work.automation()), timing_(timing) {
    addresses_.addressProves = addressProves;
}

long long ConfirmedSubmit::sinceMs(long long startMs) const {
    return work_.context().waiter.clock().now().count() - startMs;
}

PublishOutcome ConfirmedSubmit::run() {
    work_.enterStep("发布");
    work_.title("开始发布");
    const std::string& configuredLogin = work_.profile().text(role::kLoginPage);
    addresses_.loginPage = configuredLogin.empty() ? work_.browser().addresses().loginPage : configuredLogin;
    addresses_.configured = work_.browser().addresses().uploadPage;
    addresses_.landed = work_.landedAddress();
    addresses_.beforeClick = browser_.form_get_page_url(work_.handle());
    work_.trace().addressBeforeSubmit = addresses_.beforeClick;
    if (addresses_.beforeClick.empty()) return notPublished(browserGoneFailure());
    if (judge(SubmitLook{true, addresses_.beforeClick}) == SubmitSign::SignedOut) {
        PublishOutcome outcome = notPublished(bannedFailure());
        outcome.accountUnusable = true;
        return outcome;
    }
    recording_ = browser_.form_network_record(work_.handle()) == 1;
    const std::optional<FailureReason> notClicked = clickOnce();
    const SubmitSign sign = notClicked ? SubmitSign::Waiting : watch();
    // The record lives only as long as the submit is watched: the page's later requests,
    // the next video's upload among them, go their way untouched.
    if (recording_) browser_.form_network_stop(work_.handle());
    return notClicked ? notPublished(*notClicked) : verdict(sign);
}

// The first click, once it is written down; why there was none otherwise.
std::optional<FailureReason> ConfirmedSubmit::clickOnce() {
    const SubmittingFacts facts{work_.landedAddress(), browser_.form_page_target(work_.handle())};
    if (work_.context().onSubmitting && !work_.context().onSubmitting(facts)) return journalFailure();
    if (work_.stopped()) return stoppedFailure();
    if (!click()) return elementMissingFailure(role::kSubmit, work_.selector(role::kSubmit));
    return std::nullopt;
}

bool ConfirmedSubmit::click() {
    ++clicks_;
    lastClickMs_ = work_.context().waiter.clock().now().count();
    return work_.click(role::kSubmit, work_.position(role::kSubmit));
}

bool ConfirmedSubmit::pageShowsAny(const std::string& shown, const char* role) const {
    const std::vector<std::string> wordings = work_.profile().alternatives(role);
    return std::any_of(wordings.begin(), wordings.end(),
                       [&shown](const std::string& w) { return shown.find(w) != std::string::npos; });
}

// One look at the network and the page. The page's words are its visible text only: its
// scripts hold such wordings too.
SubmitLook ConfirmedSubmit::look() {
    StopSignal never;
    InterruptScope unstoppable(never);  // the last look after Stop must still be answered
    SubmitLook seen;
    if (recording_) {
        request_ = findSubmitRequest(browser_.form_network_exchanges(work_.handle()),
                                     work_.profile().text(role::kSubmitRequest));
        seen.request = request_;
        if (request_.sent() && sentSeenMs_ < 0) sentSeenMs_ = work_.context().waiter.clock().now().count();
    }
    seen.address = browser_.form_get_page_url(work_.handle());
    if (!seen.address.empty()) work_.trace().addressAfterSubmit = seen.address;
    if (seen.address.empty()) {
        seen.reachable = browser_.form_session_isconnected(work_.handle()) == 1;
        return seen;
    }
    const std::string shown = browser_.form_dom_gettext(work_.handle(), "body", 0);
    seen.successShown = pageShowsAny(shown, role::kSuccessText);
    seen.refusalShown = pageShowsAny(shown, role::kTooFrequent);
    seen.verification = work_.present(role::kVerification);
    return seen;
}

SubmitSign ConfirmedSubmit::lastLook() {
    const SubmitSign sign = judge(look());
    return sign == SubmitSign::Verification ? SubmitSign::Waiting : sign;
}

// Looks until the evidence says something, Stop is pressed, the answer to a sent request is
// overdue, or no request went out after the last click allowed.
SubmitSign ConfirmedSubmit::watch() {
    const long long answerWaitMs = 1000LL * std::max(work_.position(role::kAnswerWait), 1);
    int verifications = 0;
    for (;;) {
        if (!work_.wait(timing_.lookMs)) return lastLook();
        SubmitSign sign = judge(look());
        if (sign == SubmitSign::Verification && ++verifications <= kMostVerifications) sign = awaitVerification();
        if (sign != SubmitSign::Waiting) return sign;
        if (mayHaveSent()) {
            if (!recording_ && sinceMs(lastClickMs_) < timing_.noRequestMs) continue;
            if (recording_ && sinceMs(sentSeenMs_) < answerWaitMs) continue;
            return SubmitSign::Waiting;  // overdue: the outcome is not known
        }
        if (sinceMs(lastClickMs_) < timing_.noRequestMs) continue;
        if (work_.givingUp() || clicks_ >= timing_.mostClicks) return SubmitSign::Waiting;
        click();  // the network shows the last click sent nothing
    }
}

// The site asks for a challenge the user solves in the account's browser; Waiting once it
// is gone, or when Stop or the give-up limit came first with no request out.
SubmitSign ConfirmedSubmit::awaitVerification() {
    work_.title(kVerificationTitle);
    for (;;) {
        if (!work_.wait(1000)) return lastLook();
        const SubmitSign sign = judge(look());
        if (sign != SubmitSign::Verification) return sign;
        if (work_.givingUp()) return SubmitSign::Verification;
        lastClickMs_ = work_.context().waiter.clock().now().count();  // the person's time is not the page's
    }
}

PublishOutcome ConfirmedSubmit::verdict(SubmitSign sign) {
    if (provesPublished(sign)) return published(sign);
    switch (sign) {
        case SubmitSign::Refused: {
            const SiteAnswer& answer = request_.answer;
            PublishOutcome outcome = notPublished(answer.read ? siteRefusal(answer.code, answer.message)
                                                              : tooFrequentFailure());
            outcome.verdict = Verdict::Refused;
            outcome.answer = answer;
            return outcome;
        }
        case SubmitSign::SignedOut:
            if (mayHaveSent()) return unknown(bannedFailure());
            {
                PublishOutcome outcome = notPublished(bannedFailure());
                outcome.accountUnusable = true;
                return outcome;
            }
        case SubmitSign::Lost: return unknown(answerUnseenFailure());
        case SubmitSign::Gone: return mayHaveSent() ? unknown(browserGoneFailure()) : notPublished(browserGoneFailure());
        case SubmitSign::Verification: {
            // A challenge stands before the request: with none seen sent, nothing went out.
            const FailureReason reason = work_.stopped() ? stoppedFailure() : verificationFailure();
            return request_.sent() ? unknown(reason) : notPublished(reason);
        }
        default: break;
    }
    if (mayHaveSent()) return unknown(work_.stopped() ? stoppedFailure() : answerUnseenFailure());
    if (work_.stopped()) return notPublished(stoppedFailure());
    if (work_.gaveUp()) return notPublished(givenUpFailure(work_.context().giveUpSeconds));
    return notPublished(submitRefusedFailure());
}

PublishOutcome ConfirmedSubmit::published(SubmitSign sign) {
    work_.title("已发表");
    PublishOutcome outcome = publishedWith(evidenceOf(sign, request_.answer, work_.trace().addressAfterSubmit));
    outcome.answer = request_.answer;
    return outcome;
}

// Nothing reached the site: the page is loaded afresh for the next video, after it was
// kept for the record.
PublishOutcome ConfirmedSubmit::notPublished(const FailureReason& reason) {
    work_.fail(reason);
    PublishOutcome outcome = outcomeOf(Verdict::NotPublished, work_.failure());
    if (clicks_ > 0 && browser_.form_session_isconnected(work_.handle()) == 1) {
        work_.takeSnapshot();
        browser_.form_js_dialog_overwrite(work_.handle());
        browser_.form_forward_url(work_.handle(), work_.browser().addresses().uploadPage);
    }
    return outcome;
}

PublishOutcome ConfirmedSubmit::unknown(const FailureReason& reason) {
    work_.fail(reason);
    work_.takeSnapshot();
    std::string seen = "最后所见：" + work_.trace().addressAfterSubmit;
    if (request_.state == SubmitRequest::State::Sent) seen += "；投稿请求已发出，未见答复";
    if (request_.state == SubmitRequest::State::Lost) seen += "；投稿请求中断";
    return outcomeOf(Verdict::Unknown, work_.failure(), seen);
}

}  // namespace clipmill
