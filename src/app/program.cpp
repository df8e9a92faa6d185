#include "app/program.h"

#include <ctime>
#include <thread>

#include "accounts/account_file.h"
#include "app/broadband_redialer.h"
#include "app/endpoints.h"
#include "browser/cdp/cdp_automation.h"
#include "browser/classic_layout.h"
#include "browser/failure_record.h"
#include "browser/page_profile.h"
#include "browser/upload_page.h"
#include "catalogue/category_lists.h"
#include "engine/job_composer.h"
#include "engine/title_pool.h"
#include "engine/unfinished_publications.h"
#include "engine/video_material.h"
#include "platform/desktop_open.h"
#include "settings/control_table.h"
#include "settings/persistence.h"
#include "support/thread_guard.h"
#include "support/version.h"

namespace clipmill {

namespace fs = std::filesystem;

namespace {
constexpr const char* kProgramFolderLabel = "标签15";
}

std::optional<LockFile> claimProgramFolder(const fs::path& programDir, bool handedOver, Dialogs& dialogs) {
    std::error_code ec;
    fs::create_directories(programDir / "data", ec);
    auto lock = LockFile::take(programDir / "data" / "clipmill.lock",
                               handedOver ? kHandoverPatience : std::chrono::milliseconds(0));
    if (!lock) dialogs.information(kAlreadyRunningText);
    return lock;
}

std::string mainWindowCaption() {
    return std::string("Clipmill") + "v" + kProgramVersion + "          按键盘 Ctrl + Alt + K  可以快速开始或停止";
}

// The operations the run hands off to. This is the one place that chooses them.
struct Program::Services {
    Services(Program& program)
        : profiles(pageProfilePath(program.programDir_)),
          material(program.window_, program.accounts_, program.programDir_),
          composer(program.window_, titles),
          automation(cdp::CdpAutomation::Options{(program.programDir_ / "huancun").string()}),
          browser(BrowserSession::Services{automation, program.window_, program.desktop_.dialogs, program.clock_,
                                           program.programDir_.string(), loadSiteAddresses(program.programDir_),
                                           program.desktop_.screenSize, &profiles}),
          publisher(PageTools{automation, browser, program.desktop_.clipboard, {}}, classicLayout(), &profiles,
                    failureRecordsRoot(program.programDir_)),
          redialer(program.window_, loadOutsideAddresses(program.programDir_).ipEcho) {}

    RunServices forRun() { return RunServices{material, composer, publisher, redialer, browser}; }

    PageProfileSource profiles;
    TitlePool titles;
    VideoMaterialImpl material;
    JobComposerImpl composer;
    cdp::CdpAutomation automation;
    BrowserSession browser;
    UploadPage publisher;
    BroadbandRedialer redialer;
};

Program::Program(ProgramFile programFile, Desktop desktop)
    : programFile_(std::move(programFile)),
      programDir_(programFile_.dir),
      desktop_(std::move(desktop)),
      window_(controlTable()),
      store_(programDir_, window_, accounts_, desktop_.dialogs),
      log_(programDir_ / "data"),
      journal_(programDir_ / "data" / "发布记录.jsonl"),
      services_(std::make_unique<Services>(*this)) {
    startupCheck_ = startupChecked_.get_future().share();
    run_ = std::make_unique<RunController>(runEnvironment());
}

RunEnvironment Program::runEnvironment() {
    RunEnvironment env{clock_, window_, accounts_, services_->forRun(), store_.listFolder(), {}, {}, &journal_};
    env.readAccountFile = [](const fs::path& path, AccountRecord& record) { return readAccountFile(path, record); };
    env.writeAccountFile = [](const fs::path& path, const AccountRecord& record) {
        return writeAccountFile(path, record);
    };
    env.submissionsOf = [this](const std::string& accountId) {
        StopSignal never;
        Waiter waiter(clock_, never);
        return services_->browser.submissionsOf(accountId, waiter, true);
    };
    env.tellUser = [this](const std::string& text) { desktop_.dialogs.information(text); };
    env.awaitStartupCheck = [this](Waiter& waiter) {
        if (!startupCheckBegun_.load()) return true;
        if (startupCheck_.wait_for(std::chrono::seconds(0)) == std::future_status::ready) return true;
        window_.setCaption("分组框6", "正在核对上次未完成的发布，完成后开始");
        while (startupCheck_.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            if (!waiter.waitMs(200)) return false;
        return true;
    };
    return env;
}

Program::~Program() {
    for (auto& loader : loaders_) loader.join();
}

BrowserSession& Program::browser() { return services_->browser; }

bool Program::redialTest(Waiter& waiter) {
    if (redialTestRunning_.exchange(true)) return false;
    services_->redialer.redial(waiter);
    redialTestRunning_ = false;
    return true;
}

void Program::openProgramFolder() { openWithDesktop(window_.caption(kProgramFolderLabel)); }

bool Program::restart() { return restartProgram(programFile_); }

BrowserAutomation& Program::automation() { return services_->automation; }

PageProfileSource& Program::pageProfiles() { return services_->profiles; }

void Program::prepareMainWindow() {
    std::error_code ec;
    fs::create_directories(store_.listFolder(), ec);
    window_.setText("编辑框_随机封面目录", (programDir_ / "img").string());
    restoreSettings(window_, programDir_);
    window_.setCaption(kMainWindowName, mainWindowCaption());
    services_->browser.initBrowserEnvironment(InitOrder::StartUp);
    window_.setCaption(kProgramFolderLabel, programDir_.string() + "/");
    finishUnfinishedPublications();
}

// The disposal settings are restored by now. The site and the browsers may take a while to
// answer, so this runs beside the window; a run waits for it before it picks a video.
void Program::finishUnfinishedPublications() {
    startupCheckBegun_ = true;
    loaders_.emplace_back([this] {
        runGuarded("unfinished publications", [this] {
            BrowserSession& browser = services_->browser;
            AccountPages pages;
            pages.tabText = [&browser](const std::string& accountId, const std::string& tabId) {
                return browser.tabTextOf(accountId, tabId);
            };
            pages.successWords = services_->profiles.reload()->alternatives(role::kSuccessText);
            // Only browsers still running are asked: none is opened at start-up. The others
            // are asked at the start of their account's turn.
            pages.submissionsOf = [this](const std::string& accountId) {
                StopSignal never;
                Waiter waiter(clock_, never);
                return services_->browser.submissionsOf(accountId, waiter, false);
            };
            finishOpenPublications(journal_, services_->material, pages,
                                   [] { return static_cast<long long>(std::time(nullptr)); });
        });
        startupChecked_.set_value();
    });
}

bool Program::decidePublication(const VideoIdentity& video, bool published) {
    const std::string name = fs::u8path(video.path).filename().string();
    const std::string question = published ? "确认视频“" + name + "”已在网站上发布？确认后将按设置处理视频文件。"
                                           : "确认视频“" + name + "”没有发布？确认后它可以再次发布。";
    if (!desktop_.dialogs.confirm(question, "发布记录：")) return false;
    const std::optional<JournalEntry> now = journal_.openPublicationOf(video);
    if (!now || !undecided(*now)) return false;
    return decideByHand(journal_, services_->material, *now, published);
}

void Program::loadListsInBackground() {
    loaders_.emplace_back([this] { runGuarded("account list", [this] { store_.loadAccountList(); }); });
    loaders_.emplace_back([this] { runGuarded("zone lists", [this] { fillCategoryLists(window_, programDir_); }); });
}

}  // namespace clipmill
