#include "engine/run_harness.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "settings/control_table.h"

namespace clipmill::testing {

void apply(WindowState& window, const std::vector<Setting>& settings) {
    for (const auto& s : settings) {
        if (s.text == "[x]" || s.text == "[ ]")
            window.setChecked(s.control, s.text == "[x]");
        else
            window.setText(s.control, s.text);
    }
}

std::string ScriptedMaterial::selectVideo(const std::string& folder, int row, const HeldBack& held) {
    std::lock_guard lock(mutex_);
    selections_.emplace_back(folder, row);
    for (const std::string& video : videos_[folder])
        if (!held.holds || !held.holds(video)) return video;
    return {};
}

bool ScriptedMaterial::disposeVideo(const std::string& videoPath) {
    if (disposalsFail) return false;
    std::lock_guard lock(mutex_);
    disposed_.push_back(videoPath);
    for (auto& [folder, queue] : videos_) std::erase(queue, videoPath);
    return true;
}

void ScriptedMaterial::queue(const std::string& folder, const std::string& video) {
    std::lock_guard lock(mutex_);
    videos_[folder].push_back(video);
}

std::vector<std::pair<std::string, int>> ScriptedMaterial::selections() const {
    std::lock_guard lock(mutex_);
    return selections_;
}

std::vector<std::string> ScriptedMaterial::disposed() const {
    std::lock_guard lock(mutex_);
    return disposed_;
}

namespace {

PublishOutcome givenUp(const PublishContext& context) {
    PublishOutcome outcome = outcomeOf(Verdict::NotPublished, givenUpFailure(context.giveUpSeconds));
    outcome.gaveUp = true;
    return outcome;
}

// Waits `seconds`, asking whether to give up once a second; the outcome that ended it early.
std::optional<PublishOutcome> spend(int seconds, PublishContext& context) {
    for (int s = 0; s < seconds; ++s) {
        if (context.giveUpNow()) return givenUp(context);
        if (!context.waiter.waitSeconds(1)) return outcomeOf(Verdict::NotPublished, stoppedFailure());
    }
    if (context.giveUpNow()) return givenUp(context);
    return std::nullopt;
}

}  // namespace

PublishOutcome ScriptedPublisher::publish(const UploadJob& job, PublishContext& context) {
    int duration;
    int result = 1;
    int call;
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(job);
        call = static_cast<int>(jobs_.size()) - 1;
        startTimes_.push_back(clock ? clock->now().count() : 0);
        duration = duration_;
        if (!results_.empty()) {
            result = results_.front();
            results_.pop_front();
        }
    }
    if (onStart) onStart(call);
    if (auto early = spend(duration, context)) return *early;
    int tail;
    std::string failure;
    {
        std::lock_guard lock(mutex_);
        tail = tail_;
        failure = failure_;
    }
    if (result == 0) return outcomeOf(Verdict::NotPublished, {failure, failureText(failure)});
    if (context.onSubmitting && !context.onSubmitting({"http://127.0.0.1:1/video/upload.html", "TAB1"}))
        return outcomeOf(Verdict::NotPublished, journalFailure());
    if (result == kUnknownResult) return outcomeOf(Verdict::Unknown, answerUnseenFailure(), "scripted");
    if (result == kRefusedResult) {
        PublishOutcome refused = outcomeOf(Verdict::Refused, siteRefusal(21566, "投稿过于频繁，请稍后再试"));
        refused.answer = SiteAnswer{true, 21566, "投稿过于频繁，请稍后再试"};
        return refused;
    }
    if (afterSubmit) afterSubmit(call);
    // The page lingers on the fresh form; nothing it meets now undoes the publication.
    PublishOutcome published = publishedWith("scripted");
    published.siteId = siteId;
    if (auto early = spend(tail, context)) published.gaveUp = early->gaveUp;
    return published;
}

void ScriptedPublisher::setTailSeconds(int seconds) {
    std::lock_guard lock(mutex_);
    tail_ = seconds;
}

void ScriptedPublisher::setFailure(std::string reason) {
    std::lock_guard lock(mutex_);
    failure_ = std::move(reason);
}

void ScriptedPublisher::setResults(std::deque<int> results) {
    std::lock_guard lock(mutex_);
    results_ = std::move(results);
}

void ScriptedPublisher::setDurationSeconds(int seconds) {
    std::lock_guard lock(mutex_);
    duration_ = seconds;
}

std::vector<UploadJob> ScriptedPublisher::jobs() const {
    std::lock_guard lock(mutex_);
    return jobs_;
}

std::vector<long long> ScriptedPublisher::startTimes() const {
    std::lock_guard lock(mutex_);
    return startTimes_;
}

void RecordingBrowser::closeBrowser() {
    std::lock_guard lock(mutex_);
    ++closes_;
}

void RecordingBrowser::setBrowserTitle(const std::string& title) {
    std::lock_guard lock(mutex_);
    titles_.push_back(title);
}

int RecordingBrowser::closes() const {
    std::lock_guard lock(mutex_);
    return closes_;
}

std::vector<std::string> RecordingBrowser::titles() const {
    std::lock_guard lock(mutex_);
    return titles_;
}

RunHarness::RunHarness(bool realTime)
    : realTime(realTime),
      window(controlTable()),
      journal(dir.path() / "data" / "发布记录.jsonl"),
      controller(RunEnvironment{
          realTime ? static_cast<Clock&>(realClock) : clock, window, table,
          RunServices{material, composer, publisher, redialer, browser}, dir.path() / "data" / "list",
          [this](const std::filesystem::path& path, AccountRecord& record) {
              record.clear();
              if (!std::filesystem::exists(path)) return false;
              record.setText("昵称", "nick-" + path.stem().string());
              std::lock_guard lock(mutex_);
              if (auto it = siteIds.find(path.stem().string()); it != siteIds.end()) record.setText("站点id", it->second);
              return true;
          },
          [this](int low, int high) {
              draws.emplace_back(low, high);
              return draw ? draw(low, high) : std::max(0, std::min(low, high));
          },
          &journal,
          [this](const std::filesystem::path& path, const AccountRecord& record) {
              std::lock_guard lock(mutex_);
              siteIds[path.stem().string()] = record.text("站点id");
              return true;
          },
          [this](const std::string&) {
              std::lock_guard lock(mutex_);
              return siteList;
          },
          [this] {
              const Clock& used = this->realTime ? static_cast<const Clock&>(realClock) : clock;
              return epochStart + used.now().count() / 1000;
          },
          [this](const std::string& text) {
              std::lock_guard lock(mutex_);
              told.push_back(text);
          },
          {}}) {
    publisher.clock = realTime ? static_cast<Clock*>(&realClock) : &clock;
    window.subscribe([this](const std::string& control, ControlField field) {
        if (field != ControlField::Caption && field != ControlField::Text) return;
        const std::string value = field == ControlField::Caption ? window.caption(control) : window.text(control);
        std::lock_guard lock(mutex_);
        captions_[control].push_back(value);
    });
    table.subscribe([this](const AccountTable::Event& e) {
        if (e.change != AccountTable::Change::CellChanged) return;
        const std::string value = table.cell(e.row, e.column);
        std::lock_guard lock(mutex_);
        cells_[{e.row, e.column}].push_back(value);
    });
}

RunHarness::~RunHarness() = default;

int RunHarness::addAccount(const std::string& id, int videos, const std::string& folderCell) {
    const std::string folder = folderOf(id);
    std::filesystem::create_directories(folder);
    dir.write("data/list/" + id + ".json", "{}");
    for (int v = 1; v <= videos; ++v) {
        auto path = dir.write("videos/" + id + "/" + std::to_string(v) + ".mp4", "video");
        material.queue(folder, path.string());
    }
    const int row = table.appendRow();
    table.setCell(row, kColumnIndex, std::to_string(row + 1));
    table.setCell(row, kColumnFolder, folderCell.empty() ? folder : folderCell);
    table.setCell(row, kColumnId, id);
    table.setCurrentRow(row);
    return row;
}

std::string RunHarness::folderOf(const std::string& id) const { return (dir.path() / "videos" / id).string(); }

void RunHarness::runToEnd() {
    controller.toggleRun();
    controller.joinWorker();
}

void RunHarness::runFor(long long ms) {
    if (realTime) {
        controller.toggleRun();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        controller.toggleRun();
        controller.joinWorker();
        return;
    }
    StopSignal never;
    Waiter testWaiter(clock, never);
    clock.enterThread();
    controller.toggleRun();
    testWaiter.waitMs(ms);
    controller.toggleRun();
    clock.leaveThread();
    controller.joinWorker();
}

std::vector<std::string> RunHarness::journalEvents() const {
    std::vector<std::string> events;
    for (const auto& entry : journal.read())
        events.push_back(entry.reason.empty() ? entry.event : entry.event + " " + entry.reason);
    return events;
}

std::vector<std::string> RunHarness::captionsOf(const std::string& control) const {
    std::lock_guard lock(mutex_);
    auto it = captions_.find(control);
    return it == captions_.end() ? std::vector<std::string>{} : it->second;
}

std::vector<std::string> RunHarness::cellHistory(int row, int column) const {
    std::lock_guard lock(mutex_);
    auto it = cells_.find({row, column});
    return it == cells_.end() ? std::vector<std::string>{} : it->second;
}

}  // namespace clipmill::testing
