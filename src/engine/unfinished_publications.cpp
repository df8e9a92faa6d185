#include "engine/unfinished_publications.h"

#include "browser/submit_confirmation.h"

namespace clipmill {

namespace {

// The reason word when the submit did not go through, or "" when it did. The page may
// still be waiting for the site's answer, and a browser busy with it may not answer at
// once, so it is watched for a while.
std::string decideSubmit(const JournalEntry& submitting, const AccountPages& pages, Clock& clock) {
    auto look = [&] {
        // No answer is not taken for a browser gone: it may be busy with the site's reply.
        return PageLook{pages.addressOf ? pages.addressOf(submitting.accountId) : std::string()};
    };
    const SubmitWatch watch = watchSubmit(look, submitting.landedAddress, pages.loginPage, clock);
    switch (watch.sign) {
        case SubmitSign::Left: return {};
        case SubmitSign::SignedOut: return kFailBanned;
        default: return watch.answered ? kFailSubmitRefused : kFailBrowserGone;
    }
}

JournalEntry following(const JournalEntry& open, const char* event) {
    JournalEntry entry = open;
    entry.event = event;
    entry.time.clear();
    entry.landedAddress.clear();
    return entry;
}

}  // namespace

RecoveryCounts finishOpenPublications(PublicationJournal& journal, VideoMaterial& material, const AccountPages& pages,
                                      Clock& clock) {
    RecoveryCounts counts;
    for (const JournalEntry& open : journal.openPublications()) {
        const std::optional<VideoIdentity> now = identifyVideo(open.video.path);
        if (now && *now != open.video) {
            ++counts.leftAlone;
            continue;
        }
        if (open.event == kEventSubmitting) {
            if (!now) continue;  // nothing left to decide about
            const std::string failure = decideSubmit(open, pages, clock);
            if (!failure.empty()) {
                JournalEntry failed = following(open, kEventFailed);
                failed.reason = failure;
                journal.append(failed);
                ++counts.refuted;
                continue;
            }
            journal.append(following(open, kEventSubmitted));
            ++counts.confirmed;
        }
        // Gone already: the disposal itself was done before the process ended.
        if (!now || material.disposeVideo(open.video.path)) {
            journal.append(following(open, kEventDisposed));
            ++counts.disposed;
        } else {
            ++counts.leftAlone;
        }
    }
    return counts;
}

}  // namespace clipmill
