#include "browser/page_work.h"

#include "browser/interrupt.h"
#include "support/random.h"

namespace clipmill {

PageWork::PageWork(PageTools& tools, const UploadJob& job, PublishContext& context,
                   std::shared_ptr<const PageProfile> profile)
    : tools_(tools), job_(job), context_(context), profile_(std::move(profile)) {
    trace_.notes = profile_->problems();
}

int PageWork::draw(int low, int high) { return tools_.draw ? tools_.draw(low, high) : randomInclusive(low, high); }

bool PageWork::givingUp() {
    if (!context_.giveUpNow()) return false;
    if (!gaveUp_) takeSnapshot();
    gaveUp_ = true;
    return true;
}

bool PageWork::goOn() {
    if (stopped()) return false;
    if (!givingUp()) return true;
    fail(givenUpFailure(context_.giveUpSeconds));
    return false;
}

void PageWork::missed(const char* role, const std::string& selector, int position, const char* action) {
    trace_.miss({role, selector, position, step_, action});
}

bool PageWork::check(int result, const char* role, const std::string& selector, int position, const char* action) {
    if (result == 1) return true;
    missed(role, selector, position, action);
    return false;
}

bool PageWork::click(const char* role, int position) {
    const std::string& sel = selector(role);
    return check(automation().form_dom_click(handle_, sel, position), role, sel, position, "click");
}

bool PageWork::present(const char* role) { return automation().form_dom_isexist(handle_, selector(role)) == 1; }

std::string PageWork::readText(const char* role, int position) {
    const std::string& sel = selector(role);
    std::optional<std::string> text = automation().form_dom_findtext(handle_, sel, position);
    if (!text) missed(role, sel, position, "text");
    return text.value_or("");
}

void PageWork::handOver(int chooser, const std::string& path, const char* role) {
    check(automation().form_upload_file(handle_, chooser, path), role, kFileInputs, 0, "file");
}

void PageWork::fail(const FailureReason& reason) {
    if (failure_.word.empty()) failure_ = reason;
}

void PageWork::takeSnapshot() {
    if (snapshot_.taken || handle_ <= 0) return;
    StopSignal never;
    InterruptScope unstoppable(never);
    snapshot_.address = automation().form_get_page_url(handle_);
    if (snapshot_.address.empty()) return;
    snapshot_.taken = true;
    snapshot_.html = automation().form_get_html(handle_);
    snapshot_.png = automation().form_capture_screenshot(handle_);
}

}  // namespace clipmill
