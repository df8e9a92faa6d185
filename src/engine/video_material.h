#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

#include "accounts/account_table.h"
#include "engine/run_services.h"
#include "settings/run_settings.h"
#include "settings/window_state.h"

namespace clipmill {

// The same-name cover of a video: the ".jpg" with the video's name in the video's folder.
// An existing file whose extension differs only in case (".JPG") counts as that cover; one
// whose name differs in case is another video's.
std::string sameNameCover(const std::string& videoPath);

// The file name without its extension (all after the last ".").
std::string nameWithoutExtension(const std::string& path);

// The local date and time as the used-video folder names duplicates: "2024年3月5日" followed by
// "7时8分9秒", "7时8分" when the seconds are 0, "7时" when the minutes are 0 too, nothing at midnight.
std::string duplicateDateTimeText(const std::tm& local);

// Picks the next video from a material folder and moves or deletes it once it is published,
// reading the material settings at the moment of use.
class VideoMaterialImpl final : public VideoMaterial {
public:
    using Draw = std::function<int(int, int)>;
    using LocalNow = std::function<std::tm()>;
    // Flushes a folder's entries to disk; false when that failed.
    using SyncFolder = std::function<bool(const std::filesystem::path&)>;

    // `programDirectory` holds the default used-video folder; `draw` is the random choice of a
    // video (inclusive bounds), `localNow` the local time for duplicate names and `syncFolder`
    // what makes a disposal durable.
    VideoMaterialImpl(WindowState& window, AccountTable& accounts, std::filesystem::path programDirectory,
                      Draw draw = {}, LocalNow localNow = {}, SyncFolder syncFolder = {});

    std::string selectVideo(const std::string& folder, int row, const HeldBack& held = {}) override;
    // A true result means the change is on disk: the folders it changed are flushed first.
    bool disposeVideo(const std::string& videoPath) override;

    // Where published videos are moved: the used-video folder, or the program's "已使用视频"
    // folder when none is set; created when missing.
    std::filesystem::path usedVideoFolder() const;

private:
    // The used-video folder as the settings name it, whether it exists or not.
    std::filesystem::path usedFolderPath() const;
    std::string pick(const std::string& folder, int row, const HeldBack& held);
    // Where the video went, or "" when it stayed.
    std::string moveToUsedFolder(const std::string& videoPath, const std::string& cover);
    // Flushes the folder the video left and the one it went to, when it went to one.
    void makeDurable(const std::filesystem::path& source, const std::filesystem::path& destination = {}) const;

    WindowState& window_;
    AccountTable& accounts_;
    RunSettings settings_;
    std::filesystem::path programDirectory_;
    Draw draw_;
    LocalNow localNow_;
    SyncFolder syncFolder_;
};

}  // namespace clipmill
