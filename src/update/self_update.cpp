#include "update/self_update.h"

#include <cmath>
#include <cstdio>

#include "net/digest.h"
#include "net/http_client.h"
#include "net/segmented_downloader.h"
#include "platform/child_process.h"
#include "platform/desktop_shortcut.h"
#include "platform/relaunch.h"
#include "platform/user_folders.h"
#include "settings/window_state.h"
#include "support/dialogs.h"
#include "support/version.h"
#include "update/startup_view.h"

namespace clipmill {

namespace fs = std::filesystem;

namespace {

constexpr std::chrono::seconds kIndexLimit{15};
constexpr const char* kMainStatusBar = "状态条1";
constexpr std::int64_t kSmallestRelease = 20;

std::string shortest(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.13g", value);
    return text;
}

// A plain file name: the index must not steer the download out of the program folder.
bool isPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos && name.find('\0') == std::string::npos;
}

}  // namespace

std::string latestVersion(const UpdateServers& servers) {
    if (!servers.configured()) return {};
    return net::fetchJsonDocument(servers.indexUrl(servers.bases.front()), kIndexLimit).value("版本");
}

std::string checkVersion(const std::string& latest) { return latest == kProgramVersion ? "1" : "0"; }

std::string progressText(std::int64_t done, std::int64_t total) {
    const double percent = static_cast<double>(done) / static_cast<double>(total) * 100.0;
    return "已下载：" + shortest(static_cast<double>(done) / 1024.0) + "kb/" +
           shortest(static_cast<double>(total) / 1024.0) + "kb\r\n进度：" + shortest(percent) + "%";
}

void showVersionLoop(const UpdateServers& servers, WindowState& window, Waiter& waiter) {
    if (!servers.configured()) return;
    while (waiter.waitSeconds(6)) {
        const std::string latest = latestVersion(servers);
        window.setStatusPart(kMainStatusBar, 3, std::string("当前：") + kProgramVersion + "   最新版：" + latest);
        if (!waiter.waitSeconds(60)) return;
    }
}

void SelfUpdate::startupUpdateStep() {
    s_.log(std::string("显示版本号") + kProgramVersion);
    s_.view.setStatusPart(0, std::string("版本v") + kProgramVersion);
    if (s_.servers.configured()) {
        const std::string upToDate = checkVersion(latestVersion(s_.servers));
        s_.log("版本检查结果1是最新版：" + upToDate);
        if (upToDate == "0") runUpdate();
    }
    if (s_.programDir.string().starts_with("C"))
        s_.view.setUpdateText("建议不要把软件放在C盘或者桌面，可以避免80%的软件异常");
}

// The first server whose probe file says "ok"; server A when none does.
std::string SelfUpdate::probeServers() {
    static constexpr const char* kLines[] = {"华北多线服务器正常", "广州服务器正常", "上海服务器正常"};
    for (std::size_t i = 0; i < s_.servers.bases.size() && i < 3; ++i) {
        if (net::fetchBytes(s_.servers.bases[i] + "test.txt", kIndexLimit) == "ok") {
            s_.view.setStatusPart(1, kLines[i]);
            return s_.servers.bases[i];
        }
    }
    s_.view.setStatusPart(1, "服务器异常，尝试使用多线服务器连接");
    return s_.servers.bases.front();
}

void SelfUpdate::runUpdate() {
    if (!s_.servers.configured()) return;
    const std::string base = probeServers();
    s_.log("启动升级程序检查");
    const net::JsonDocument index = net::fetchJsonDocument(s_.servers.indexUrl(base), kIndexLimit);
    s_.log("升级文件获取到数据");
    const std::string version = index.value("版本");
    // An index that could not be read names no new version: nothing to offer.
    if (version.empty()) return;
    const std::string prompt = "发现新版本：v" + version + "，更新内容：\r\n" + index.value("更新说明");
    s_.log("提醒用户升级");
    if (!s_.dialogs.confirmOkCancel(prompt, "发现新版本，是否更新")) return;
    startDownload(index.value("下载地址"), index.value("文件名"), index.value("sha256"));
}

void SelfUpdate::startDownload(const std::string& url, const std::string& fileName, const std::string& sha256) {
    s_.view.bringBack();
    s_.view.setUpdateText("开始更新");
    if (!isPlainFileName(fileName)) {
        s_.view.setUpdateText(kFailedText);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        updateFilePath_ = s_.programDir / fileName;
        expectedSha256_ = sha256;
        ready_ = false;
    }
    s_.downloader.start(url, updateFilePath().string(), 2,
                        [this](int task, int status, std::int64_t total, std::int64_t done) {
                            onUpdateProgress(task, status, total, done);
                        });
    s_.view.setOpenCaption("打开：" + fileName);
}

fs::path SelfUpdate::updateFilePath() const {
    std::lock_guard lock(mutex_);
    return updateFilePath_;
}

void SelfUpdate::onUpdateProgress(int, int status, std::int64_t total, std::int64_t done) {
    if (status == -1 || total <= 0) {
        s_.view.setUpdateText(kFailedText);
        return;
    }
    s_.view.setUpdateText(progressText(done, total));
    // The file carries the release's name only once the downloader's final report says so.
    if (status == 0 && std::fabs(static_cast<double>(done) / static_cast<double>(total) * 100.0 - 100.0) < 1e-7)
        finishDownload();
}

bool SelfUpdate::releaseIsSound() const {
    const fs::path file = updateFilePath();
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    if (ec || size < static_cast<std::uintmax_t>(kSmallestRelease)) return false;
    std::lock_guard lock(mutex_);
    return expectedSha256_.empty() || net::sha256FileHex(file.string()) == expectedSha256_;
}

void SelfUpdate::finishDownload() {
    s_.view.setUpdateText("更新结束");
    if (!s_.waiter.waitSeconds(2)) return;
    const fs::path file = updateFilePath();
    std::error_code ec;
    // A release that is too small or not the one the index names is never offered to start.
    if (!releaseIsSound()) {
        fs::remove(file, ec);
        s_.view.setUpdateText(kFailedText);
        return;
    }
    fs::permissions(file, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, ec);
    createDesktopShortcut("Clipmill", file, desktopFolder());
    {
        std::lock_guard lock(mutex_);
        ready_ = true;
    }
    s_.view.showOpenButton();
}

bool SelfUpdate::openLatest() {
    const fs::path file = updateFilePath();
    {
        std::lock_guard lock(mutex_);
        if (!ready_) return false;
    }
    return startDetached({file.string(), kHandoverArgument});
}

}  // namespace clipmill
