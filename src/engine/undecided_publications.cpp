#include "engine/undecided_publications.h"

#include <algorithm>
#include <map>

namespace clipmill {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Once the site has it, the video leaves its folder; a file that is another one now stays.
bool disposeIfSame(PublicationJournal& journal, VideoMaterial& material, const JournalEntry& submitted) {
    const std::optional<VideoIdentity> now = identifyVideo(submitted.video.path);
    if (now && *now != submitted.video) return false;
    if (now && !material.disposeVideo(submitted.video.path)) return false;
    return journal.append(followingEntry(submitted, kEventDisposed));
}

}  // namespace

JournalEntry followingEntry(const JournalEntry& open, const char* event) {
    JournalEntry entry = open;
    entry.event = event;
    entry.time.clear();
    entry.epoch = 0;
    entry.landedAddress.clear();
    entry.tabId.clear();
    entry.reason.clear();
    entry.reasonText.clear();
    if (open.event == kEventSubmitting) entry.submittingEpoch = open.epoch;
    return entry;
}

long long submittingEpoch(const JournalEntry& open) {
    if (open.submittingEpoch != 0) return open.submittingEpoch;
    return open.epoch != 0 ? open.epoch : epochOfLocalTime(open.time);
}

SubmissionMatch matchSubmission(const std::string& title, long long submittedAt,
                                const std::optional<std::vector<SiteSubmission>>& list, long long now) {
    SubmissionMatch match;
    if (!list) return match;
    const std::string wanted = trimmed(title);
    for (const SiteSubmission& submission : *list) {
        if (trimmed(submission.title) != wanted || wanted.empty()) continue;
        if (submission.createdEpoch != 0 && submission.createdEpoch < submittedAt - kClockSlackSeconds) continue;
        match.decision = SubmissionMatch::Decision::Published;
        match.submission = submission;
        return match;
    }
    // Only a list that reaches back past the submit can say it is not there: a list whose
    // oldest entry is newer may hold it on a later page.
    const bool reachesBack = std::any_of(list->begin(), list->end(), [submittedAt](const SiteSubmission& s) {
        return s.createdEpoch != 0 && s.createdEpoch < submittedAt - kClockSlackSeconds;
    });
    if ((list->empty() || reachesBack) && now >= submittedAt + kNotFoundAfterSeconds)
        match.decision = SubmissionMatch::Decision::NotPublished;
    return match;
}

SettleCounts settleUndecided(PublicationJournal& journal, VideoMaterial& material, const SubmissionsOf& submissionsOf,
                             const std::string& accountId, const std::function<long long()>& now) {
    SettleCounts counts;
    std::map<std::string, std::optional<std::vector<SiteSubmission>>> lists;  // one fetch per account
    for (const JournalEntry& open : journal.openPublications()) {
        if (!undecided(open) || (!accountId.empty() && open.accountId != accountId)) continue;
        const std::optional<VideoIdentity> file = identifyVideo(open.video.path);
        if (file && *file != open.video) {
            ++counts.leftAlone;
            continue;
        }
        auto list = lists.find(open.accountId);
        if (list == lists.end())
            list = lists.emplace(open.accountId, submissionsOf ? submissionsOf(open.accountId) : std::nullopt).first;
        const SubmissionMatch match = matchSubmission(open.title, submittingEpoch(open), list->second, now());
        if (match.decision == SubmissionMatch::Decision::Undecided) {
            ++counts.undecided;
        } else if (match.decision == SubmissionMatch::Decision::NotPublished) {
            JournalEntry failed = followingEntry(open, kEventFailed);
            const FailureReason reason = notFoundFailure();
            failed.reason = reason.word;
            failed.reasonText = reason.text;
            journal.append(failed);
            ++counts.notPublished;
        } else {
            JournalEntry submitted = followingEntry(open, kEventSubmitted);
            submitted.evidence = "网站稿件列表";
            submitted.aid = match.submission.aid;
            submitted.bvid = match.submission.bvid;
            if (journal.append(submitted)) disposeIfSame(journal, material, submitted);
            ++counts.published;
        }
    }
    return counts;
}

bool decideByHand(PublicationJournal& journal, VideoMaterial& material, const JournalEntry& open, bool published) {
    if (!published) {
        JournalEntry failed = followingEntry(open, kEventFailed);
        failed.reason = kFailUserNotPublished;
        failed.reasonText = failureText(kFailUserNotPublished);
        return journal.append(failed);
    }
    JournalEntry submitted = followingEntry(open, kEventSubmitted);
    submitted.evidence = "用户手动确认";
    if (!journal.append(submitted)) return false;
    disposeIfSame(journal, material, submitted);
    return true;
}

}  // namespace clipmill
