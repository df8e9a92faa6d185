#include "browser/page_profile.h"

#include <algorithm>
#include <charconv>

#include "settings/ini_file.h"
#include "support/atomic_file.h"

namespace clipmill {

namespace {

using K = ProfileKind;

int kindIndex(ProfileKind kind) { return static_cast<int>(kind); }

// Keys are compared without regard to ASCII case, as the INI reader compares them.
bool sameKey(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

const ProfileEntry* findEntry(ProfileKind kind, std::string_view key) {
    for (const ProfileEntry& entry : pageProfileTable())
        if (entry.kind == kind && sameKey(key, entry.role)) return &entry;
    return nullptr;
}

bool parsePosition(const std::string& text, int& out) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || value < 0) return false;
    out = value;
    return true;
}

const std::string& emptyText() {
    static const std::string empty;
    return empty;
}

}  // namespace

const std::vector<ProfileEntry>& pageProfileTable() {
    static const std::vector<ProfileEntry> table = {
        {K::Selector, role::kOriginality, ".check-radio-v2-name", "自制/转载 radio labels"},
        {K::Selector, role::kTitle, ".input-box-v2-1-val", "title input"},
        {K::Selector, role::kSource, ".input-box-v2-1-val", "repost source input (appears after the repost click)"},
        {K::Selector, role::kZoneOpener, ".select-box-v2-controller", "zone drop-down opener"},
        {K::Selector, role::kZone, ".pre-item-content", "zone entries"},
        {K::Selector, role::kSubZone, ".item-main", "sub-zone entries of the open zone"},
        {K::Selector, role::kSubZonePanel, ".drop-cascader-list-wrp", "sub-zone list the zone refresh reads"},
        {K::Selector, role::kTagInput, ".content-tag-v2-input-wrp", "tag input"},
        {K::Selector, role::kRecommendedTag, ".label-item-v2-2-container", "tags the page recommends"},
        {K::Selector, role::kCropConfirm, ".cover-chop-modal-v2-btn", "confirm button of the cover crop dialog"},
        {K::Selector, role::kCoverHint, ".cover-v2-upload-tip", "hint shown while no own cover is set"},
        {K::Selector, role::kCoverLoading, ".cover-v2-loading", "indicator while system covers are prepared"},
        {K::Selector, role::kSystemCover, ".selector-item", "system covers offered"},
        {K::Selector, role::kDescription, "div.ql-editor", "description editor"},
        {K::Selector, role::kPercentage, ".item-status-percentage", "upload percentage"},
        {K::Selector, role::kUploadState, ".upload-status-intro", "upload state text"},
        {K::Selector, role::kSubmit, ".submit-btn-group-add", "submit button"},
        {K::Selector, role::kVerification, ".geetest_panel", "captcha container shown after a submit"},
        {K::Position, role::kSelfMade, "1", "自制 among the originality labels"},
        {K::Position, role::kRepost, "2", "转载 among the originality labels"},
        {K::Position, role::kSource, "", "source input among the text inputs; empty: the one the repost click added"},
        {K::Position, role::kTitle, "0", "title among the text inputs"},
        {K::Position, role::kZoneOpener, "0", "zone drop-down opener"},
        {K::Position, role::kZoneOffset, "2", "zone entry = zone list index + this"},
        {K::Position, role::kSubZoneOffset, "1", "sub-zone entry = sub-zone list index + this"},
        {K::Position, role::kSubZonePanel, "0", "sub-zone list the zone refresh reads"},
        {K::Position, role::kCropConfirm, "0", "confirm button of the cover crop dialog"},
        {K::Position, role::kDescription, "0", "description editor"},
        {K::Position, role::kPercentage, "1", "upload percentage"},
        {K::Position, role::kUploadState, "0", "upload state text"},
        {K::Position, role::kSubmit, "0", "submit button"},
        {K::Position, role::kAnswerWait, "600", "seconds the site's answer to a sent submit is awaited"},
        {K::Text, role::kUploadDone, "上传完成", "upload state once the file is up"},
        {K::Text, role::kPageReady, "拖拽视频", "text of the loaded upload page"},
        {K::Text, role::kBanned, "账号已被禁用", "text of a banned account's page"},
        {K::Text, role::kLoginPage, "", "login page address; empty: [site] login of endpoints.ini"},
        {K::Text, role::kTooFrequent, "投稿过于频繁|上传视频过快", "the site refusing a submit, alternatives joined by |"},
        {K::Text, role::kSuccessText, "稿件投递成功", "the page's own word that the site took the video, alternatives joined by |"},
        {K::Text, role::kSubmitRequest, "", "part of the submit request's address; empty: any POST the page sends after the click"},
        {K::Text, role::kSubZoneOpening, "item-main\">", "zone refresh: text before a sub-zone name"},
        {K::Text, role::kSubZoneClosing, "</p>", "zone refresh: text after a sub-zone name"},
    };
    return table;
}

const char* profileSection(ProfileKind kind) {
    switch (kind) {
        case K::Selector: return "selectors";
        case K::Position: return "positions";
        case K::Text: return "texts";
    }
    return "";
}

PageProfile::PageProfile() {
    for (const ProfileEntry& entry : pageProfileTable()) values_[kindIndex(entry.kind)][entry.role] = entry.fallback;
}

PageProfile PageProfile::load(const std::filesystem::path& file) {
    std::optional<std::string> bytes = file.empty() ? std::nullopt : readWholeFile(file);
    return bytes ? fromBytes(*bytes) : PageProfile();
}

PageProfile PageProfile::fromBytes(std::string_view gbkBytes) {
    PageProfile profile;
    IniFile ini = IniFile::fromBytes(gbkBytes);
    for (ProfileKind kind : {K::Selector, K::Position, K::Text}) {
        const char* section = profileSection(kind);
        for (const std::string& key : ini.keys(section))
            profile.override(kind, key, ini.value(section, key).value_or(""));
    }
    return profile;
}

void PageProfile::override(ProfileKind kind, const std::string& key, const std::string& value) {
    const std::string where = std::string("page.ini [") + profileSection(kind) + "] " + key + "=" + value;
    const ProfileEntry* entry = findEntry(kind, key);
    if (!entry) {
        problems_.push_back(where + "：未知的键，已忽略");
        return;
    }
    int number = 0;
    if (value.empty() || (kind == K::Position && !parsePosition(value, number))) {
        problems_.push_back(where + "：无法使用的值，已忽略");
        return;
    }
    values_[kindIndex(kind)][entry->role] = value;
    if (kind == K::Position) given_[entry->role] = true;
}

const std::string& PageProfile::selector(std::string_view role) const {
    const auto& values = values_[kindIndex(K::Selector)];
    auto it = values.find(role);
    return it == values.end() ? emptyText() : it->second;
}

int PageProfile::position(std::string_view role) const {
    const auto& values = values_[kindIndex(K::Position)];
    auto it = values.find(role);
    int number = 0;
    return it != values.end() && parsePosition(it->second, number) ? number : 0;
}

bool PageProfile::positionGiven(std::string_view role) const { return given_.find(role) != given_.end(); }

const std::string& PageProfile::text(std::string_view role) const {
    const auto& values = values_[kindIndex(K::Text)];
    auto it = values.find(role);
    return it == values.end() ? emptyText() : it->second;
}

std::vector<std::string> PageProfile::alternatives(std::string_view role) const {
    std::vector<std::string> pieces;
    const std::string& all = text(role);
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t bar = all.find('|', start);
        if (bar == std::string::npos) bar = all.size();
        if (bar > start) pieces.push_back(all.substr(start, bar - start));
        start = bar + 1;
    }
    return pieces;
}

std::filesystem::path pageProfilePath(const std::filesystem::path& programDir) {
    return programDir / "data" / "page.ini";
}

std::shared_ptr<const PageProfile> PageProfileSource::reload() {
    auto loaded = std::make_shared<const PageProfile>(PageProfile::load(file_));
    std::lock_guard lock(mutex_);
    current_ = loaded;
    return loaded;
}

std::shared_ptr<const PageProfile> PageProfileSource::current() const {
    std::lock_guard lock(mutex_);
    return current_;
}

}  // namespace clipmill
