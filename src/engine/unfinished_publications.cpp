#include "engine/unfinished_publications.h"

#include "support/web_address.h"

namespace clipmill {

namespace {

constexpr int kWatchMs = 10000;
constexpr int kLookMs = 500;

// The reason word when the submit did not go through, or "" when it did. The page may
// still be waiting for the site's answer, and a browser busy with it may not answer at
// once, so it is watched for a while.
std::string decideSubmit(const JournalEntry& submitting,
                         const std::function<std::string(const std::string&)>& pageAddressOf, Waiter& waiter) {
    bool answered = false;
    for (int watched = 0;; watched += kLookMs) {
        const std::string address = pageAddressOf ? pageAddressOf(submitting.accountId) : std::string();
        if (!address.empty() && addressWithoutQuery(address) != submitting.landedAddress) return {};
        answered = answered || !address.empty();
        if (watched >= kWatchMs || !waiter.waitMs(kLookMs)) return answered ? kFailSubmitRefused : kFailBrowserGone;
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

RecoveryCounts finishOpenPublications(PublicationJournal& journal, VideoMaterial& material,
                                      const std::function<std::string(const std::string&)>& pageAddressOf,
                                      Waiter& waiter) {
    RecoveryCounts counts;
    for (const JournalEntry& open : openPublications(journal.read())) {
        const std::optional<VideoIdentity> now = identifyVideo(open.video.path);
        if (now && *now != open.video) {
            ++counts.leftAlone;
            continue;
        }
        if (open.event == kEventSubmitting) {
            if (!now) continue;  // nothing left to decide about
            const std::string failure = decideSubmit(open, pageAddressOf, waiter);
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
