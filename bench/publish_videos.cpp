// Publishes twenty videos on the practice site through the upload page steps in headless
// Chromium, and prints the time each video takes beyond the waits the steps prescribe, the
// time from the site's answer to the submit to the verdict on it (the site notes when it
// answered, on this machine's clock), and this program's own memory (the browser's is not
// counted).
//
// bench_publish_videos PRACTICE_SITE_PROGRAM   (default: tests/practice_site/practice_site
// next to this program)
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../tests/fixtures/chromium_clipboard.h"
#include "../tests/fixtures/scaled_clock.h"
#include "browser/browser_session.h"
#include "browser/cdp/cdp_automation.h"
#include "browser/classic_layout.h"
#include "browser/upload_page.h"
#include "catalogue/category_lists.h"
#include "settings/control_table.h"
#include "engine/job_composer.h"

namespace fs = std::filesystem;
using namespace clipmill;

extern char** environ;

namespace {

constexpr int kVideos = 20;

struct Child {
    pid_t pid = 0;
    int out = -1;
};

Child spawn(const std::vector<std::string>& argv, bool readOutput) {
    int pipeFds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (readOutput && pipe(pipeFds) == 0) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    }
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (auto& arg : args) argp.push_back(arg.data());
    argp.push_back(nullptr);
    Child child;
    if (posix_spawnp(&child.pid, argp[0], &actions, nullptr, argp.data(), environ) != 0) child.pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    if (pipeFds[1] >= 0) close(pipeFds[1]);
    child.out = pipeFds[0];
    return child;
}

bool runQuietly(const std::vector<std::string>& argv) {
    Child child = spawn(argv, false);
    int status = 0;
    return child.pid > 0 && waitpid(child.pid, &status, 0) == child.pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Starts the practice site on a free port; its port, or 0.
int startSite(const std::string& program, const fs::path& record, Child& site) {
    site = spawn({program, "--port", "0", "--record", record.string(), "--upload-ms", "500"}, true);
    if (site.pid <= 0) return 0;
    std::string line;
    char c = 0;
    while (read(site.out, &c, 1) == 1 && c != '\n') line += c;
    const auto space = line.rfind(' ');
    return space == std::string::npos ? 0 : std::atoi(line.c_str() + space + 1);
}

long long wallMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// When the site last answered a submit, as it noted in its record; 0 when it never did.
long long lastAnswerMs(const fs::path& record) {
    std::ifstream in(record);
    long long last = 0;
    for (std::string line; std::getline(in, line);) {
        const auto at = line.find("\"at_ms\":");
        if (line.find("\"event\":\"answered\"") != std::string::npos && at != std::string::npos)
            last = std::atoll(line.c_str() + at + 8);
    }
    return last;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long long statusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0) return std::atoll(line.c_str() + std::char_traits<char>::length(field) + 1);
    return -1;
}

void configure(WindowState& window) {
    fillCategoryLists(window, CategorySelection{1, 2});
    window.setChecked("单选框_自制", true);
    window.setChecked("单选框标签固定", true);
    window.setText("编辑框_固定标签", "日常+vlog");
    window.setChecked("单选框_本地封面", true);
    window.setChecked("选择框_填写简介", true);
}

class NoDialogs final : public Dialogs {
public:
    void information(const std::string&, const std::string&) override {}
    bool confirm(const std::string&, const std::string&) override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
    const fs::path self = fs::read_symlink("/proc/self/exe").parent_path();
    const std::string siteProgram = argc > 1 ? argv[1] : (self / "tests/practice_site/practice_site").string();
    const fs::path work = fs::temp_directory_path() / ("clipmill-bench-publish-" + std::to_string(getpid()));
    fs::create_directories(work / "videos");

    const fs::path sample = work / "sample.mp4";
    const fs::path cover = work / "sample.jpg";
    if (!runQuietly({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=s=320x240:d=2", "-pix_fmt", "yuv420p",
                     sample.string()}) ||
        !runQuietly({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "color=c=red:s=64x36", "-frames:v", "1",
                     cover.string()})) {
        std::fprintf(stderr, "ffmpeg could not make the sample video\n");
        return 1;
    }
    Child site;
    const int port = startSite(siteProgram, work / "record.jsonl", site);
    if (port <= 0) {
        std::fprintf(stderr, "cannot start %s\n", siteProgram.c_str());
        return 1;
    }
    const std::string base = "http://127.0.0.1:" + std::to_string(port);

    testing::ScaledClock clock(1);  // real time; it sums the waits asked of it
    WindowState window(controlTable());
    configure(window);
    NoDialogs dialogs;
    cdp::CdpAutomation automation({(work / "huancun").string(), cdp::BrowserMode::Headless});
    BrowserSession session({automation, window, dialogs, clock, work.string(),
                            {base + "/video/upload.html", base + "/login"}, [] { return ScreenSize{1366, 768}; }});
    session.initBrowserEnvironment(InitOrder::StartUp);
    testing::ChromiumClipboard clipboard(automation, [&] { return session.handle(); });
    TitlePool titles;
    JobComposerImpl composer(window, titles, [](int low, int) { return low; });
    UploadPage page(PageTools{automation, session, clipboard, [](int low, int) { return low; }}, classicLayout());

    StopSignal stop;
    Waiter waiter(clock, stop);
    PublishContext context{waiter, [] { return false; }};
    std::vector<double> beyond;
    std::vector<double> answerToVerdict;
    int published = 0;
    for (int number = 1; number <= kVideos; ++number) {
        const fs::path video = work / "videos" / ("视频" + std::to_string(number) + ".mp4");
        fs::copy_file(sample, video, fs::copy_options::overwrite_existing);
        UploadJob job = composer.composeJob({"bench", "基准"}, video.string());
        job.title = "基准视频" + std::to_string(number);
        job.titleSource = TitleSource::FileName;
        job.typedTags = {"日常", "vlog"};
        job.cover = {CoverChoice::Kind::File, cover.string()};
        job.description = "第" + std::to_string(number) + "个视频的简介";
        const long long waitsBefore = clock.requestedMs();
        const auto started = std::chrono::steady_clock::now();
        const bool done = page.publish(job, context).published();
        const long long verdictMs = wallMs();
        const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        published += done ? 1 : 0;
        if (const long long answered = lastAnswerMs(work / "record.jsonl"); done && answered > 0)
            answerToVerdict.push_back(static_cast<double>(verdictMs - answered));
        beyond.push_back(wall - static_cast<double>(clock.requestedMs() - waitsBefore));
    }
    automation.form_close_browsers();
    kill(site.pid, SIGTERM);
    waitpid(site.pid, nullptr, 0);
    fs::remove_all(work);

    double total = 0;
    for (double ms : beyond) total += ms;
    double later = total - beyond.front();
    std::printf("published: %d of %d\n", published, kVideos);
    std::printf("time beyond the prescribed waits, per video: %.0f ms (first video, with the browser start: %.0f ms;"
                " the other %d: %.0f ms each)\n",
                total / kVideos, beyond.front(), kVideos - 1, later / (kVideos - 1));
    std::printf("goal: under 1000 ms per video\n");
    const double answerMedian = median(answerToVerdict);
    std::printf("from the site's answer to the verdict, median over %zu publications: %.0f ms\n", answerToVerdict.size(),
                answerMedian);
    std::printf("own memory: VmHWM %lld kB, VmRSS %lld kB (browser processes not counted)\n", statusKb("VmHWM"),
                statusKb("VmRSS"));
    const double perVideo = total / kVideos;
    const bool met = perVideo < 1000 && published == kVideos && answerMedian < 1000;
    std::printf("summary: beyond_waits_ms_per_video=%.0f goal<1000 published=%d goal==%d answer_to_verdict_ms=%.0f goal<1000 %s\n",
                perVideo, published, kVideos, answerMedian, met ? "met" : "not met");
    return published == kVideos ? 0 : 1;
}
