#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "accounts/account_table.h"
#include "engine/run_controller.h"
#include "fixtures/temp_dir.h"
#include "settings/window_state.h"
#include "support/clock.h"

namespace clipmill::testing {

// Hands out the videos queued for each folder, and records disposals.
class ScriptedMaterial : public VideoMaterial {
public:
    std::atomic<bool> disposalsFail{false};
    std::string selectVideo(const std::string& folder, int row, const HeldBack& held) override;
    bool disposeVideo(const std::string& videoPath) override;
    void queue(const std::string& folder, const std::string& video);

    std::vector<std::pair<std::string, int>> selections() const;
    std::vector<std::string> disposed() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::deque<std::string>> videos_;
    std::vector<std::pair<std::string, int>> selections_;
    std::vector<std::string> disposed_;
};

// Publishes after a while, asking whether to give up once a second as the page steps do.
class ScriptedPublisher : public Publisher {
public:
    PublishOutcome publish(const UploadJob& job, PublishContext& context) override;

    // 1 published, 0 not published, kUnknownResult a submit whose answer was not seen,
    // kRefusedResult the site's refusal for posting too often; default: every video is published.
    static constexpr int kUnknownResult = 2;
    static constexpr int kRefusedResult = 3;
    void setResults(std::deque<int> results);
    void setDurationSeconds(int seconds);
    // Seconds the page takes after the site has the video (the fresh form for the next
    // one), asking whether to give up once a second.
    void setTailSeconds(int seconds);
    // The failure word the page reports with a failed result ("" : none).
    void setFailure(std::string reason);
    std::vector<UploadJob> jobs() const;
    std::vector<long long> startTimes() const;  // simulated ms at each call

    Clock* clock = nullptr;
    std::string siteId;  // the site's id of the logged-in account the page reports
    std::function<void(int call)> onStart;  // runs on the worker as each publication begins
    std::function<void(int call)> afterSubmit;  // runs the moment the site has the video

private:
    mutable std::mutex mutex_;
    std::deque<int> results_;
    int duration_ = 0;
    int tail_ = 0;
    std::string failure_;
    std::vector<UploadJob> jobs_;
    std::vector<long long> startTimes_;
};

class RecordingBrowser : public BrowserControl {
public:
    void closeBrowser() override;
    void setBrowserTitle(const std::string& title) override;
    int closes() const;
    std::vector<std::string> titles() const;

private:
    mutable std::mutex mutex_;
    int closes_ = 0;
    std::vector<std::string> titles_;
};

class CountingRedialer : public Redialer {
public:
    void redial(Waiter&) override { ++count; }
    std::atomic<int> count{0};
};

// Composes a job that names the account and the video, and records what is given back.
class RecordingComposer : public JobComposer {
public:
    UploadJob composeJob(const JobAccount& account, const std::string& videoPath) override {
        UploadJob job;
        job.accountId = account.id;
        job.nickname = account.nickname;
        job.siteId = account.siteId;
        job.video = videoPath;
        job.title = "标题";
        job.zone = "动画";
        job.subZone = "日常";
        job.typedTags = {"composed"};
        return job;
    }
    void giveBack(const UploadJob& job) override { ++givenBack; }
    void copyRandomCover(const std::string&) override {}
    std::atomic<int> givenBack{0};
};

// One control's value for a test: "[x]" / "[ ]" set a check box, anything else is text.
struct Setting {
    std::string control;
    std::string text;
};

void apply(WindowState& window, const std::vector<Setting>& settings);

// Settings every pass test starts from: one pass, no pauses worth waiting for.
inline const std::vector<Setting> kOnePass = {
    {"选择框_自动循环", "[ ]"}, {"编辑框_视频间隔", "0"}, {"编辑框_视频间隔1", "0"}};

// A run controller over the real window state and account table, with simulated time,
// account files in a temporary folder and scripted operations around the loop.
class RunHarness {
public:
    // With realTime the run waits on the system clock instead of simulated time.
    explicit RunHarness(bool realTime = false);
    ~RunHarness();

    // Adds an account row whose folder is a real subfolder holding `videos` sample files.
    int addAccount(const std::string& id, int videos, const std::string& folderCell = "");
    std::string folderOf(const std::string& id) const;

    // Presses Start and waits until the worker ends by itself.
    void runToEnd();
    // Presses Start, lets `ms` milliseconds pass, presses Stop and waits for the worker.
    void runFor(long long ms);

    std::vector<std::string> captionsOf(const std::string& control) const;
    std::vector<std::string> cellHistory(int row, int column) const;

    TempDir dir;
    FakeClock clock;
    SystemClock realClock;
    bool realTime;
    WindowState window;
    AccountTable table;
    ScriptedMaterial material;
    RecordingComposer composer;
    ScriptedPublisher publisher;
    CountingRedialer redialer;
    RecordingBrowser browser;
    std::function<int(int, int)> draw;  // the pause drawn; defaults to the lower bound
    std::vector<std::pair<int, int>> draws;
    PublicationJournal journal;
    // The site's submissions list every account's browser reads; nothing: it cannot be read.
    std::optional<std::vector<SiteSubmission>> siteList;
    long long epochStart = 1765400000;  // seconds since 1970 when simulated time is 0
    // What the run wrote into the account files ("站点id" by file stem), and the boxes it showed.
    std::map<std::string, std::string> siteIds;
    std::vector<std::string> told;
    RunController controller;

    // "event reason" of each journal entry, in order.
    std::vector<std::string> journalEvents() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::vector<std::string>> captions_;
    std::map<std::pair<int, int>, std::vector<std::string>> cells_;
};

}  // namespace clipmill::testing
