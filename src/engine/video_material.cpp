#include "engine/video_material.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <limits>

#include "engine/file_listing.h"
#include "engine/file_moves.h"
#include "platform/file_in_use.h"
#include "support/atomic_file.h"
#include "support/dir_handle.h"
#include "support/random.h"
#include "support/utf8_text.h"

namespace clipmill {

namespace {

constexpr std::size_t kLongestName = 80;
constexpr const char* kStatusBar = "状态条1";
constexpr int kStatusPart = 1;

bool exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string fileNameOf(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

std::string extensionOf(const std::string& path) {
    const std::string name = fileNameOf(path);
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

// A name in `folder` that is `stem` + `extension` with the extension in any letter case, or "".
// The stem must match exactly: "A.jpg" is the cover of "A.mp4", not of "a.mp4".
std::string nameWithExtensionInAnyCase(const std::string& folder, const std::string& stem,
                                       const std::string& extension) {
    DirHandle dir = openFolder(folder.empty() ? std::string(".") : folder);
    if (!dir) return {};
    while (const dirent* entry = readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name.size() == stem.size() + extension.size() && name.starts_with(stem) &&
            strcasecmp(entry->d_name + stem.size(), extension.c_str()) == 0)
            return entry->d_name;
    }
    return {};
}

// An over-long name is cut to its first characters, in the same folder. "" when the
// rename fails; the file then stays as it is.
std::string shortenLongName(const std::string& video) {
    const std::string name = nameWithoutExtension(video);
    if (characterCount(name) <= kLongestName) return video;
    const std::string shorter = folderOf(video) + leadingCharacters(name, kLongestName) + extensionOf(video);
    return moveFile(video, shorter) ? shorter : std::string();
}

// Where a forced delete puts its scratch folder. TMPDIR may name a folder that is not there;
// the system's own folder is used then, and a delete that needs none goes ahead regardless.
std::filesystem::path scratchParent() {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    return error ? std::filesystem::path("/tmp") : folder;
}

std::tm systemLocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

}  // namespace

std::string nameWithoutExtension(const std::string& path) {
    const std::string name = fileNameOf(path);
    return name.substr(0, name.find_last_of('.'));
}

std::string sameNameCover(const std::string& videoPath) {
    const std::string folder = folderOf(videoPath);
    const std::string stem = nameWithoutExtension(videoPath);
    const std::string cover = stem + ".jpg";
    if (exists(folder + cover)) return folder + cover;
    const std::string existing = nameWithExtensionInAnyCase(folder, stem, ".jpg");
    return folder + (existing.empty() ? cover : existing);
}

std::string duplicateDateTimeText(const std::tm& local) {
    std::string text = std::to_string(local.tm_year + 1900) + "年" + std::to_string(local.tm_mon + 1) + "月" +
                       std::to_string(local.tm_mday) + "日";
    const std::string hour = std::to_string(local.tm_hour) + "时";
    if (local.tm_sec != 0)
        return text + hour + std::to_string(local.tm_min) + "分" + std::to_string(local.tm_sec) + "秒";
    if (local.tm_min != 0) return text + hour + std::to_string(local.tm_min) + "分";
    if (local.tm_hour != 0) return text + hour;
    return text;
}

VideoMaterialImpl::VideoMaterialImpl(WindowState& window, AccountTable& accounts,
                                     std::filesystem::path programDirectory, Draw draw, LocalNow localNow,
                                     SyncFolder syncFolder)
    : window_(window),
      accounts_(accounts),
      settings_(window),
      programDirectory_(std::move(programDirectory)),
      draw_(draw ? std::move(draw) : Draw(randomInclusive)),
      localNow_(localNow ? std::move(localNow) : LocalNow(systemLocalNow)),
      syncFolder_(syncFolder ? std::move(syncFolder) : SyncFolder(clipmill::syncFolder)) {}

std::string VideoMaterialImpl::pick(const std::string& folder, int row, const HeldBack& held) {
    const bool subfolders = settings_.选择框_读取子文件夹.checked();
    const bool random = settings_.单选框_选择视频_随机.selected();
    // In order the first file listed that is not held back is the one, so the listing may
    // stop once it has one more than are held back. A published video moved into a used-video
    // folder that lies in the material folder is never material again: it would be published
    // once more on every pass.
    const std::size_t enough = held.holds ? held.count + 1 : 1;
    auto files = listFiles(folder, "*.mp4", subfolders, random ? std::numeric_limits<std::size_t>::max() : enough,
                           usedFolderPath());
    if (held.holds) std::erase_if(files, held.holds);
    if (files.empty()) {
        window_.setStatusPart(kStatusBar, kStatusPart, "视频素材目录没有视频");
        accounts_.setCell(row, kColumnStatus, "没有视频");
        return {};
    }
    if (!random) return files.front();
    const int last = static_cast<int>(files.size()) - 1;
    return files[static_cast<std::size_t>(std::clamp(draw_(0, last), 0, last))];
}

std::string VideoMaterialImpl::selectVideo(const std::string& folder, int row, const HeldBack& held) {
    const std::string picked = pick(folder, row, held);
    if (picked.empty() || isFileInUse(picked)) return {};
    const std::string video = shortenLongName(picked);
    return !video.empty() && exists(video) ? video : std::string();
}

std::filesystem::path VideoMaterialImpl::usedFolderPath() const {
    const std::string text = settings_.编辑框_使用过视频目录.text();
    std::filesystem::path folder = text.empty() ? programDirectory_ / "已使用视频" : std::filesystem::path(text);
    return folder.is_relative() ? programDirectory_ / folder : folder;
}

std::filesystem::path VideoMaterialImpl::usedVideoFolder() const {
    const std::filesystem::path folder = usedFolderPath();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return folder;
}

bool VideoMaterialImpl::disposeVideo(const std::string& videoPath) {
    const std::string cover = sameNameCover(videoPath);
    const std::filesystem::path source = std::filesystem::path(videoPath).parent_path();
    if (settings_.单选框_删除.selected()) {
        // A video that could not be deleted keeps its cover for when it is published again.
        if (!forceDeleteFile(videoPath, scratchParent())) return false;
        if (cover != videoPath) unlink(cover.c_str());
        makeDurable(source);
        return true;
    }
    const std::string target = moveToUsedFolder(videoPath, cover);
    if (target.empty()) return false;
    makeDurable(source, std::filesystem::path(target).parent_path());
    return true;
}

// The caller records the disposal once this returns, and that record must not outlive the
// change after a power cut. A folder that fails to flush still counts as disposed: the video
// has left its folder for every reader from now on, and no second attempt could move it
// again; a failed result would only leave the journal saying it is still there.
void VideoMaterialImpl::makeDurable(const std::filesystem::path& source,
                                    const std::filesystem::path& destination) const {
    const auto flush = [this](const std::filesystem::path& folder) {
        if (!syncFolder_(folder)) std::fprintf(stderr, "clipmill: could not flush the folder %s\n", folder.c_str());
    };
    flush(source);
    if (!destination.empty() && destination != source) flush(destination);
}

std::string VideoMaterialImpl::moveToUsedFolder(const std::string& videoPath, const std::string& cover) {
    const std::filesystem::path folder = usedVideoFolder();
    const std::string name = fileNameOf(videoPath);
    std::string target = (folder / name).string();
    if (exists(target)) {
        const std::string stamp = "有重复标题" + duplicateDateTimeText(localNow_());
        target = (folder / (stamp + "_" + name)).string();
        for (int k = 2; exists(target) && k < 1000; ++k)
            target = (folder / (stamp + "(" + std::to_string(k) + ")_" + name)).string();
    }
    // The cover travels under the name the video arrived with; it stays put with a video that stayed.
    if (!moveFileNoReplace(videoPath, target)) return {};
    if (cover != videoPath) moveFileNoReplace(cover, (folder / (nameWithoutExtension(target) + ".jpg")).string());
    return target;
}

}  // namespace clipmill
