#include "browser/upload_page.h"

#include <ctime>

#include "browser/interrupt.h"
#include "browser/site_answers.h"
#include "support/web_address.h"

namespace clipmill {

namespace {
constexpr int kIdentityTimeoutMs = 15000;
}  // namespace

UploadPage::UploadPage(PageTools tools, const PageLayout& layout, PageProfileSource* profiles,
                       std::filesystem::path recordsRoot)
    : tools_(std::move(tools)), layout_(layout), profiles_(profiles), recordsRoot_(std::move(recordsRoot)) {}

PublishOutcome UploadPage::publish(const UploadJob& job, PublishContext& context) {
    InterruptScope interrupt(context.waiter.stopSignal());
    auto profile = profiles_ ? profiles_->reload() : std::make_shared<const PageProfile>();
    PageWork work(tools_, job, context, std::move(profile));
    PublishOutcome outcome = carryOut(work);
    outcome.gaveUp = outcome.gaveUp || work.gaveUp();
    outcome.siteId = work.siteId();
    writeRecord(work, outcome);
    return outcome;
}

PublishOutcome UploadPage::carryOut(PageWork& work) {
    work.enterStep("打开上传页");
    const PageOpening opening = work.browser().openUploadPage(work.job().accountId, work.context());
    work.setHandle(work.browser().handle());
    if (!opening.shown) {
        if (!opening.failure.word.empty()) work.fail(opening.failure);
        PublishOutcome outcome = notPublished(work, opening.gaveUp);
        outcome.accountUnusable = opening.accountUnusable;
        return outcome;
    }
    work.setLandedAddress(opening.landedAddress.empty() ? addressWithoutQuery(work.browser().addresses().uploadPage)
                                                         : opening.landedAddress);
    if (std::optional<PublishOutcome> refused = confirmIdentity(work)) return *refused;
    for (const PageStep& step : layout_.steps) {
        if (step.applies && !step.applies(work.job())) continue;
        if (step.pauseBeforeMs > 0 && !work.wait(step.pauseBeforeMs)) return notPublished(work);
        work.enterStep(step.name);
        if (!step.run(work) || (step.checkAfter && !work.goOn())) return notPublished(work);
    }
    return layout_.submit(work);
}

// Nothing is done in a browser before the site says it is logged in as the job's account.
// Nothing when it is (or the check is off); otherwise why not.
std::optional<PublishOutcome> UploadPage::confirmIdentity(PageWork& work) {
    const std::string& address = work.browser().addresses().identity;
    if (address.empty()) {
        work.trace().notes.push_back("未配置 [site] identity，未核对登录账号");
        return std::nullopt;
    }
    const SiteIdentity identity =
        readSiteIdentity(work.automation().form_fetch_text(work.handle(), address, kIdentityTimeoutMs));
    PublishOutcome outcome;
    switch (identity.state) {
        case SiteIdentity::State::LoggedOut:
            work.fail(bannedFailure());
            outcome.accountUnusable = true;
            break;
        case SiteIdentity::State::Unreadable: work.fail(work.stopped() ? stoppedFailure() : identityUnknownFailure()); break;
        case SiteIdentity::State::LoggedIn:
            work.setSiteId(identity.id);
            if (work.job().siteId.empty() || work.job().siteId == identity.id) return std::nullopt;
            work.fail(wrongAccountFailure(work.job().siteId, identity.id));
            break;
    }
    outcome.reason = work.failure();
    return outcome;
}

// Stop wins over whatever a step said; a step that said nothing ended at the give-up limit.
PublishOutcome UploadPage::notPublished(PageWork& work, bool gaveUp) {
    PublishOutcome outcome;
    if (work.stopped()) {
        outcome.reason = stoppedFailure();
    } else {
        work.fail(givenUpFailure(work.context().giveUpSeconds));
        outcome.reason = work.failure();
    }
    outcome.gaveUp = gaveUp;
    return outcome;
}

// A failure leaves a record; so does a publication that went through while an element the
// video needs matched nothing.
void UploadPage::writeRecord(PageWork& work, PublishOutcome& outcome) {
    const bool missedEssential = work.trace().firstEssentialMiss() != nullptr;
    if (recordsRoot_.empty() || (outcome.published() && !missedEssential)) return;
    if (work.handle() <= 0) work.setHandle(work.browser().handle());
    work.takeSnapshot();
    FailureRecord record{work.job().accountId, work.job().video, outcome.reason.word, outcome.reason.text,
                         work.stepName(), outcome.published(), work.trace(), work.snapshot()};
    if (outcome.published()) record.reasonText = "发布成功，但页面上有元素未找到";
    outcome.recordFolder = writeFailureRecord(recordsRoot_, record, std::time(nullptr)).string();
}

}  // namespace clipmill
