#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "accounts/account_store.h"
#include "accounts/account_table.h"
#include "app/run_log.h"
#include "browser/browser_session.h"
#include "engine/publication_journal.h"
#include "engine/run_controller.h"
#include "platform/clipboard.h"
#include "platform/lock_file.h"
#include "platform/relaunch.h"
#include "settings/window_state.h"
#include "support/clock.h"
#include "support/dialogs.h"

namespace clipmill {

// The main window's caption once the window is created: name, version and the hot key hint.
std::string mainWindowCaption();

// The box a second program started in the same program folder shows before it ends.
inline constexpr const char* kAlreadyRunningText = "程序已在运行（同一文件夹只能运行一个）";
// How long a handed-over start waits for the program it replaces to end.
inline constexpr std::chrono::seconds kHandoverPatience{15};

// One program per program folder: two would publish from the same accounts, material and
// journal. Takes data/clipmill.lock for the life of the process, before anything in the
// folder is read; with `handedOver` (a restart or a new release) it first waits for the
// ending program to let go. When another program holds it, says so in a box and gives
// nothing: the caller then ends.
std::optional<LockFile> claimProgramFolder(const std::filesystem::path& programDir, bool handedOver, Dialogs& dialogs);

// What the program needs from the desktop it runs on.
struct Desktop {
    Dialogs& dialogs;
    Clipboard& clipboard;
    std::function<ScreenSize()> screenSize;
};

// The program's one instance of each piece of state and service, wired together: the
// window state, the account list, the account store, the browser session, the services the
// run hands off to and the run controller. The windows are built over it; it knows
// nothing of them.
class Program {
public:
    // `programFile` is where the program was started from; its folder, without a trailing
    // separator, is the program directory.
    Program(ProgramFile programFile, Desktop desktop);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    const ProgramFile& programFile() const { return programFile_; }
    const std::filesystem::path& programDir() const { return programDir_; }

    WindowState& window() { return window_; }
    AccountTable& accounts() { return accounts_; }
    AccountStore& store() { return store_; }
    RunController& run() { return *run_; }
    BrowserSession& browser();
    RunLog& log() { return log_; }
    PublicationJournal& journal() { return journal_; }
    // The user's word on a publication whose outcome is unknown, once confirmed: published
    // (written as such, the video disposed of) or not (the video is free again). False when
    // the user said no, or it was decided meanwhile.
    bool decidePublication(const VideoIdentity& video, bool published);
    Dialogs& dialogs() { return desktop_.dialogs; }
    Clipboard& clipboard() { return desktop_.clipboard; }
    BrowserAutomation& automation();
    PageProfileSource& pageProfiles();

    // The steps of the main window's creation that need no window: folders, the cover
    // folder default, the saved settings, the caption, the browser environment, and the
    // publications an earlier process left unfinished.
    void prepareMainWindow();
    // One second after the main window opened: the account list and the zone lists,
    // each loaded on a thread of its own.
    void loadListsInBackground();
    // The redial test button: one redial with the window's settings. A call while another
    // runs does nothing and gives false, as two redials would fight over the connection.
    bool redialTest(Waiter& waiter);
    // A press on the label 标签15: the folder its text names (the program directory) opens
    // in the desktop's file browser.
    void openProgramFolder();
    // "重启软件": the program file from the program directory again, in about two seconds.
    // False when that file is gone; then the program keeps running.
    bool restart();

private:
    struct Services;

    void finishUnfinishedPublications();
    RunEnvironment runEnvironment();

    ProgramFile programFile_;
    std::filesystem::path programDir_;
    Desktop desktop_;
    SystemClock clock_;
    WindowState window_;
    AccountTable accounts_;
    AccountStore store_;
    RunLog log_;
    PublicationJournal journal_;
    std::unique_ptr<Services> services_;
    std::unique_ptr<RunController> run_;  // after the services: it stops its run before they go
    std::vector<std::thread> loaders_;
    std::promise<void> startupChecked_;
    std::shared_future<void> startupCheck_;
    std::atomic<bool> startupCheckBegun_{false};
    std::atomic<bool> redialTestRunning_{false};
};

}  // namespace clipmill
