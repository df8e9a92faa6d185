#include "engine/job_composer.h"

#include <algorithm>

#include "engine/file_listing.h"
#include "engine/file_moves.h"
#include "engine/video_material.h"
#include "support/random.h"

namespace clipmill {

namespace {

constexpr const char* kCoverPattern = "*.jpg";

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

JobComposerImpl::JobComposerImpl(WindowState& window, TitlePool& titles, Draw draw)
    : window_(window), settings_(window), titles_(titles), draw_(draw ? std::move(draw) : Draw(randomInclusive)) {}

std::string JobComposerImpl::drawFrom(const std::vector<std::string>& files) {
    const int last = static_cast<int>(files.size()) - 1;
    return files[static_cast<std::size_t>(std::clamp(draw_(0, last), 0, last))];
}

std::string JobComposerImpl::coverFor(const std::string& video) {
    if (settings_.单选框_本地封面.selected()) return sameNameCover(video);
    if (!settings_.单选框_本地随机封面.selected()) return {};
    const auto images = listFiles(settings_.编辑框_随机封面目录.text(), kCoverPattern, true);
    return images.empty() ? std::string() : drawFrom(images);
}

std::string JobComposerImpl::description(const UploadJob& job) {
    if (!settings_.选择框_填写简介.checked()) return {};
    return replaceAll(settings_.编辑框_简介模板内容.text(), {{"{nick}", job.text("昵称")},
                                                             {"{title}", nameWithoutExtension(job.text("视频路径"))},
                                                             {"{tag}", settings_.编辑框_固定标签.text()},
                                                             {"+", "、"}});
}

void JobComposerImpl::composeJob(UploadJob& job) {
    job.setText("标签", settings_.编辑框_固定标签.text());
    job.setText("封面1", coverFor(job.text("视频路径")));
    job.setText("简介", description(job));
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

std::optional<std::string> JobComposerImpl::composeTitle(const UploadJob& job) {
    const bool affixes = settings_.选择框_标题附加.checked();
    if (settings_.单选框_视频文件名.selected() && !affixes) return std::nullopt;
    std::string base;
    if (settings_.单选框_标题库.selected()) base = nextLibraryTitle().value_or("");
    // A library without titles, or an empty line of it, gives the video's own name.
    if (base.empty()) base = nameWithoutExtension(job.text("视频路径"));
    if (!affixes) return base;
    return settings_.编辑框_标题前.text() + base + settings_.编辑框_标题后.text();
}

}  // namespace clipmill
