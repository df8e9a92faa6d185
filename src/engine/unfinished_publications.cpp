#include "engine/unfinished_publications.h"

#include <algorithm>

namespace clipmill {

namespace {

bool showsSuccess(const AccountPages& pages, const JournalEntry& submitting) {
    if (!pages.tabText || submitting.tabId.empty()) return false;
    const std::optional<std::string> text = pages.tabText(submitting.accountId, submitting.tabId);
    return text && std::any_of(pages.successWords.begin(), pages.successWords.end(),
                               [&](const std::string& word) { return !word.empty() && text->find(word) != std::string::npos; });
}

// A submit the process did not see through: published when its tab shows the success word,
// otherwise unknown until the site's list decides.
void settleSubmitting(PublicationJournal& journal, const AccountPages& pages, const JournalEntry& open,
                      RecoveryCounts& counts) {
    if (showsSuccess(pages, open)) {
        JournalEntry submitted = followingEntry(open, kEventSubmitted);
        submitted.evidence = "页面显示投稿成功";
        journal.append(submitted);
        ++counts.confirmed;
        return;
    }
    JournalEntry unknown = followingEntry(open, kEventUnknown);
    const FailureReason reason = answerUnseenFailure();
    unknown.reason = reason.word;
    unknown.reasonText = reason.text;
    journal.append(unknown);
}

}  // namespace

RecoveryCounts finishOpenPublications(PublicationJournal& journal, VideoMaterial& material, const AccountPages& pages,
                                      const std::function<long long()>& now) {
    RecoveryCounts counts;
    for (const JournalEntry& open : journal.openPublications()) {
        const std::optional<VideoIdentity> file = identifyVideo(open.video.path);
        if (open.event == kEventSubmitting && !(file && *file != open.video)) settleSubmitting(journal, pages, open, counts);
    }
    const SettleCounts settled = settleUndecided(journal, material, pages.submissionsOf, "", now);
    counts.confirmed += settled.published;
    counts.refuted = settled.notPublished;
    counts.undecided = settled.undecided;
    for (const JournalEntry& open : journal.openPublications()) {
        if (open.event != kEventSubmitted) continue;
        const std::optional<VideoIdentity> file = identifyVideo(open.video.path);
        if (file && *file != open.video) {
            ++counts.leftAlone;
            continue;
        }
        // Gone already: the disposal itself was done before the process ended.
        if (!file || material.disposeVideo(open.video.path)) {
            journal.append(followingEntry(open, kEventDisposed));
            ++counts.disposed;
        } else {
            ++counts.leftAlone;
        }
    }
    return counts;
}

}  // namespace clipmill
