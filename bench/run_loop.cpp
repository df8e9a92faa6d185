// Attempts per second of the run loop with a publication journal of 100,000 lines of closed
// publications, against the same loop with an empty journal, measured in the same run.
// Every pause of the run is instant (simulated time); each attempt picks a real video file
// from a temporary folder and the publisher fails at once, so what is measured is the
// loop's own work per attempt, the journal's part in it included. Each journal gets the same
// budget: a fixed number of attempts, or fewer when the seconds run out first.
//
// bench_run_loop [SECONDS]   (default 10 per journal)
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "accounts/account_table.h"
#include "engine/publication_journal.h"
#include "engine/run_controller.h"
#include "settings/control_table.h"
#include "settings/window_state.h"
#include "support/clock.h"

namespace fs = std::filesystem;
using namespace clipmill;
using Seconds = std::chrono::duration<double>;

namespace {

constexpr int kJournalLines = 100000;
// Enough attempts that the one read of the journal at the first attempt weighs as little as
// it does over a day of runs; a loop that reads the journal at every attempt spends its
// seconds long before it gets there.
constexpr int kMaxAttempts = 20000;
constexpr double kGoalRatio = 0.50;

struct Budget {
    int attempts = kMaxAttempts;
    Seconds time{10.0};
};

struct Measured {
    int attempts = 0;
    double seconds = 0;
    double perSecond() const { return seconds > 0 ? attempts / seconds : 0; }
};

// The run controller over one account whose material folder holds `video`, until the budget
// is spent. Everything that knows the controller's API is in this one function.
Measured runAttempts(const fs::path& video, PublicationJournal& journal, const Budget& budget) {
    struct Material : VideoMaterial {
        std::string video;
        std::string selectVideo(const std::string&, int, const HeldBack& held) override {
            return held.holds && held.holds(video) ? std::string() : video;
        }
        bool disposeVideo(const std::string&) override { return false; }
    };
    struct Composer : JobComposer {
        UploadJob composeJob(const JobAccount& account, const std::string& video) override {
            UploadJob job;
            job.accountId = account.id;
            job.video = video;
            return job;
        }
        void giveBack(const UploadJob&) override {}
        void copyRandomCover(const std::string&) override {}
    };
    // Fails every video at once; ends the run once the budget is spent.
    struct FailingPublisher : Publisher {
        Budget budget;
        std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
        std::atomic<int> attempts{0};
        PublishOutcome publish(const UploadJob&, PublishContext& context) override {
            const int done = ++attempts;
            if (done >= budget.attempts || std::chrono::steady_clock::now() - started >= budget.time)
                context.waiter.stopSignal().request();
            return outcomeOf(Verdict::NotPublished, uploadStalledFailure(""));
        }
    };
    struct NoRedial : Redialer {
        void redial(Waiter&) override {}
    };
    struct NoBrowser : BrowserControl {
        void closeBrowser() override {}
        void setBrowserTitle(const std::string&) override {}
    };

    Material material;
    material.video = video.string();
    Composer composer;
    FailingPublisher publisher;
    publisher.budget = budget;
    NoRedial redialer;
    NoBrowser browser;
    FakeClock clock;
    WindowState window(controlTable());
    window.setChecked("选择框_切换账号", true);
    window.setText("编辑框_单账号上传", "1000000");  // one turn holds every attempt
    window.setChecked("选择框_自动放弃", false);
    window.setChecked("选择框_禁止指定时间", false);
    window.setChecked("选择框_换ip", false);
    AccountTable accounts;
    const int row = accounts.appendRow();
    accounts.setCell(row, kColumnIndex, "1");
    accounts.setCell(row, kColumnFolder, video.parent_path().string());
    accounts.setCell(row, kColumnId, "100");
    accounts.setCurrentRow(row);

    RunController controller(RunEnvironment{clock, window, accounts,
                                            RunServices{material, composer, publisher, redialer, browser},
                                            video.parent_path() / "list", nullptr, nullptr, &journal});
    publisher.started = std::chrono::steady_clock::now();
    controller.toggleRun();
    controller.joinWorker();
    return {publisher.attempts.load(), Seconds(std::chrono::steady_clock::now() - publisher.started).count()};
}

// 33,333 publications of distinct videos, each submitting, submitted and disposed, and one
// attempt that failed: 100,000 lines, none of them an open publication.
void fillJournal(const fs::path& file) {
    std::ofstream out(file, std::ios::binary);
    const char* const events[] = {kEventSubmitting, kEventSubmitted, kEventDisposed};
    for (int line = 0; line + 1 < kJournalLines; ++line) {
        JournalEntry entry;
        entry.event = events[line % 3];
        entry.time = "2024-05-01 13:04:05";
        entry.accountId = std::to_string(100 + line % 12);
        entry.nickname = "账号" + entry.accountId;
        entry.video = {"/home/user/视频/素材/第" + std::to_string(line / 3) + "集.mp4", 123456789, 1700000000000000000};
        if (entry.event == kEventSubmitted) entry.title = "第" + std::to_string(line / 3) + "集";
        out << journalLine(entry) << '\n';
    }
    JournalEntry failed;
    failed.event = kEventFailed;
    failed.time = "2024-05-01 13:04:05";
    failed.accountId = "100";
    failed.video = {"/home/user/视频/素材/坏.mp4", 1, 1};
    failed.reason = kFailUploadStalled;
    out << journalLine(failed) << '\n';
}

void print(const char* name, const Measured& m) {
    std::printf("%-22s %6d attempts in %6.2f s  %9.1f attempts/s\n", name, m.attempts, m.seconds, m.perSecond());
}

}  // namespace

int main(int argc, char** argv) {
    Budget budget;
    if (argc > 1) budget.time = Seconds(std::atof(argv[1]));
    const fs::path work = fs::temp_directory_path() / ("clipmill-bench-run-loop-" + std::to_string(getpid()));
    fs::create_directories(work / "material");
    const fs::path video = work / "material" / "视频.mp4";
    std::ofstream(video, std::ios::binary) << std::string(100000, 'v');

    PublicationJournal empty(work / "empty.jsonl");
    const Measured emptyRun = runAttempts(video, empty, budget);
    fillJournal(work / "full.jsonl");
    PublicationJournal full(work / "full.jsonl");
    const Measured fullRun = runAttempts(video, full, budget);
    std::error_code ec;
    fs::remove_all(work, ec);

    std::printf("run loop, every pause instant, each attempt a real video and a publisher that fails at once\n");
    std::printf("budget per journal: %d attempts or %.0f s\n", budget.attempts, budget.time.count());
    print("empty journal", emptyRun);
    print("100,000-line journal", fullRun);
    const double ratio = emptyRun.perSecond() > 0 ? fullRun.perSecond() / emptyRun.perSecond() : 0;
    std::printf("ratio, 100,000 lines vs empty: %.3f\n", ratio);
    const bool met = ratio >= kGoalRatio;
    std::printf("summary: ratio_100k_vs_empty=%.2f goal>=%.2f %s\n", ratio, kGoalRatio, met ? "met" : "not met");
    return met ? 0 : 1;
}
