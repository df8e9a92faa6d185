// Times selectVideo over a tree of 100,000 files against `find DIR -iname '*.mp4'` in the same
// run, and prints the figures and their ratio; the goal is to be no slower than find.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "accounts/account_table.h"
#include "engine/video_material.h"
#include "settings/control_table.h"
#include "settings/window_state.h"

namespace fs = std::filesystem;
using namespace clipmill;

namespace {

constexpr int kTopFolders = 10;
constexpr int kSubfolders = 10;
constexpr int kFilesPerFolder = 1000;  // 10 x 10 x 1000 = 100,000 files
constexpr int kRounds = 5;

void touch(const fs::path& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) close(fd);
}

// Nine files in ten are videos (some with an upper-case extension), the rest covers.
void buildTree(const fs::path& root) {
    for (int top = 0; top < kTopFolders; ++top) {
        for (int sub = 0; sub < kSubfolders; ++sub) {
            const fs::path folder = root / ("top" + std::to_string(top)) / ("sub" + std::to_string(sub));
            fs::create_directories(folder);
            for (int n = 0; n < kFilesPerFolder; ++n) {
                const char* extension = n % 10 == 9 ? ".jpg" : (n % 10 == 5 ? ".MP4" : ".mp4");
                touch(folder / ("clip " + std::to_string(n) + extension));
            }
        }
    }
}

double millisecondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double medianOf(const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < kRounds; ++i) times.push_back(millisecondsOf(work));
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void runFind(const fs::path& root) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::string program = "find", folder = root.string(), option = "-iname", pattern = "*.mp4";
    char* argv[] = {program.data(), folder.data(), option.data(), pattern.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawnp(&pid, "find", &actions, nullptr, argv, environ) == 0) waitpid(pid, nullptr, 0);
    posix_spawn_file_actions_destroy(&actions);
}

}  // namespace

int main() {
    const fs::path root = fs::temp_directory_path() / ("clipmill-bench-" + std::to_string(getpid()));
    std::printf("building %d files under %s\n", kTopFolders * kSubfolders * kFilesPerFolder, root.c_str());
    buildTree(root);

    WindowState window(controlTable());
    AccountTable accounts;
    accounts.appendRow();
    VideoMaterialImpl material(window, accounts, root);
    window.setChecked("选择框_读取子文件夹", true);
    std::string picked;
    const auto select = [&] { picked = material.selectVideo(root.string(), 0); };

    runFind(root);  // both sides read a warm cache
    const double find = medianOf([&] { runFind(root); });
    window.setChecked("单选框_选择视频_随机", true);
    const double random = medianOf(select);
    const bool randomFound = !picked.empty();
    window.setChecked("单选框_选择视频_顺序", true);
    const double ordered = medianOf(select);
    const bool orderedFound = !picked.empty();

    std::printf("median of %d rounds, subfolders included\n", kRounds);
    std::printf("find -iname '*.mp4'        %9.2f ms\n", find);
    std::printf("selectVideo random         %9.2f ms  ratio %.2f  (%s)\n", random, random / find,
                randomFound ? "found a video" : "NO VIDEO");
    std::printf("selectVideo ordered        %9.2f ms  ratio %.2f  (%s)\n", ordered, ordered / find,
                orderedFound ? "found a video" : "NO VIDEO");

    std::error_code error;
    fs::remove_all(root, error);
    // The goal: picking a video is never slower than merely listing the tree with find.
    const bool met = randomFound && orderedFound && random <= find && ordered <= find;
    std::printf("summary: random_vs_find=%.2f goal<=1.00 ordered_vs_find=%.2f goal<=1.00 %s\n", random / find,
                ordered / find, met ? "met" : "not met");
    return randomFound && orderedFound ? 0 : 1;
}
