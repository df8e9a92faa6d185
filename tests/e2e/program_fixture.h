#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fixtures/browser_test_support.h"
#include "fixtures/temp_dir.h"

namespace clipmill::testing {

// The number of lines of the file that contain `needle`.
int countIn(const std::filesystem::path& file, const std::string& needle);
// Polls until the condition holds; false when it did not within the limit.
bool waitFor(const std::function<bool()>& condition, std::chrono::seconds limit);

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
    bool disclaimerAccepted = true;
};

}  // namespace clipmill::testing
