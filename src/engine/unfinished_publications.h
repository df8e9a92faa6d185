#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/publication_journal.h"
#include "engine/run_services.h"
#include "engine/undecided_publications.h"

namespace clipmill {

struct RecoveryCounts {
    int disposed = 0;    // published videos that left their folder now
    int confirmed = 0;   // submits whose answer the process did not live to see, found published
    int refuted = 0;     // such submits found not published: the video is free again
    int undecided = 0;   // such submits nobody can tell about yet: the video is held back
    int leftAlone = 0;   // the file at that path is another one now, or could not be moved
};

// What the browsers of the accounts can still tell about a submit the process did not live
// to see through.
struct AccountPages {
    // The visible text of the tab `tabId` in the account's own browser; nothing when no such
    // browser runs, it has no such tab, or it does not answer.
    std::function<std::optional<std::string>(const std::string& accountId, const std::string& tabId)> tabText;
    // The page's own words of success (any of them).
    std::vector<std::string> successWords;
    // The account's submissions list on the site.
    SubmissionsOf submissionsOf;
};

// Closes what a process that ended in mid-publication left open in the journal, before a run
// can pick those videos again. A video the site has is disposed of. A submit whose outcome
// was never seen is published only on evidence: the page's own success word in the tab it was
// clicked in, or the site's submissions list; an address proves nothing here, as the tab may
// show anything by now. Until then it is unknown and its video held back.
RecoveryCounts finishOpenPublications(PublicationJournal& journal, VideoMaterial& material, const AccountPages& pages,
                                      const std::function<long long()>& now);

}  // namespace clipmill
