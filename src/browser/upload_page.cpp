#include "browser/upload_page.h"

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "browser/failure_record.h"
#include "browser/interrupt.h"
#include "browser/site_addresses.h"
#include "engine/job_composer.h"
#include "engine/publication_journal.h"
#include "support/random.h"

namespace clipmill {

namespace {

constexpr int kEnterKey = 13;
constexpr int kCtrl = 2;
constexpr int kMostRecommendedTags = 20;
constexpr int kMostCoverRetries = 10;
constexpr int kMostCoverLoadingSeconds = 16;
constexpr int kMostSubmitClicks = 3;
// A challenge solved is followed by another click; a site that keeps asking is given up.
constexpr int kMostVerifications = 5;
// After a click on submit the page may take a while to hear back from the site; it is
// watched this long before the next click, so that a slow answer is not submitted twice.
// It is looked at often: a browser that dies after the page left but before anyone saw
// it leave takes the proof of the publication with it.
constexpr int kSubmitLookMs = 250;
constexpr int kSubmitWatchMs = 10000;
constexpr const char* kVerificationTitle = "需要人工验证，完成后自动继续";
constexpr const char* kFileInputs = "input[type=file]";

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
    Publication(UploadPageDeps& deps, UploadJob& job, PublishContext& context,
                std::shared_ptr<const PageProfile> profile)
        : deps_(deps),
          settings_(deps.settings),
          job_(job),
          context_(context),
          browser_(deps.automation),
          profile_(std::move(profile)) {
        trace_.notes = profile_->problems();
    }

    int run() {
        video_ = job_.text("视频路径");
        step("打开上传页");
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

    // The page as it shows now, once per publication: the give-up check closes the browser
    // right after it asked for this.
    void takeSnapshot() {
        if (snapshot_.taken || handle_ <= 0) return;
        // Also after Stop: the picture is what tells the user why.
        StopSignal never;
        InterruptScope unstoppable(never);
        snapshot_.address = browser_.form_get_page_url(handle_);
        if (snapshot_.address.empty()) return;
        snapshot_.taken = true;
        snapshot_.html = browser_.form_get_html(handle_);
        snapshot_.png = browser_.form_capture_screenshot(handle_);
    }

    // After run(): the reason settled for the run to show, and a record left when the
    // publication failed or the page lacked an element the video needs.
    void conclude(bool published) {
        if (!published) settleReason();
        const bool missedEssential = trace_.firstEssentialMiss() != nullptr;
        if (deps_.recordsRoot.empty() || (published && !missedEssential)) return;
        if (handle_ <= 0) handle_ = deps_.handle();
        takeSnapshot();
        FailureRecord record{job_.text("缓存id"), video_, context_.failure, context_.failureText, step_,
                             published, trace_, snapshot_};
        if (published) record.reasonText = "发布成功，但页面上有元素未找到";
        const auto folder = writeFailureRecord(deps_.recordsRoot, record, std::time(nullptr));
        context_.recordFolder = folder.string();
    }

private:
    void settleReason() {
        if (context_.waiter.stopped()) {
            context_.failure.clear();
            context_.fail(stoppedFailure());
        }
        context_.fail(givenUpFailure(context_.giveUpSeconds));
    }

    bool wait(int ms) { return context_.waiter.waitMs(ms); }
    bool waitRandom(int low, int high) { return wait(draw(low, high)); }
    int draw(int low, int high) { return deps_.draw ? deps_.draw(low, high) : randomInclusive(low, high); }
    bool goOn() {
        if (context_.waiter.stopped()) return false;
        if (context_.giveUpCheck()) return true;
        context_.fail(givenUpFailure(context_.giveUpSeconds));
        return false;
    }
    // A browser that was closed or died answers nothing, not even its address.
    bool pageAnswers() { return !browser_.form_get_page_url(handle_).empty(); }
    void title(const std::string& text) { deps_.setBrowserTitle(text); }
    void step(const char* name) { step_ = name; }

    const std::string& selector(const char* role) const { return profile_->selector(role); }
    int position(const char* role) const { return profile_->position(role); }
    void missed(const char* role, const std::string& sel, int pos, const char* action) {
        trace_.miss({role, sel, pos, step_, action});
    }
    bool check(int result, const char* role, const std::string& sel, int pos, const char* action) {
        if (result == 1) return true;
        missed(role, sel, pos, action);
        return false;
    }
    bool click(const char* role, int pos) {
        const std::string& sel = selector(role);
        return check(browser_.form_dom_click(handle_, sel, pos), role, sel, pos, "click");
    }
    bool present(const char* role) { return browser_.form_dom_isexist(handle_, selector(role)) == 1; }
    std::string readText(const char* role, int pos) {
        const std::string& sel = selector(role);
        std::optional<std::string> text = browser_.form_dom_findtext(handle_, sel, pos);
        if (!text) missed(role, sel, pos, "text");
        return text.value_or("");
    }
    void handOver(int chooser, const std::string& path, const char* role) {
        check(browser_.form_upload_file(handle_, chooser, path), role, kFileInputs, 0, "file");
    }

    bool uploadVideoFile() {
        step("上传视频文件");
        title("开始上传");
        handOver(BrowserAutomation::kVideoChooser, video_, role::kVideo);
        return wait(1000);
    }

    bool setOriginality() {
        step("设置自制/转载");
        if (settings_.单选框_自制.selected()) {
            click(role::kOriginality, position(role::kSelfMade));
            return true;
        }
        const std::string& source = selector(role::kSource);
        const int before = browser_.form_dom_count(handle_, source);
        click(role::kOriginality, position(role::kRepost));
        if (!wait(1000)) return false;
        // The source field is the text input the repost choice added, after those before it.
        int at = position(role::kSource);
        if (!profile_->positionGiven(role::kSource)) {
            if (browser_.form_dom_count(handle_, source) <= before) {
                missed(role::kSource, source, before + 1, "input");
                return true;
            }
            at = before + 1;
        }
        check(browser_.form_dom_input(handle_, source, settings_.编辑框_转载说明.text(), at), role::kSource, source, at,
              "input");
        return true;
    }

    bool setCategory() {
        step("设置分类");
        title("设置分类");
        click(role::kZoneOpener, position(role::kZoneOpener));
        if (!wait(1000)) return false;
        click(role::kZone, settings_.组合框1.index() + position(role::kZoneOffset));
        if (!wait(2000)) return false;
        click(role::kSubZone, settings_.组合框2.index() + position(role::kSubZoneOffset));
        return wait(1000);
    }

    bool writeTags() {
        step("写标签");
        title("写标签");
        const std::string& input = selector(role::kTagInput);
        check(browser_.form_dom_get_cursor(handle_, input), role::kTagInput, input, 0, "input");
        int typed = 0;
        std::string tags = job_.text("标签");
        if (tags.empty()) tags = settings_.编辑框_固定标签.text();
        const bool mixed = settings_.单选框_混合标签.selected();
        if (settings_.单选框标签固定.selected() || mixed) {
            for (const auto& piece : splitAtPlus(tags)) {
                check(browser_.form_word_input(handle_, input, piece), role::kTagInput, input, 0, "input");
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
            click(role::kRecommendedTag, i);
            if (!waitRandom(600, 1100)) return false;
        }
        return true;
    }

    bool setCover() {
        step("设置封面");
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
        handOver(BrowserAutomation::kCoverChooser, cover, role::kCoverFile);
        if (!wait(3000)) return false;
        click(role::kCropConfirm, position(role::kCropConfirm));
        return wait(3000);
    }

    bool setLocalCover() {
        const std::string cover = job_.text("封面1");
        if (!fileExists(cover)) return chooseSystemCover();
        if (!handOverCover(cover)) return false;
        for (int retries = 0; present(role::kCoverHint);) {
            if (!handOverCover(cover)) return false;
            if (++retries > kMostCoverRetries) return chooseSystemCover();
        }
        return true;
    }

    bool chooseSystemCover() {
        for (int n = 1; n <= kMostCoverLoadingSeconds && present(role::kCoverLoading); ++n) {
            if (!wait(1000)) return false;
            title("等待系统封面" + std::to_string(n));
        }
        const int count = browser_.form_dom_count(handle_, selector(role::kSystemCover));
        int pos = 0;
        if (settings_.单选框_系统封面_随机.selected()) pos = draw(1, 4);
        if (settings_.单选框_系统封面.selected()) pos = settings_.编辑框_封面图序列.number();
        if (pos > count) pos = count;
        pos = std::max(pos, 1);
        click(role::kSystemCover, pos);
        return wait(1000);
    }

    bool writeDescription() {
        step("写简介");
        title("写简介");
        std::string text = job_.text("简介");
        if (text.empty()) text = settings_.编辑框_简介模板内容.text();
        text = replaceAll(text, {{"{nick}", deps_.accounts.cell(context_.currentRow(), kColumnNick)},
                                 {"{title}", std::filesystem::u8path(video_).stem().string()},
                                 {"{tag}", settings_.编辑框_固定标签.text()}});
        deps_.clipboard.setText(text);
        const std::string& editor = selector(role::kDescription);
        const int pos = position(role::kDescription);
        check(browser_.form_dom_focus(handle_, editor, pos), role::kDescription, editor, pos, "input");
        if (!wait(200)) return false;
        browser_.form_analog_keyboard_ex(handle_, "86", kCtrl);
        return wait(2000);
    }

    FailureReason stalledReason() const {
        if (trace_.missed(role::kVideo)) return elementMissingFailure(role::kVideo, kFileInputs);
        return uploadStalledFailure(trace_.lastPercentage);
    }

    bool waitUploadDone() {
        step("等待上传完成");
        if (!wait(2000)) return false;
        const std::string& done = profile_->text(role::kUploadDone);
        for (;;) {
            const std::string percentage = readText(role::kPercentage, position(role::kPercentage));
            if (percentage.empty() && !pageAnswers()) {
                context_.fail(browserGoneFailure());
                return false;
            }
            if (!percentage.empty()) trace_.lastPercentage = percentage;
            if (!wait(2000)) return false;
            title("进度：" + percentage);
            if (!context_.giveUpCheck()) {
                context_.fail(stalledReason());
                return false;
            }
            if (readText(role::kUploadState, position(role::kUploadState)) == done) return true;
        }
    }

    bool writeTitle() {
        step("写标题");
        const std::optional<std::string> text = deps_.composeTitle(job_);
        typedTitle_ = text ? *text : std::filesystem::u8path(video_).stem().string();
        if (!text) return true;
        const std::string& field = selector(role::kTitle);
        const int pos = position(role::kTitle);
        check(browser_.form_dom_setvalue(handle_, field, "", pos), role::kTitle, field, pos, "input");
        if (!wait(1000)) return false;
        check(browser_.form_dom_settext(handle_, field, "", pos), role::kTitle, field, pos, "input");
        if (!wait(1000)) return false;
        check(browser_.form_dom_input(handle_, field, *text, pos), role::kTitle, field, pos, "input");
        return wait(1000);
    }

    enum class SubmitOutcome { Left, Stayed, Gone, SignedOut, TooFrequent, Verification };

    std::string landedAddress() const {
        const std::string landed = deps_.landedUploadPage ? deps_.landedUploadPage() : std::string();
        return landed.empty() ? addressWithoutQuery(deps_.uploadPageUrl) : landed;
    }

    // The page shows that the account posts too often, in one of the profile's wordings.
    // Its visible text only: the page's scripts hold such wordings too.
    bool refusedAsTooFrequent() {
        const std::vector<std::string> wordings = profile_->alternatives(role::kTooFrequent);
        if (wordings.empty()) return false;
        const std::string shown = browser_.form_dom_gettext(handle_, "body", 0);
        return std::any_of(wordings.begin(), wordings.end(),
                           [&shown](const std::string& w) { return shown.find(w) != std::string::npos; });
    }

    // Where the page went after a click, looked at once.
    SubmitOutcome lookAfterClick(const std::string& landed) {
        const std::string address = browser_.form_get_page_url(handle_);
        if (!address.empty()) trace_.addressAfterSubmit = address;
        const std::string page = addressWithoutQuery(address);
        if (!page.empty() && page == addressWithoutQuery(loginPage())) return SubmitOutcome::SignedOut;
        if (!page.empty() && page != landed) return SubmitOutcome::Left;
        if (address.empty()) {
            return browser_.form_session_isconnected(handle_) != 1 ? SubmitOutcome::Gone : SubmitOutcome::Stayed;
        }
        if (refusedAsTooFrequent()) return SubmitOutcome::TooFrequent;
        if (present(role::kVerification)) return SubmitOutcome::Verification;
        return SubmitOutcome::Stayed;
    }

    std::string loginPage() const {
        const std::string& configured = profile_->text(role::kLoginPage);
        return configured.empty() ? deps_.loginPageUrl : configured;
    }

    // Whether the page leaves the landed address after a click. Stop does not cut this
    // short: the site may have the video already, and only the page can tell.
    SubmitOutcome watchForLeaving(const std::string& landed) {
        StopSignal never;
        InterruptScope unstoppable(never);
        Waiter calm(context_.waiter.clock(), never);
        for (int watched = 0; watched < kSubmitWatchMs; watched += kSubmitLookMs) {
            calm.waitMs(kSubmitLookMs);
            const SubmitOutcome outcome = lookAfterClick(landed);
            if (outcome != SubmitOutcome::Stayed) return outcome;
        }
        return SubmitOutcome::Stayed;
    }

    // The site asks for a challenge the user solves in the account's browser. Stayed once
    // it is gone (the click is to be made again), Left when solving it published the video,
    // Verification when Stop or the give-up limit came first.
    SubmitOutcome awaitVerification(const std::string& landed) {
        title(kVerificationTitle);
        for (;;) {
            if (!wait(1000)) return SubmitOutcome::Verification;
            if (!context_.giveUpCheck()) return SubmitOutcome::Verification;
            const SubmitOutcome outcome = lookAfterClick(landed);
            if (outcome != SubmitOutcome::Verification) return outcome;
        }
    }

    SubmittedFields submittedFields() const {
        auto chosen = [this](const DropDownSetting& list) {
            const auto items = list.items();
            const int index = list.index();
            return index >= 0 && index < static_cast<int>(items.size()) ? items[index].text : std::string();
        };
        return {typedTitle_, chosen(settings_.组合框1), chosen(settings_.组合框2)};
    }

    SubmitOutcome clickSubmitUntilDecided(const std::string& landed) {
        SubmitOutcome outcome = SubmitOutcome::Stayed;
        int verifications = 0;
        for (int clicks = 1; clicks <= kMostSubmitClicks + 1 && !context_.waiter.stopped(); ++clicks) {
            click(role::kSubmit, position(role::kSubmit));
            outcome = watchForLeaving(landed);
            if (outcome == SubmitOutcome::Verification && ++verifications <= kMostVerifications) {
                outcome = awaitVerification(landed);
                if (outcome == SubmitOutcome::Stayed) --clicks;  // solved: this click did not count
            }
            if (outcome != SubmitOutcome::Stayed) break;
        }
        return outcome;
    }

    void failSubmit(SubmitOutcome outcome) {
        switch (outcome) {
            case SubmitOutcome::Gone: return context_.fail(browserGoneFailure());
            case SubmitOutcome::SignedOut: return context_.fail(bannedFailure());
            case SubmitOutcome::TooFrequent: return context_.fail(tooFrequentFailure());
            case SubmitOutcome::Verification:
                return context_.fail(context_.waiter.stopped() ? stoppedFailure() : verificationFailure());
            default: break;
        }
        if (context_.waiter.stopped()) return context_.fail(stoppedFailure());
        if (trace_.missed(role::kSubmit)) return context_.fail(elementMissingFailure(role::kSubmit, selector(role::kSubmit)));
        context_.fail(submitRefusedFailure());
    }

    // True only when the page left the upload page after a click on submit. A page that
    // stays put did not publish the video, and one that does not answer confirms nothing:
    // the run must not dispose of the video then.
    bool submitVideo() {
        step("发布");
        title("开始发布");
        const std::string landed = landedAddress();
        trace_.addressBeforeSubmit = landed;
        if (context_.onSubmitting) context_.onSubmitting(landed);
        const SubmitOutcome outcome = clickSubmitUntilDecided(landed);
        if (outcome == SubmitOutcome::Gone || outcome == SubmitOutcome::SignedOut) {
            failSubmit(outcome);
            return false;
        }
        if (outcome == SubmitOutcome::Left) {
            if (context_.onSubmitted) context_.onSubmitted(submittedFields());
            title("已发表");
        } else {
            failSubmit(outcome);
            takeSnapshot();  // before the page is reloaded below
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
    std::shared_ptr<const PageProfile> profile_;
    PageTrace trace_;
    PageSnapshot snapshot_;
    std::string step_;
    std::string video_;
    std::string typedTitle_;
    int handle_ = 0;
};

}  // namespace

int UploadPage::publishVideo(UploadJob& job, PublishContext& context) {
    InterruptScope interrupt(context.waiter.stopSignal());
    auto profile = deps_.profiles ? deps_.profiles->reload() : std::make_shared<const PageProfile>();
    Publication publication(deps_, job, context, std::move(profile));
    context.onGivingUp = [&publication] { publication.takeSnapshot(); };
    const int result = publication.run();
    context.onGivingUp = nullptr;
    publication.conclude(result == 1);
    return result;
}

}  // namespace clipmill
