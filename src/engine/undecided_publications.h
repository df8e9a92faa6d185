#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "browser/site_answers.h"
#include "engine/publication_journal.h"
#include "engine/run_services.h"

namespace clipmill {

// The account's submissions list as the site gives it to that account's own browser; nothing
// when it could not be read (no browser, no answer, the check is off).
using SubmissionsOf = std::function<std::optional<std::vector<SiteSubmission>>(const std::string& accountId)>;

// A submission shows on the site's list within minutes; one missing this long after the
// submit was not taken. Clocks of the site and this machine may differ by a little.
inline constexpr long long kNotFoundAfterSeconds = 30 * 60;
inline constexpr long long kClockSlackSeconds = 2 * 60;

struct SubmissionMatch {
    enum class Decision { Published, NotPublished, Undecided };
    Decision decision = Decision::Undecided;
    SiteSubmission submission;  // Published: the site's entry
};

// What the site's list says of an undecided publication: a submission with the same title
// made no earlier than the submit (less the slack) proves it; none, kNotFoundAfterSeconds after
// the submit, in a list that is empty or reaches back past the submit, refutes it; otherwise
// it stays undecided. `submittedAt` and `now` are seconds since 1970.
SubmissionMatch matchSubmission(const std::string& title, long long submittedAt,
                                const std::optional<std::vector<SiteSubmission>>& list, long long now);

// When the submit of an open, undecided entry was made.
long long submittingEpoch(const JournalEntry& open);

struct SettleCounts {
    int published = 0;     // found on the site: written as submitted, then disposed of
    int notPublished = 0;  // not found in time: the video is free again
    int undecided = 0;     // the list could not tell yet
    int leftAlone = 0;     // the file at that path is another one now
};

// Settles the undecided publications of `accountId` (all accounts when empty) by the site's
// submissions list; a publication found there is written as submitted and its video disposed
// of. `now` gives seconds since 1970.
SettleCounts settleUndecided(PublicationJournal& journal, VideoMaterial& material, const SubmissionsOf& submissionsOf,
                             const std::string& accountId, const std::function<long long()>& now);

// Writes what a user decided by hand for an undecided publication: `published` writes it as
// submitted and disposes of the video; otherwise it is failed and the video is free again.
bool decideByHand(PublicationJournal& journal, VideoMaterial& material, const JournalEntry& open, bool published);

// The entry that follows an open one for the same video.
JournalEntry followingEntry(const JournalEntry& open, const char* event);

}  // namespace clipmill
