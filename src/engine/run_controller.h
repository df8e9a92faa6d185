#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "accounts/account_record.h"
#include "accounts/account_table.h"
#include "engine/publication_journal.h"
#include "engine/run_services.h"
#include "engine/undecided_publications.h"
#include "settings/run_settings.h"
#include "settings/window_state.h"
#include "support/clock.h"

namespace clipmill {

// Everything a run works with.
struct RunEnvironment {
    Clock& clock;
    WindowState& window;
    AccountTable& accounts;
    RunServices services;
    // The folder that holds the account files, <id>.json.
    std::filesystem::path accountFolder;
    // Reads one account file into the record; false when it could not be read.
    std::function<bool(const std::filesystem::path&, AccountRecord&)> readAccountFile;
    // The random draw of the pause after a published video.
    std::function<int(int, int)> drawPause;
    // Where each publication's events go; none in runs that keep no journal.
    PublicationJournal* journal = nullptr;
    // Writes one account file; false when it could not be written.
    std::function<bool(const std::filesystem::path&, const AccountRecord&)> writeAccountFile;
    // The account's submissions list on the site, read in its own browser; decides the
    // publications whose outcome was not seen. Empty: they wait for the user.
    SubmissionsOf submissionsOf;
    // Seconds since 1970 now; the system's when empty.
    std::function<long long()> epochNow;
    // Shows the user a message box (from any thread); nothing when empty.
    std::function<void(const std::string& text)> tellUser;
    // Waits until the check of publications left open at start-up is done; false when Stop
    // came first. Empty: nothing to wait for.
    std::function<bool(Waiter&)> awaitStartupCheck;
};

// Start/Stop and the worker that walks the account list. Stop is cooperative: every
// wait of the worker and its ticker ends as soon as Stop is pressed, and page steps see
// it through their waiter, so a run ends within a second wherever it is; but once the
// site has a video, the run first disposes of it and counts it.
class RunController {
public:
    explicit RunController(RunEnvironment environment);
    ~RunController();  // stops a run in progress and waits for its threads
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // The Start/Stop button and the hot key: stops the run in progress, or starts one when
    // none runs (also after the last one ended by itself). Never blocks the calling thread.
    void toggleRun();
    // A run is in progress and has not been asked to stop.
    bool running() const;

    // True while a worker is alive (a stopped one may take up to a second to end).
    bool workerAlive() const;
    // Waits for the current worker to end by itself or after Stop; for tests and shutdown.
    void joinWorker();

    int giveUpSeconds() const { return giveUpSeconds_.load(); }
    int elapsedSeconds() const { return elapsedSeconds_.load(); }

private:
    class Run;
    void runEnded(const Run* run);

    RunEnvironment env_;
    RunSettings settings_;
    std::atomic<int> giveUpSeconds_{0};
    std::atomic<int> elapsedSeconds_{0};
    mutable std::mutex mutex_;
    std::shared_ptr<Run> current_;
};

}  // namespace clipmill
