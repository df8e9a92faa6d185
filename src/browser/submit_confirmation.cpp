#include "browser/submit_confirmation.h"

#include "support/web_address.h"

namespace clipmill {

bool isUploadPage(const std::string& address, const std::string& configured, const std::string& landed) {
    if (address.empty()) return false;
    const std::string page = addressWithoutQuery(address);
    return page == addressWithoutQuery(configured) || (!landed.empty() && page == landed);
}

SubmitSign judgeSubmit(const PageLook& look, const std::string& landed, const std::string& loginPage) {
    const std::string page = addressWithoutQuery(look.address);
    if (!page.empty() && !loginPage.empty() && page == addressWithoutQuery(loginPage)) return SubmitSign::SignedOut;
    if (!page.empty() && page != landed) return SubmitSign::Left;
    if (page.empty()) return look.reachable ? SubmitSign::Stayed : SubmitSign::Gone;
    if (look.tooFrequent) return SubmitSign::TooFrequent;
    if (look.verification) return SubmitSign::Verification;
    return SubmitSign::Stayed;
}

SubmitWatch watchSubmit(const std::function<PageLook()>& look, const std::string& landed,
                        const std::string& loginPage, Clock& clock, int watchMs) {
    StopSignal never;
    Waiter calm(clock, never);
    SubmitWatch watch;
    for (int watched = 0; watched < watchMs; watched += kSubmitLookMs) {
        calm.waitMs(kSubmitLookMs);
        const PageLook seen = look();
        if (!seen.address.empty()) watch.answered = true;
        watch.sign = judgeSubmit(seen, landed, loginPage);
        if (watch.sign != SubmitSign::Stayed) return watch;
    }
    return watch;
}

}  // namespace clipmill
