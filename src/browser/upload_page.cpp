#include "browser/upload_page.h"

#include <algorithm>
#include <filesystem>

#include "browser/interrupt.h"
#include "browser/site_addresses.h"
#include "engine/publication_journal.h"
#include "engine/job_composer.h"
#include "support/random.h"

namespace clipmill {

namespace {

const char* const kOriginality = ".check-radio-v2-name";
const char* const kTextInput = ".input-box-v2-1-val";
const char* const kZoneOpener = ".select-box-v2-controller";
const char* const kZoneEntry = ".pre-item-content";
const char* const kSubZoneEntry = ".item-main";
const char* const kTagInput = ".content-tag-v2-input-wrp";
const char* const kRecommendedTag = ".label-item-v2-2-container";
const char* const kCropConfirm = ".cover-chop-modal-v2-btn";
const char* const kCoverHint = ".cover-v2-upload-tip";
const char* const kCoverLoading = ".cover-v2-loading";
const char* const kSystemCover = ".selector-item";
const char* const kDescriptionEditor = "div.ql-editor";
const char* const kPercentage = ".item-status-percentage";
const char* const kUploadState = ".upload-status-intro";
const char* const kSubmit = ".submit-btn-group-add";

constexpr int kEnterKey = 13;
constexpr int kCtrl = 2;
constexpr int kMostRecommendedTags = 20;
constexpr int kMostCoverRetries = 10;
constexpr int kMostCoverLoadingSeconds = 16;
constexpr int kMostSubmitClicks = 3;
// After a click on submit the page may take a while to hear back from the site; it is
// watched this long before the next click, so that a slow answer is not submitted twice.
// It is looked at often: a browser that dies after the page left but before anyone saw
// it leave takes the proof of the publication with it.
constexpr int kSubmitLookMs = 250;
constexpr int kSubmitWatchMs = 10000;

std::vector<std::string> splitAtPlus(const std::string& text) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (size_t plus; (plus = text.find('+', start)) != std::string::npos; start = plus + 1)
        pieces.push_back(text.substr(start, plus - start));
    pieces.push_back(text.substr(start));
    return pieces;
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(std::filesystem::u8path(path), ec);
}

// One publication: the job, the run's context and the browser, for the span of one call.
class Publication {
public:
    Publication(UploadPageDeps& deps, UploadJob& job, PublishContext& context)
        : deps_(deps), settings_(deps.settings), job_(job), context_(context), browser_(deps.automation) {}

    int run() {
        video_ = job_.text("视频路径");
        if (deps_.openAccountPage(job_, context_) != 1) return 0;
        handle_ = deps_.handle();
        if (!wait(1000) || !uploadVideoFile() || !goOn()) return 0;
        if (!wait(9000) || !setOriginality() || !setCategory() || !goOn()) return 0;
        if (!writeTags() || !goOn()) return 0;
        if (!setCover() || !goOn()) return 0;
        if (settings_.选择框_填写简介.checked() && (!writeDescription() || !goOn())) return 0;
        if (!waitUploadDone()) {
            context_.abandonTimer();
            return 0;
        }
        if (!writeTitle()) return 0;
        // Once submitted, the video is published: no give-up check undoes that.
        return submitVideo() ? 1 : 0;
    }

private:
    bool wait(int ms) { return context_.waiter.waitMs(ms); }
    bool waitRandom(int low, int high) { return wait(draw(low, high)); }
    int draw(int low, int high) { return deps_.draw ? deps_.draw(low, high) : randomInclusive(low, high); }
    bool goOn() {
        if (context_.waiter.stopped()) return false;
        if (context_.giveUpCheck()) return true;
        context_.fail(kFailGivenUp);
        return false;
    }
    // A browser that was closed or died answers nothing, not even its address.
    bool pageAnswers() { return !browser_.form_get_page_url(handle_).empty(); }
    void title(const std::string& text) { deps_.setBrowserTitle(text); }
    void click(const char* selector, int position) { browser_.form_dom_click(handle_, selector, position); }
    bool present(const char* selector) { return browser_.form_dom_isexist(handle_, selector) == 1; }

    bool uploadVideoFile() {
        title("开始上传");
        browser_.form_upload_file(handle_, BrowserAutomation::kVideoChooser, video_);
        return wait(1000);
    }

    bool setOriginality() {
        if (settings_.单选框_自制.selected()) {
            click(kOriginality, 1);
            return true;
        }
        click(kOriginality, 2);
        if (!wait(1000)) return false;
        browser_.form_dom_input(handle_, kTextInput, settings_.编辑框_转载说明.text(), 0);
        return true;
    }

    bool setCategory() {
        title("设置分类");
        click(kZoneOpener, 0);
        if (!wait(1000)) return false;
        click(kZoneEntry, settings_.组合框1.index() + 2);
        if (!wait(2000)) return false;
        click(kSubZoneEntry, settings_.组合框2.index() + 1);
        return wait(1000);
    }

    bool writeTags() {
        title("写标签");
        browser_.form_dom_get_cursor(handle_, kTagInput);
        int typed = 0;
        std::string tags = job_.text("标签");
        if (tags.empty()) tags = settings_.编辑框_固定标签.text();
        const bool mixed = settings_.单选框_混合标签.selected();
        if (settings_.单选框标签固定.selected() || mixed) {
            for (const auto& piece : splitAtPlus(tags)) {
                browser_.form_word_input(handle_, kTagInput, piece);
                if (!wait(222)) return false;
                browser_.form_press_special_key(handle_, kEnterKey);
                if (!waitRandom(600, 1100)) return false;
                ++typed;
            }
        }
        if (settings_.单选框_系统推荐标签.selected()) {
            const int wanted = std::min(std::max(settings_.编辑框_系统标签个数.number(), 2), kMostRecommendedTags);
            if (!clickRecommendedTags(wanted)) return false;
        }
        if (mixed) {
            const int wanted = std::max(settings_.编辑框_混合标签个数.number(), 2);
            if (!clickRecommendedTags(wanted - typed)) return false;
        }
        title("标签完成");
        return true;
    }

    bool clickRecommendedTags(int count) {
        for (int i = 1; i <= count; ++i) {
            click(kRecommendedTag, i);
            if (!waitRandom(600, 1100)) return false;
        }
        return true;
    }

    bool setCover() {
        if (settings_.单选框_本地封面.selected() || settings_.单选框_本地随机封面.selected()) {
            title("设置本地封面");
            if (!setLocalCover()) return false;
        }
        if (settings_.单选框_系统封面.selected() || settings_.单选框_系统封面_随机.selected()) {
            title("设置系统封面");
            if (!chooseSystemCover()) return false;
        }
        return true;
    }

    bool handOverCover(const std::string& cover) {
        browser_.form_upload_file(handle_, BrowserAutomation::kCoverChooser, cover);
        if (!wait(3000)) return false;
        click(kCropConfirm, 0);
        return wait(3000);
    }

    bool setLocalCover() {
        const std::string cover = job_.text("封面1");
        if (!fileExists(cover)) return chooseSystemCover();
        if (!handOverCover(cover)) return false;
        for (int retries = 0; present(kCoverHint);) {
            if (!handOverCover(cover)) return false;
            if (++retries > kMostCoverRetries) return chooseSystemCover();
        }
        return true;
    }

    bool chooseSystemCover() {
        for (int n = 1; n <= kMostCoverLoadingSeconds && present(kCoverLoading); ++n) {
            if (!wait(1000)) return false;
            title("等待系统封面" + std::to_string(n));
        }
        const int count = browser_.form_dom_count(handle_, kSystemCover);
        int position = 0;
        if (settings_.单选框_系统封面_随机.selected()) position = draw(1, 4);
        if (settings_.单选框_系统封面.selected()) position = settings_.编辑框_封面图序列.number();
        if (position > count) position = count;
        position = std::max(position, 1);
        click(kSystemCover, position);
        return wait(1000);
    }

    bool writeDescription() {
        title("写简介");
        std::string text = job_.text("简介");
        if (text.empty()) text = settings_.编辑框_简介模板内容.text();
        text = replaceAll(text, {{"{nick}", deps_.accounts.cell(context_.currentRow(), kColumnNick)},
                                 {"{title}", std::filesystem::u8path(video_).stem().string()},
                                 {"{tag}", settings_.编辑框_固定标签.text()}});
        deps_.clipboard.setText(text);
        browser_.form_dom_focus(handle_, kDescriptionEditor, 0);
        if (!wait(200)) return false;
        browser_.form_analog_keyboard_ex(handle_, "86", kCtrl);
        return wait(2000);
    }

    bool waitUploadDone() {
        if (!wait(2000)) return false;
        for (;;) {
            const std::string percentage = browser_.form_dom_gettext(handle_, kPercentage, 1);
            if (percentage.empty() && !pageAnswers()) {
                context_.fail(kFailBrowserGone);
                return false;
            }
            if (!wait(2000)) return false;
            title("进度：" + percentage);
            if (!context_.giveUpCheck()) {
                context_.fail(kFailUploadStalled);
                return false;
            }
            if (browser_.form_dom_gettext(handle_, kUploadState, 0) == "上传完成") return true;
        }
    }

    bool writeTitle() {
        const std::optional<std::string> text = deps_.composeTitle(job_);
        typedTitle_ = text ? *text : std::filesystem::u8path(video_).stem().string();
        if (!text) return true;
        browser_.form_dom_setvalue(handle_, kTextInput, "", 0);
        if (!wait(1000)) return false;
        browser_.form_dom_settext(handle_, kTextInput, "", 0);
        if (!wait(1000)) return false;
        browser_.form_dom_input(handle_, kTextInput, *text, 0);
        return wait(1000);
    }

    enum class SubmitOutcome { Left, Stayed, Gone, SignedOut };

    std::string landedAddress() const {
        const std::string landed = deps_.landedUploadPage ? deps_.landedUploadPage() : std::string();
        return landed.empty() ? addressWithoutQuery(deps_.uploadPageUrl) : landed;
    }

    // Whether the page leaves the landed address after a click. Stop does not cut this
    // short: the site may have the video already, and only the page can tell.
    SubmitOutcome watchForLeaving(const std::string& landed) {
        StopSignal never;
        InterruptScope unstoppable(never);
        Waiter calm(context_.waiter.clock(), never);
        for (int watched = 0; watched < kSubmitWatchMs; watched += kSubmitLookMs) {
            calm.waitMs(kSubmitLookMs);
            const std::string address = browser_.form_get_page_url(handle_);
            const std::string page = addressWithoutQuery(address);
            if (!page.empty() && page == addressWithoutQuery(deps_.loginPageUrl)) return SubmitOutcome::SignedOut;
            if (!page.empty() && page != landed) return SubmitOutcome::Left;
            if (address.empty() && browser_.form_session_isconnected(handle_) != 1) return SubmitOutcome::Gone;
        }
        return SubmitOutcome::Stayed;
    }

    SubmittedFields submittedFields() const {
        auto chosen = [this](const DropDownSetting& list) {
            const auto items = list.items();
            const int index = list.index();
            return index >= 0 && index < static_cast<int>(items.size()) ? items[index].text : std::string();
        };
        return {typedTitle_, chosen(settings_.组合框1), chosen(settings_.组合框2)};
    }

    // True only when the page left the upload page after a click on submit. A page that
    // stays put did not publish the video, and one that does not answer confirms nothing:
    // the run must not dispose of the video then.
    bool submitVideo() {
        title("开始发布");
        const std::string landed = landedAddress();
        if (context_.onSubmitting) context_.onSubmitting(landed);
        SubmitOutcome outcome = SubmitOutcome::Stayed;
        for (int clicks = 1; clicks <= kMostSubmitClicks + 1 && !context_.waiter.stopped(); ++clicks) {
            click(kSubmit, 0);
            outcome = watchForLeaving(landed);
            if (outcome != SubmitOutcome::Stayed) break;
        }
        if (outcome == SubmitOutcome::Gone || outcome == SubmitOutcome::SignedOut) {
            context_.fail(outcome == SubmitOutcome::Gone ? kFailBrowserGone : kFailBanned);
            return false;
        }
        if (outcome == SubmitOutcome::Left) {
            if (context_.onSubmitted) context_.onSubmitted(submittedFields());
            title("已发表");
        } else {
            context_.fail(context_.waiter.stopped() ? kFailStopped : kFailSubmitRefused);
        }
        browser_.form_js_dialog_overwrite(handle_);
        browser_.form_forward_url(handle_, deps_.uploadPageUrl);
        return outcome == SubmitOutcome::Left;
    }

    UploadPageDeps& deps_;
    RunSettings& settings_;
    UploadJob& job_;
    PublishContext& context_;
    BrowserAutomation& browser_;
    std::string video_;
    std::string typedTitle_;
    int handle_ = 0;
};

}  // namespace

int UploadPage::publishVideo(UploadJob& job, PublishContext& context) {
    InterruptScope interrupt(context.waiter.stopSignal());
    return Publication(deps_, job, context).run();
}

}  // namespace clipmill
