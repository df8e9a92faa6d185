#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "browser/cdp/connection.h"

namespace clipmill::cdp {

struct LaunchOptions {
    std::string executable;
    std::string profileDir;
    std::string startUrl;  // opened by the new browser; "" for its default page
    bool headless = true;
    // Headed only; a width or height of 0 leaves Chromium's default size.
    int windowX = 1;
    int windowY = 1;
    int windowWidth = 0;
    int windowHeight = 0;
    Millis timeout{20000};
};

struct LaunchResult {
    bool ok = false;
    Endpoint endpoint;
    bool reattached = false;  // the browser was already running on the profile
    int pid = 0;              // of a browser this call started (and killed again on failure)
    std::string error;
};

// The command line a launch runs, without the executable.
std::vector<std::string> chromiumArguments(const LaunchOptions& options);

// The endpoint named by the profile's DevToolsActivePort when a browser answers there.
std::optional<Endpoint> findRunningBrowser(const std::string& profileDir, Millis timeout = Millis(1500));

// Re-attaches to the browser running on the profile, or starts one in a session of its
// own (so it outlives this program) and waits for its endpoint. On any failure the new
// browser is killed and its error output is part of the error text.
LaunchResult launchBrowser(const LaunchOptions& options);

// GET http://127.0.0.1:port/json/version; "" when nothing answers.
std::string fetchVersionJson(int port, Millis timeout);

// The configured executable when it can be run; otherwise "" (configured) or the first
// Chromium-family browser found in the usual places and on PATH (configured == "").
std::string findBrowserExecutable(const std::string& configured);

// True when an X display is named in the environment.
bool displayAvailable();

// The profile's file that names the DevTools port of the browser running on it.
std::string activePortFile(const std::string& profileDir);

}  // namespace clipmill::cdp

namespace clipmill::cdp {

// The process id of the browser that holds the profile, from its lock; 0 when none.
int browserPidFromProfile(const std::string& profileDir);

// True while the process exists and has not ended (a zombie has ended).
bool processRunning(int pid);

}  // namespace clipmill::cdp
