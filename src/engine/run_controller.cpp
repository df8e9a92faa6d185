#include "engine/run_controller.h"

#include <algorithm>
#include <ctime>
#include <optional>

#include "engine/elapsed_ticker.h"
#include "engine/forbidden_hours.h"
#include "support/random.h"
#include "support/thread_guard.h"

namespace clipmill {

namespace {

const char* const kStartButton = "开始";
const char* const kCaptionStart = "开始";
const char* const kCaptionStop = "停止";
const char* const kBannedMark = "封禁或异常";
const char* const kSiteIdKey = "站点id";

std::string countdownText(int seconds) { return "延时" + std::to_string(seconds) + "秒后继续"; }

// A material folder is used as given: a path ending in a separator counts as missing.
bool folderExists(const std::string& folder) {
    if (folder.empty() || folder.back() == '/' || folder.back() == '\\') return false;
    std::error_code ec;
    return std::filesystem::is_directory(std::filesystem::u8path(folder), ec);
}

}  // namespace

// One press of Start: the worker thread and what it owns for the turn in progress.
class RunController::Run {
public:
    Run(RunController& owner, std::shared_ptr<Run> previous)
        : owner_(owner),
          env_(owner.env_),
          settings_(owner.settings_),
          waiter_(env_.clock, stop_),
          previous_(std::move(previous)) {}

    ~Run() { join(); }

    void start() {
        env_.clock.enterThread();
        thread_ = std::thread([this] { body(); });
    }

    void requestStop() { stop_.request(); }
    bool alive() const { return alive_.load(); }
    // Alive and not asked to stop: Start/Stop means Stop now.
    bool running() const { return alive_.load() && !stop_.requested(); }

    void join() {
        std::lock_guard lock(joinMutex_);
        if (thread_.joinable()) thread_.join();
    }

private:
    void body() {
        runGuarded("run", [this] {
            if (previous_) {
                previous_->requestStop();
                previous_->join();
                previous_.reset();
            }
            if (!env_.awaitStartupCheck || env_.awaitStartupCheck(waiter_)) runPasses();
        });
        ticker_.reset();
        alive_ = false;
        owner_.runEnded(this);
        env_.clock.leaveThread();
    }

    WindowState& window() { return env_.window; }
    AccountTable& table() { return env_.accounts; }
    RunServices& services() { return env_.services; }

    void runPasses() {
        while (runOnePass()) {
        }
    }

    // One pass over the list; true when another pass is to follow.
    bool runOnePass() {
        const int rows = table().rowCount();
        window().setCaption("分组框6", "账号列表（右键点击操作）当前有账号：" + std::to_string(rows) + "个");
        const int perAccount = settings_.选择框_切换账号.checked() ? settings_.编辑框_单账号上传.number() : 1;
        window().setCaption("分组框_控制", "当前设置，每个账号发布" + std::to_string(perAccount) + "个视频后切换");
        if (settings_.编辑框_账号序列.number() > rows) settings_.编辑框_账号序列.set("1");

        for (int i = 1; i <= rows; ++i) {
            if (waiter_.stopped()) return false;
            if (settings_.编辑框_账号序列.number() > i) continue;
            if (i > table().rowCount()) break;  // rows deleted during the pass
            const int next = runAccountTurn(i, perAccount);
            if (next == 0) return false;
            i = next - 1;
        }
        if (waiter_.stopped() || !settings_.选择框_自动循环.checked()) return false;
        return pauseBetweenPasses(rows);
    }

    bool pauseBetweenPasses(int rows) {
        const int pause = settings_.编辑框_循环间隔.number();
        for (int k = 1; k <= pause; ++k) {
            window().setCaption("分组框6", "本轮结束，等待" + std::to_string(pause - k) + "秒继续下一轮");
            if (!waiter_.waitSeconds(1)) return false;
        }
        // An empty list with no pause would spin: give the next pass a second.
        if (pause <= 0 && rows == 0) return waiter_.waitSeconds(1);
        return !waiter_.stopped();
    }

    // The row of the turn's account now, found by its id (the user may move, delete or
    // reload rows meanwhile); -1 once the account is gone from the list.
    int accountRow() {
        const int last = turnRow_.load();
        if (last >= 0 && table().cell(last, kColumnId) == turnId_) return last;
        const int rows = table().rowCount();
        int found = -1;
        for (int row = 0; row < rows && found < 0; ++row)
            if (table().cell(row, kColumnId) == turnId_) found = row;
        turnRow_ = found;
        return found;
    }

    // The account at `index` (1-based) takes its turn. The 1-based index of the account
    // that follows it, or 0 when stopped.
    int runAccountTurn(int index, int perAccount) {
        table().setCell(table().currentRow(), kColumnDoneToday, "");
        const int row = index - 1;
        table().setCurrentRow(row);
        turnId_ = table().cell(row, kColumnId);
        turnRow_ = row;
        settleAccountUndecided();
        int done = parseWholeNumber(table().cell(row, kColumnDoneToday));
        for (int attempt = 1; attempt <= perAccount; ++attempt) {
            if (perAccount - done <= 0) break;
            if (accountRow() < 0) break;  // deleted from the list: its turn ends
            if (!runAttempt(done)) return 0;
            if (turnOver_) break;
        }
        turnOver_ = false;
        return endAccountTurn(index);
    }

    // Publications of this account whose outcome was not seen are decided by the site's list
    // before the account publishes again.
    void settleAccountUndecided() {
        if (!env_.journal || !env_.submissionsOf || turnId_.empty()) return;
        settleUndecided(*env_.journal, services().material, env_.submissionsOf, turnId_, [this] { return epochNow(); });
    }

    long long epochNow() const {
        return env_.epochNow ? env_.epochNow() : static_cast<long long>(std::time(nullptr));
    }

    HeldBack heldBack() const {
        if (!env_.journal) return {};
        PublicationJournal* journal = env_.journal;
        return HeldBack{[journal](const std::string& path) { return journal->heldBack(path); },
                        journal->heldBackCount()};
    }

    int endAccountTurn(int index) {
        services().browser.closeBrowser();
        // The account after this one, wherever the list has moved it; the one that took
        // its place when it was deleted.
        const int row = accountRow();
        const int next = row >= 0 ? row + 2 : index;
        settings_.编辑框_账号序列.set(std::to_string(next));
        if (!waiter_.waitMs(900)) return 0;
        if (settings_.选择框_换ip.checked()) {
            services().redialer.redial(waiter_);
            if (waiter_.stopped()) return 0;
        }
        if (settings_.选择框_2账号间隔.checked() && !waiter_.waitSeconds(settings_.编辑框_账号间隔.number())) return 0;
        return next;
    }

    std::string materialFolder(int row) {
        const std::string own = table().cell(row, kColumnFolder);
        return folderExists(own) ? own : settings_.编辑框_视频素材目录.text();
    }

    // One attempt at publishing a video for the turn's account; false when stopped.
    bool runAttempt(int& done) {
        const int row = accountRow();
        const std::string video = services().material.selectVideo(materialFolder(row), row, heldBack());
        if (waiter_.stopped()) return false;
        if (video.empty()) return waiter_.waitMs(900) && waiter_.waitMs(900);
        const std::optional<VideoIdentity> identity = identifyVideo(video);
        if (!identity) {
            journal(kEventFailed, {video}, kFailNoVideo);
            return waiter_.waitMs(900) && waiter_.waitMs(900);
        }
        // A video the site already has is never offered again: its disposal is finished instead;
        // nor is one whose publication is not decided yet.
        if (finishEarlierPublication(*identity)) return waiter_.waitMs(900) && waiter_.waitMs(900);

        job_ = services().composer.composeJob(jobAccount(row), video);
        const PublishOutcome outcome = publishWithTicker(*identity);
        if (!outcome.published() && outcome.verdict != Verdict::Unknown) services().composer.giveBack(job_);
        if (outcome.gaveUp) services().browser.closeBrowser();
        if (outcome.accountUnusable) table().setCell(accountRow(), kColumnIndex, kBannedMark);
        recordOutcome(*identity, outcome);
        if (outcome.published()) keepSiteId(outcome.siteId);
        if (outcome.published()) return finishPublication(*identity, done) && waiter_.waitMs(900);
        if (waiter_.stopped()) return false;
        table().setCell(accountRow(), kColumnStatus, outcome.verdict == Verdict::Unknown ? "结果待核实" : "上传失败");
        table().setCellToolTip(accountRow(), kColumnStatus, failureShown(outcome).text);
        // The site refuses this account for now: its remaining attempts would only be refused too.
        turnOver_ = outcome.reason.word == kFailTooFrequent;
        return waiter_.waitMs(900);
    }

    // The one place a publication's outcome goes into the journal.
    void recordOutcome(const VideoIdentity& video, const PublishOutcome& outcome) {
        if (outcome.published()) {
            JournalEntry entry = jobEntry(kEventSubmitted, video);
            entry.evidence = outcome.evidence;
            entry.aid = outcome.answer.aid;
            entry.bvid = outcome.answer.bvid;
            entry.recordFolder = outcome.recordFolder;
            append(std::move(entry));
            return;
        }
        const bool unknown = outcome.verdict == Verdict::Unknown;
        const FailureReason reason = unknown && outcome.reason.word.empty() ? answerUnseenFailure() : failureShown(outcome);
        JournalEntry entry = unknown ? jobEntry(kEventUnknown, video) : entryFor(kEventFailed, video);
        entry.reason = reason.word;
        entry.reasonText = reason.text;
        entry.evidence = unknown ? outcome.evidence : std::string();
        entry.siteMessage = outcome.answer.read ? outcome.answer.message : std::string();
        entry.recordFolder = outcome.recordFolder;
        if (unknown) entry.submittingEpoch = submittingEpoch_;
        append(std::move(entry));
    }

    JournalEntry jobEntry(const char* event, const VideoIdentity& video) {
        JournalEntry entry = entryFor(event, video);
        entry.title = job_.title;
        entry.zone = job_.zone;
        entry.subZone = job_.subZone;
        return entry;
    }

    // The site's id of the account goes into its file after its first publication, so that a
    // browser logged in as another account is recognised from then on.
    void keepSiteId(const std::string& siteId) {
        if (siteId.empty() || !job_.siteId.empty() || !env_.readAccountFile || !env_.writeAccountFile) return;
        const std::filesystem::path file = env_.accountFolder / std::filesystem::u8path(turnId_ + ".json");
        AccountRecord record;
        if (!env_.readAccountFile(file, record) || !record.text(kSiteIdKey).empty()) return;
        record.setText(kSiteIdKey, siteId);
        env_.writeAccountFile(file, record);
    }

    // Stop pressed during the publication is why it ended, whatever the page last saw.
    FailureReason failureShown(const PublishOutcome& outcome) const {
        if (waiter_.stopped()) return stoppedFailure();
        if (!outcome.reason.word.empty()) return outcome.reason;
        return submitRefusedFailure();
    }

    PublishContext publishContext(const VideoIdentity& video) {
        auto submitting = [this, video](const SubmittingFacts& facts) {
            JournalEntry entry = jobEntry(kEventSubmitting, video);
            entry.landedAddress = facts.landedAddress;
            entry.tabId = facts.tabId;
            entry.epoch = epochNow();
            submittingEpoch_ = entry.epoch;
            if (append(std::move(entry))) return true;
            journalFailed();
            return false;
        };
        return PublishContext{waiter_, [this] { return giveUpDue(); }, owner_.giveUpSeconds_.load(), submitting};
    }

    JobAccount jobAccount(int row) {
        AccountRecord record;
        const std::string id = table().cell(row, kColumnId);
        if (env_.readAccountFile) env_.readAccountFile(env_.accountFolder / std::filesystem::u8path(id + ".json"), record);
        std::string nickname = record.text("昵称");
        if (nickname.empty()) nickname = table().cell(row, kColumnNick);
        return {id, nickname, record.text(kSiteIdKey)};
    }

    // True when the video is not to be published now: the site has it (its disposal is
    // finished instead), or whether it has it is not decided yet.
    bool finishEarlierPublication(const VideoIdentity& video) {
        if (!env_.journal) return false;
        const std::optional<JournalEntry> open = env_.journal->openPublicationOf(video);
        if (!open) return false;
        if (open->event == kEventSubmitted) disposeAndRecord(video);
        return true;
    }

    void disposeAndRecord(const VideoIdentity& video) {
        if (services().material.disposeVideo(video.path)) journal(kEventDisposed, video);
    }

    JournalEntry entryFor(const char* event, const VideoIdentity& video) {
        JournalEntry entry;
        entry.event = event;
        entry.accountId = turnId_;
        if (job_.accountId == turnId_) entry.nickname = job_.nickname;
        if (entry.nickname.empty()) entry.nickname = table().cell(accountRow(), kColumnNick);
        entry.video = video;
        return entry;
    }

    void journal(const char* event, const VideoIdentity& video, const char* reason = "") {
        JournalEntry entry = entryFor(event, video);
        entry.reason = reason;
        append(std::move(entry));
    }

    bool append(JournalEntry entry) {
        return !env_.journal || env_.journal->append(std::move(entry));
    }

    // Nothing is submitted that could not be written down first; the user hears of it once a run.
    void journalFailed() {
        if (toldJournalFailed_ || !env_.tellUser) return;
        toldJournalFailed_ = true;
        const std::string file = env_.journal ? env_.journal->file().string() : std::string();
        env_.tellUser("发布记录无法写入（" + file + "），视频未提交。请检查磁盘空间和文件权限。");
    }

    PublishOutcome publishWithTicker(const VideoIdentity& video) {
        startTicker();
        table().setCell(accountRow(), kColumnPublishing, video.path);
        services().composer.copyRandomCover(video.path);
        PublishOutcome outcome;
        if (waitForbiddenHours()) {
            PublishContext context = publishContext(video);
            outcome = services().publisher.publish(job_, context);
        } else {
            outcome.reason = stoppedFailure();
        }
        ticker_.reset();
        owner_.elapsedSeconds_ = 0;
        return outcome;
    }

    void startTicker() {
        owner_.elapsedSeconds_ = 0;
        const int limit = owner_.giveUpSeconds_.load();
        ticker_.reset();
        ticker_ = std::make_unique<ElapsedTicker>(env_.clock, stop_, owner_.elapsedSeconds_, [this, limit](int elapsed) {
            table().setCell(accountRow(), kColumnStatus, "耗时：" + std::to_string(elapsed) + "/" + std::to_string(limit));
        });
    }

    bool waitForbiddenHours() {
        while (settings_.选择框_禁止指定时间.checked() &&
               isForbiddenHour(settings_.编辑框_禁止指定时间.text(), env_.clock.localHour())) {
            services().browser.setBrowserTitle("现在是禁用时间段");
            if (!waiter_.waitSeconds(60)) return false;
        }
        return !waiter_.stopped();
    }

    // The give-up limit has passed for the publication under way.
    bool giveUpDue() const {
        const int limit = owner_.giveUpSeconds_.load();
        return limit > 0 && owner_.elapsedSeconds_.load() > limit;
    }

    // The published video leaves its folder and is counted before a Stop is honoured; only
    // the countdown after it gives way to Stop.
    bool finishPublication(const VideoIdentity& video, int& done) {
        const int low = settings_.编辑框_视频间隔.number();
        const int high = settings_.编辑框_视频间隔1.number();
        const int pause = env_.drawPause ? env_.drawPause(low, high) : randomInclusive(low, high);
        table().setCell(accountRow(), kColumnStatus, countdownText(pause));
        disposeAndRecord(video);
        bool waited = true;
        for (int k = 1; k <= pause && waited; ++k) {
            const std::string text = countdownText(pause - k);
            table().setCell(accountRow(), kColumnStatus, text);
            services().browser.setBrowserTitle(text);
            waited = waiter_.waitSeconds(1);
        }
        if (waited) table().setCell(accountRow(), kColumnStatus, "");
        ++done;
        table().setCell(accountRow(), kColumnDoneToday, std::to_string(done));
        return waited && !waiter_.stopped();
    }

    RunController& owner_;
    RunEnvironment& env_;
    RunSettings& settings_;
    StopSignal stop_;
    Waiter waiter_;
    std::shared_ptr<Run> previous_;
    std::mutex joinMutex_;
    std::thread thread_;
    std::atomic<bool> alive_{true};
    UploadJob job_;                  // the job under way, or the last one
    std::unique_ptr<ElapsedTicker> ticker_;
    std::string turnId_;             // the account whose turn it is
    std::atomic<int> turnRow_{-1};   // where it was last found; the ticker reads it too
    bool turnOver_ = false;          // the site said to stop posting for now
    long long submittingEpoch_ = 0;  // when the submit under way was written down
    bool toldJournalFailed_ = false;
};

RunController::RunController(RunEnvironment environment) : env_(std::move(environment)), settings_(env_.window) {}

RunController::~RunController() {
    std::shared_ptr<Run> run;
    {
        std::lock_guard lock(mutex_);
        run = std::move(current_);
    }
    if (run) {
        run->requestStop();
        run->join();
    }
}

void RunController::toggleRun() {
    giveUpSeconds_ = settings_.选择框_自动放弃.checked() ? settings_.放弃秒.number() : 0;
    std::lock_guard lock(mutex_);
    if (current_ && current_->running()) {
        env_.window.setCaption(kStartButton, kCaptionStart);
        current_->requestStop();
        return;
    }
    auto run = std::make_shared<Run>(*this, std::move(current_));
    current_ = run;
    run->start();
    env_.window.setCaption(kStartButton, kCaptionStop);
}

bool RunController::running() const {
    std::lock_guard lock(mutex_);
    return current_ && current_->running();
}

// A run that ended by itself shows Start again, unless a newer one took its place.
void RunController::runEnded(const Run* run) {
    std::lock_guard lock(mutex_);
    if (current_.get() == run) env_.window.setCaption(kStartButton, kCaptionStart);
}

bool RunController::workerAlive() const {
    std::lock_guard lock(mutex_);
    return current_ && current_->alive();
}

void RunController::joinWorker() {
    std::shared_ptr<Run> run;
    {
        std::lock_guard lock(mutex_);
        run = current_;
    }
    if (run) run->join();
}

}  // namespace clipmill
