#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fixtures/browser_test_support.h"
#include "fixtures/poll_until.h"
#include "fixtures/temp_dir.h"

namespace clipmill::testing {

// The number of lines of the file that contain `needle`.
int countIn(const std::filesystem::path& file, const std::string& needle);

// Every line a program writes to its standard output and error, read as it comes, so the
// program never blocks on a full pipe and a test can wait for what it announces.
class ProgramOutput {
public:
    explicit ProgramOutput(ChildProcess& program);
    ~ProgramOutput();  // stops reading; before the program's ChildProcess goes
    ProgramOutput(const ProgramOutput&) = delete;
    ProgramOutput& operator=(const ProgramOutput&) = delete;

    // The lines so far that contain `text`.
    int count(const std::string& text) const;
    // Waits until `occurrences` lines contain `text`; a failure shows the lines so far.
    ::testing::AssertionResult waitFor(const std::string& text, int occurrences, std::chrono::milliseconds timeout) const;

private:
    ChildProcess& program_;
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    std::atomic<bool> stop_{false};
    std::thread reader_;
};

// The real program, copied into a program folder whose path has spaces and quotes, run on a
// virtual display of its own, with its site addresses pointed at the practice site.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // An account file and a material folder with `videos` sample videos.
    void addAccount(const std::string& id, int videos);
    std::filesystem::path materialFolder(const std::string& id) const;
    // Text fields of the settings file, written as the program writes it (GBK, CR LF).
    void writeSettings(const std::vector<std::pair<std::string, std::string>>& textFields);

    // Starts the program with a home folder of its own; its documents hold the disclaimer's
    // agreement unless `disclaimerAccepted` was set false first.
    void startProgram();
    // Another copy of the program in the same folder and home, with `arguments`.
    std::unique_ptr<ChildProcess> startAnotherCopy(const std::vector<std::string>& arguments = {});
    // Waits for the program to announce a line containing `text` (see src/ui/state_lines.h)
    // `occurrences` times since it started.
    ::testing::AssertionResult waitForLine(const std::string& text, int occurrences = 1,
                                           std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Waits until the program has loaded its account list with that many accounts.
    ::testing::AssertionResult waitForAccountList(int accounts);
    // Presses the hot key and waits until the program says a run started.
    ::testing::AssertionResult startRun();
    // Presses the hot key and waits until the run's worker has ended.
    ::testing::AssertionResult stopRun();
    // Waits until the run has finished `passes` more passes over the list than `before`.
    ::testing::AssertionResult waitForPasses(int before, int passes);
    int passesSoFar() const;
    // The id of the visible window whose name starts with `name`, or "" after the timeout.
    std::string waitForWindow(const std::string& name, int timeoutMs);
    void clickInWindow(const std::string& window, int x, int y);
    void pressHotKey();
    // Closes the window as a window manager's close button does.
    void closeFromTitleBar(const std::string& window);
    // The exit code of the program, -1 while it runs after `timeoutMs`.
    int waitForExit(int timeoutMs);

    // Ends the program at once, as a crash or a power cut would.
    void killProgram();
    // Kills the browsers the program started, as a crash of the browser would.
    void killBrowsers();
    // "event reason" of each line of the program's publication journal.
    std::vector<std::string> journalEvents() const;

    std::string xdotool(const std::vector<std::string>& arguments);
    std::string readLog() const;  // today's run log, as UTF-8
    std::string settingsText() const;  // setsoft.ini, as UTF-8

    TempDir dir;
    std::filesystem::path programDir;
    std::filesystem::path recordFile;
    std::unique_ptr<VirtualDisplay> display;
    std::unique_ptr<PracticeSite> site;
    std::unique_ptr<ChildProcess> program;
    std::unique_ptr<ProgramOutput> output;  // of `program`
    bool disclaimerAccepted = true;

private:
    std::map<std::string, std::string> programEnvironment();
};

}  // namespace clipmill::testing
