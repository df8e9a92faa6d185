#include "browser_test_support.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>

extern char** environ;

namespace clipmill::testing {

FixtureServer::FixtureServer(std::map<std::string, std::string> pages) {
    for (auto& [path, html] : pages) {
        server_.Get(path, [html](const httplib::Request&, httplib::Response& response) {
            response.set_content(html, "text/html; charset=utf-8");
        });
    }
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("fixture server cannot bind");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
}

FixtureServer::~FixtureServer() {
    server_.stop();
    thread_.join();
}

std::string FixtureServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        if (!env.count(entry.substr(0, entry.find('=')))) envStrings.push_back(entry);
    }
    for (const auto& [key, value] : env) envStrings.push_back(key + "=" + value);
    std::vector<char*> envp;
    for (auto& entry : envStrings) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (auto& arg : args) argp.push_back(arg.data());
    argp.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (rc != 0) {
        close(pipeFds[0]);
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    }
    pid_ = pid;
    out_ = pipeFds[0];
}

ChildProcess::~ChildProcess() {
    if (!reaped_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
}

std::string ChildProcess::readLine(int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        auto newline = buffered_.find('\n');
        if (newline != std::string::npos) {
            std::string line = buffered_.substr(0, newline);
            buffered_.erase(0, newline + 1);
            return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return {};
        pollfd fd{out_, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) return {};
        char chunk[4096];
        ssize_t n = read(out_, chunk, sizeof chunk);
        if (n <= 0) return std::exchange(buffered_, {});
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
}

int ChildProcess::wait(int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            reaped_ = true;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

PracticeSite::PracticeSite(const std::string& recordFile) {
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{PRACTICE_SITE_PROGRAM, "--port", "0", "--record", recordFile});
    std::string line = process_->readLine();
    // "listening on <port>"
    auto space = line.rfind(' ');
    if (space == std::string::npos) throw std::runtime_error("practice site did not start: " + line);
    port_ = std::stoi(line.substr(space + 1));
}

std::string PracticeSite::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void PracticeSite::setAccountState(const std::string& state) {
    httplib::Client client("127.0.0.1", port_);
    auto result = client.Post("/__control/account", "state=" + state, "application/x-www-form-urlencoded");
    if (!result || result->status != 200) throw std::runtime_error("practice site refused state " + state);
}

void killProcessesMentioning(const std::string& path) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream in(entry.path() / "cmdline", std::ios::binary);
        std::string cmdline((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (cmdline.find(path) != std::string::npos) ::kill(std::stoi(pid), SIGKILL);
    }
}

void PracticeSite::setKnobs(const std::string& form) {
    httplib::Client client("127.0.0.1", port_);
    auto result = client.Post("/__control/knobs", form, "application/x-www-form-urlencoded");
    if (!result || result->status != 200) throw std::runtime_error("practice site refused knobs " + form);
}

VirtualDisplay::VirtualDisplay(int width, int height) {
    std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    server_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp"});
    std::string number = server_->readLine(15000);
    if (number.empty()) throw std::runtime_error("Xvfb did not start");
    name_ = ":" + number;
    if (const char* previous = std::getenv("DISPLAY")) {
        hadPrevious_ = true;
        previous_ = previous;
    }
    setenv("DISPLAY", name_.c_str(), 1);
}

VirtualDisplay::~VirtualDisplay() {
    if (hadPrevious_) {
        setenv("DISPLAY", previous_.c_str(), 1);
    } else {
        unsetenv("DISPLAY");
    }
}

std::string runAndRead(const std::vector<std::string>& argv, int timeoutMs) {
    ChildProcess child(argv);
    std::string output;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        std::string line = child.readLine(timeoutMs);
        if (line.empty() && child.wait(200) >= 0) break;
        output += line + "\n";
    }
    return output;
}

}  // namespace clipmill::testing
