#pragma once

#include <functional>
#include <string>

#include "engine/publication_journal.h"
#include "engine/run_services.h"
#include "support/clock.h"

namespace clipmill {

struct RecoveryCounts {
    int disposed = 0;    // published videos that left their folder now
    int confirmed = 0;   // submits whose answer the process did not live to see, found published
    int refuted = 0;     // such submits found not published: the video stays
    int leftAlone = 0;   // the file at that path is another one now, or could not be moved
};

// Closes what a process that ended in mid-publication left open in the journal, before a
// run can pick those videos again. A video the site has is disposed of; a submit whose
// outcome was never seen is decided by the account's browser, which outlives the program:
// a page that left the landed upload page published it, one that stayed or is gone did
// not, by the same rule the page applies right after a submit.
struct AccountPages {
    // The address the account's browser shows now ("" when none runs or it does not answer).
    std::function<std::string(const std::string& accountId)> addressOf;
    std::string loginPage;  // a submit that lands here did not count
};

RecoveryCounts finishOpenPublications(PublicationJournal& journal, VideoMaterial& material, const AccountPages& pages,
                                      Clock& clock);

}  // namespace clipmill
