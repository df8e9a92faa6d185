#include "engine/job_composer.h"

#include <algorithm>
#include <tuple>

#include "engine/file_listing.h"
#include "engine/file_moves.h"
#include "engine/video_material.h"
#include "support/random.h"

namespace clipmill {

namespace {

constexpr const char* kCoverPattern = "*.jpg";
constexpr int kMostRecommendedTags = 20;

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return lowerAscii(c); });
    return text;
}

std::string replaceEach(const std::string& text, const std::string& placeholder, const std::string& value) {
    if (placeholder.empty()) return text;
    const std::string folded = lowerAscii(text);
    const std::string wanted = lowerAscii(placeholder);
    std::string out;
    std::size_t start = 0;
    for (std::size_t at = folded.find(wanted); at != std::string::npos; at = folded.find(wanted, start)) {
        out.append(text, start, at - start).append(value);
        start = at + wanted.size();
    }
    return out.append(text, start);
}

}  // namespace

std::string replaceAll(std::string text, const std::vector<std::pair<std::string, std::string>>& pairs) {
    for (const auto& [placeholder, value] : pairs) text = replaceEach(text, placeholder, value);
    return text;
}

std::vector<std::string> splitAtPlus(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t plus; (plus = text.find('+', start)) != std::string::npos; start = plus + 1)
        pieces.push_back(text.substr(start, plus - start));
    pieces.push_back(text.substr(start));
    return pieces;
}

JobComposerImpl::JobComposerImpl(WindowState& window, TitlePool& titles, Draw draw)
    : window_(window), settings_(window), titles_(titles), draw_(draw ? std::move(draw) : Draw(randomInclusive)) {}

std::string JobComposerImpl::drawFrom(const std::vector<std::string>& files) {
    const int last = static_cast<int>(files.size()) - 1;
    return files[static_cast<std::size_t>(std::clamp(draw_(0, last), 0, last))];
}

UploadJob JobComposerImpl::composeJob(const JobAccount& account, const std::string& videoPath) {
    UploadJob job;
    job.accountId = account.id;
    job.nickname = account.nickname;
    job.siteId = account.siteId;
    job.video = videoPath;
    if (settings_.单选框_转载.selected()) {
        job.originality = Originality::Repost;
        job.repostSource = settings_.编辑框_转载说明.text();
    }
    std::tie(job.zoneIndex, job.zone) = chosenItem(settings_.组合框1);
    std::tie(job.subZoneIndex, job.subZone) = chosenItem(settings_.组合框2);
    composeTags(job);
    job.cover = coverFor(videoPath);
    job.description = description(job);
    composeTitle(job);
    return job;
}

void JobComposerImpl::giveBack(const UploadJob& job) {
    if (job.titleSource == TitleSource::Library) titles_.giveBack(job.libraryTitle);
}

std::pair<int, std::string> JobComposerImpl::chosenItem(const DropDownSetting& list) const {
    const auto items = list.items();
    const int index = list.index();
    const bool valid = index >= 0 && index < static_cast<int>(items.size());
    return {index, valid ? items[static_cast<std::size_t>(index)].text : std::string()};
}

void JobComposerImpl::composeTags(UploadJob& job) {
    const bool mixed = settings_.单选框_混合标签.selected();
    if (settings_.单选框标签固定.selected() || mixed) job.typedTags = splitAtPlus(settings_.编辑框_固定标签.text());
    if (settings_.单选框_系统推荐标签.selected())
        job.recommendedTags = std::min(std::max(settings_.编辑框_系统标签个数.number(), 2), kMostRecommendedTags);
    if (mixed)
        job.recommendedTags = std::max(settings_.编辑框_混合标签个数.number(), 2) - static_cast<int>(job.typedTags.size());
}

CoverChoice JobComposerImpl::coverFor(const std::string& video) {
    if (settings_.单选框_本地封面.selected()) return {CoverChoice::Kind::File, sameNameCover(video)};
    if (settings_.单选框_本地随机封面.selected()) {
        const auto images = listFiles(settings_.编辑框_随机封面目录.text(), kCoverPattern, true);
        return {CoverChoice::Kind::File, images.empty() ? std::string() : drawFrom(images)};
    }
    if (settings_.单选框_系统封面.selected())
        return {CoverChoice::Kind::System, {}, settings_.编辑框_封面图序列.number()};
    if (settings_.单选框_系统封面_随机.selected()) return {CoverChoice::Kind::System, {}, draw_(1, 4)};
    return {};
}

std::optional<std::string> JobComposerImpl::description(const UploadJob& job) {
    if (!settings_.选择框_填写简介.checked()) return std::nullopt;
    return replaceAll(settings_.编辑框_简介模板内容.text(), {{"{nick}", job.nickname},
                                                             {"{title}", nameWithoutExtension(job.video)},
                                                             {"{tag}", settings_.编辑框_固定标签.text()},
                                                             {"+", "、"}});
}

void JobComposerImpl::copyRandomCover(const std::string& videoPath) {
    if (!settings_.单选框_本地随机封面.selected()) return;
    const auto images = listFiles(settings_.编辑框_随机封面目录.text(), kCoverPattern, false);
    if (images.empty()) return;
    copyFileNoReplace(drawFrom(images), sameNameCover(videoPath));
}

std::vector<std::string> JobComposerImpl::readTitleLibrary() {
    auto titles = titlesFromLibrary(settings_.编辑框_标题库.text());
    window_.setCaption("标签5", "一行一个，检测到标题数量：" + std::to_string(titles.size()));
    return titles;
}

void JobComposerImpl::refillTitlePool() {
    titles_.refill(readTitleLibrary());
}

std::optional<std::string> JobComposerImpl::nextLibraryTitle() {
    const bool random = settings_.选择框_随机.checked();
    return titles_.take([this] { return readTitleLibrary(); },
                        [this, random](std::size_t size) {
                            return random ? static_cast<std::size_t>(draw_(1, static_cast<int>(size)) - 1) : 0;
                        });
}

void JobComposerImpl::composeTitle(UploadJob& job) {
    const std::string ownName = nameWithoutExtension(job.video);
    const bool affixes = settings_.选择框_标题附加.checked();
    job.title = ownName;
    if (settings_.单选框_视频文件名.selected() && !affixes) return;  // the page's own title stays
    job.titleSource = TitleSource::FileName;
    if (settings_.单选框_标题库.selected()) {
        // A library without titles, or an empty line of it, gives the video's own name.
        const std::string taken = nextLibraryTitle().value_or("");
        if (!taken.empty()) {
            job.title = taken;
            job.libraryTitle = taken;
            job.titleSource = TitleSource::Library;
        }
    }
    if (affixes) job.title = settings_.编辑框_标题前.text() + job.title + settings_.编辑框_标题后.text();
}

}  // namespace clipmill
