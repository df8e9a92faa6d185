#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "support/clock.h"

namespace clipmill {

class Dialogs;
class StartupView;
class WindowState;

namespace net {
class SegmentedDownloader;
}

// The maker's update servers: base URLs A, B, C (each ending in "/") and the product's folder.
// No servers: the update check is off.
struct UpdateServers {
    std::vector<std::string> bases;
    std::string productFolder;
    bool configured() const { return !bases.empty(); }
    std::string indexUrl(const std::string& base) const { return base + productFolder + "/index.json"; }
};

// The "版本" of server A's index; "" when it cannot be read.
std::string latestVersion(const UpdateServers& servers);
// "1" when `latest` is exactly the program's version, else "0".
std::string checkVersion(const std::string& latest);
// The download progress as 透明标签_更新 shows it.
std::string progressText(std::int64_t done, std::int64_t total);

// Body of the version-display thread: every minute, the current and newest version in part 3
// of the main window's status bar. Returns when the waiter is stopped.
void showVersionLoop(const UpdateServers& servers, WindowState& window, Waiter& waiter);

// Where the update notes its milestones, one line each: the program's run log.
using MilestoneLog = std::function<void(const std::string& line)>;

// The update check at start-up and the self-update it may lead to.
class SelfUpdate {
public:
    struct Services {
        UpdateServers servers;
        std::filesystem::path programDir;
        MilestoneLog log;
        StartupView& view;
        Dialogs& dialogs;  // boxes owned by the start-up window
        net::SegmentedDownloader& downloader;
        Waiter& waiter;
    };
    static constexpr const char* kFailedText =
        "抱歉，自动更新失败，请到官网下载，下载后，把文件复制到当前目录";

    explicit SelfUpdate(Services services) : s_(std::move(services)) {}

    // On the start-up thread: version in the log and the status bar, then the update when the
    // index names another version.
    void startupUpdateStep();
    void runUpdate();
    void onUpdateProgress(int taskIndex, int status, std::int64_t total, std::int64_t done);
    // Starts the downloaded release in a session of its own, as a handover (this program ends
    // soon after); false when there is none.
    bool openLatest();

    std::filesystem::path updateFilePath() const;

private:
    std::string probeServers();
    void startDownload(const std::string& url, const std::string& fileName, const std::string& sha256);
    void finishDownload();
    bool releaseIsSound() const;

    Services s_;
    mutable std::mutex mutex_;
    std::filesystem::path updateFilePath_;
    std::string expectedSha256_;
    bool ready_ = false;  // the release arrived whole and checked
};

}  // namespace clipmill
