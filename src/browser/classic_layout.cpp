#include "browser/classic_layout.h"

#include <algorithm>
#include <filesystem>

#include "browser/interrupt.h"
#include "browser/confirmed_submit.h"
#include "support/web_address.h"

namespace clipmill {

namespace {

constexpr int kEnterKey = 13;
constexpr int kCtrl = 2;
constexpr int kMostCoverRetries = 10;
constexpr int kMostCoverLoadingSeconds = 16;

bool fileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(std::filesystem::u8path(path), ec);
}

// Roles: video (the page's file inputs).
bool uploadVideoFile(PageWork& work) {
    work.title("开始上传");
    work.handOver(BrowserAutomation::kVideoChooser, work.job().video, role::kVideo);
    return work.wait(1000);
}

// Roles: originality, self_made, repost, source.
bool setOriginality(PageWork& work) {
    if (work.job().originality == Originality::SelfMade) {
        work.click(role::kOriginality, work.position(role::kSelfMade));
        return true;
    }
    auto& browser = work.automation();
    const std::string& source = work.selector(role::kSource);
    const int before = browser.form_dom_count(work.handle(), source);
    work.click(role::kOriginality, work.position(role::kRepost));
    if (!work.wait(1000)) return false;
    // The source field is the text input the repost choice added, after those before it.
    int at = work.position(role::kSource);
    if (!work.profile().positionGiven(role::kSource)) {
        if (browser.form_dom_count(work.handle(), source) <= before) {
            work.missed(role::kSource, source, before + 1, "input");
            return true;
        }
        at = before + 1;
    }
    work.check(browser.form_dom_input(work.handle(), source, work.job().repostSource, at), role::kSource, source, at,
               "input");
    return true;
}

// Roles: zone_opener, zone, zone_offset, sub_zone, sub_zone_offset.
bool setCategory(PageWork& work) {
    work.title("设置分类");
    work.click(role::kZoneOpener, work.position(role::kZoneOpener));
    if (!work.wait(1000)) return false;
    work.click(role::kZone, work.job().zoneIndex + work.position(role::kZoneOffset));
    if (!work.wait(2000)) return false;
    work.click(role::kSubZone, work.job().subZoneIndex + work.position(role::kSubZoneOffset));
    return work.wait(1000);
}

bool clickRecommendedTags(PageWork& work, int count) {
    for (int i = 1; i <= count; ++i) {
        work.click(role::kRecommendedTag, i);
        if (!work.waitRandom(600, 1100)) return false;
    }
    return true;
}

// Roles: tag_input, recommended_tag.
bool writeTags(PageWork& work) {
    work.title("写标签");
    auto& browser = work.automation();
    const std::string& input = work.selector(role::kTagInput);
    work.check(browser.form_dom_get_cursor(work.handle(), input), role::kTagInput, input, 0, "input");
    for (const std::string& tag : work.job().typedTags) {
        work.check(browser.form_word_input(work.handle(), input, tag), role::kTagInput, input, 0, "input");
        if (!work.wait(222)) return false;
        browser.form_press_special_key(work.handle(), kEnterKey);
        if (!work.waitRandom(600, 1100)) return false;
    }
    if (!clickRecommendedTags(work, work.job().recommendedTags)) return false;
    work.title("标签完成");
    return true;
}

// Roles: cover_loading, system_cover.
bool chooseSystemCover(PageWork& work) {
    for (int n = 1; n <= kMostCoverLoadingSeconds && work.present(role::kCoverLoading); ++n) {
        if (!work.wait(1000)) return false;
        work.title("等待系统封面" + std::to_string(n));
    }
    const int count = work.automation().form_dom_count(work.handle(), work.selector(role::kSystemCover));
    const int position = std::max(std::min(work.job().cover.systemPosition, count), 1);
    work.click(role::kSystemCover, position);
    return work.wait(1000);
}

// Roles: cover file input, crop_confirm.
bool handOverCover(PageWork& work, const std::string& cover) {
    work.handOver(BrowserAutomation::kCoverChooser, cover, role::kCoverFile);
    if (!work.wait(3000)) return false;
    work.click(role::kCropConfirm, work.position(role::kCropConfirm));
    return work.wait(3000);
}

// Roles: cover_hint; falls back to the system cover when the image cannot be used.
bool setLocalCover(PageWork& work) {
    const std::string& cover = work.job().cover.file;
    if (!fileExists(cover)) return chooseSystemCover(work);
    if (!handOverCover(work, cover)) return false;
    for (int retries = 0; work.present(role::kCoverHint);) {
        if (!handOverCover(work, cover)) return false;
        if (++retries > kMostCoverRetries) return chooseSystemCover(work);
    }
    return true;
}

bool setCover(PageWork& work) {
    switch (work.job().cover.kind) {
        case CoverChoice::Kind::File:
            work.title("设置本地封面");
            return setLocalCover(work);
        case CoverChoice::Kind::System:
            work.title("设置系统封面");
            return chooseSystemCover(work);
        case CoverChoice::Kind::None: break;
    }
    return true;
}

// Roles: description. The text goes in through the clipboard, as a person pastes it.
bool writeDescription(PageWork& work) {
    work.title("写简介");
    work.clipboard().setText(*work.job().description);
    const std::string& editor = work.selector(role::kDescription);
    const int pos = work.position(role::kDescription);
    work.check(work.automation().form_dom_focus(work.handle(), editor, pos), role::kDescription, editor, pos, "input");
    if (!work.wait(200)) return false;
    work.automation().form_analog_keyboard_ex(work.handle(), "86", kCtrl);
    return work.wait(2000);
}

FailureReason stalledReason(const PageWork& work) {
    if (work.trace().missed(role::kVideo)) return elementMissingFailure(role::kVideo, kFileInputs);
    return uploadStalledFailure(work.trace().lastPercentage);
}

// Roles: percentage, upload_state, upload_done.
bool waitUploadDone(PageWork& work) {
    if (!work.wait(2000)) return false;
    const std::string& done = work.profile().text(role::kUploadDone);
    for (;;) {
        const std::string percentage = work.readText(role::kPercentage, work.position(role::kPercentage));
        if (percentage.empty() && !work.pageAnswers()) {
            work.fail(browserGoneFailure());
            return false;
        }
        if (!percentage.empty()) work.trace().lastPercentage = percentage;
        if (!work.wait(2000)) return false;
        work.title("进度：" + percentage);
        if (work.givingUp()) {
            work.fail(stalledReason(work));
            return false;
        }
        if (work.readText(role::kUploadState, work.position(role::kUploadState)) == done) return true;
    }
}

// Roles: title.
bool writeTitle(PageWork& work) {
    if (work.job().titleSource == TitleSource::PageOwn) return true;
    auto& browser = work.automation();
    const std::string& field = work.selector(role::kTitle);
    const int pos = work.position(role::kTitle);
    work.check(browser.form_dom_setvalue(work.handle(), field, "", pos), role::kTitle, field, pos, "input");
    if (!work.wait(1000)) return false;
    work.check(browser.form_dom_settext(work.handle(), field, "", pos), role::kTitle, field, pos, "input");
    if (!work.wait(1000)) return false;
    work.check(browser.form_dom_input(work.handle(), field, work.job().title, pos), role::kTitle, field, pos, "input");
    return work.wait(1000);
}

}  // namespace

const PageLayout& classicLayout() {
    static const PageLayout layout{
        "classic",
        {
            {"上传视频文件", {}, 1000, uploadVideoFile, true},
            {"设置自制/转载", {}, 9000, setOriginality, false},
            {"设置分类", {}, 0, setCategory, true},
            {"写标签", {}, 0, writeTags, true},
            {"设置封面", {}, 0, setCover, true},
            {"写简介", [](const UploadJob& job) { return job.description.has_value(); }, 0, writeDescription, true},
            {"等待上传完成", {}, 0, waitUploadDone, false},
            {"写标题", {}, 0, writeTitle, false},
        },
        [](PageWork& work) { return ConfirmedSubmit(work, true).run(); },
    };
    return layout;
}

}  // namespace clipmill
