#pragma once

#include <httplib.h>

#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace clipmill::testing {

// An HTTP server on 127.0.0.1 and a free port, in this process, serving fixed pages.
class FixtureServer {
public:
    explicit FixtureServer(std::map<std::string, std::string> pages);
    ~FixtureServer();
    std::string url(const std::string& path) const;

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

// A child process with its output read through a pipe; killed and reaped when destroyed.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {});
    ~ChildProcess();
    int pid() const { return pid_; }
    // The next line the child wrote to its standard output; "" at its end or after the timeout.
    std::string readLine(int timeoutMs = 10000);
    // Waits for the exit; the exit code, or -1 on timeout.
    int wait(int timeoutMs);

private:
    int pid_ = 0;
    int out_ = -1;
    std::string buffered_;
    bool reaped_ = false;
};

// The practice site, started as its own program on a free port.
class PracticeSite {
public:
    explicit PracticeSite(const std::string& recordFile);
    std::string url(const std::string& path) const;
    // Switches what the upload page shows: "ok", "login", "login-query" or "banned".
    void setAccountState(const std::string& state);
    // Sets knobs named like the site's flags: "submit-answer-ms=4000&moved-upload=1".
    void setKnobs(const std::string& form);

private:
    std::unique_ptr<ChildProcess> process_;
    int port_ = 0;
};

// An X server of our own on a free display number; DISPLAY names it while alive.
class VirtualDisplay {
public:
    VirtualDisplay(int width = 1280, int height = 1024);
    ~VirtualDisplay();
    const std::string& name() const { return name_; }

private:
    std::unique_ptr<ChildProcess> server_;
    std::string name_;
    std::string previous_;
    bool hadPrevious_ = false;
};

// Ends every process whose command line names `path`: the browsers a program started in
// sessions of their own, which outlive it on purpose.
void killProcessesMentioning(const std::string& path);

// Runs a program and gives what it wrote to its standard output.
std::string runAndRead(const std::vector<std::string>& argv, int timeoutMs = 10000);

}  // namespace clipmill::testing
