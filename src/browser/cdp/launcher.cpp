#include "browser/cdp/launcher.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "browser/cdp/json.h"
#include "browser/interrupt.h"

namespace clipmill::cdp {

namespace fs = std::filesystem;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = boost::asio::ip::tcp;

namespace {

constexpr const char* kStderrLogName = "chromium-stderr.log";

std::optional<Endpoint> readActivePort(const std::string& profileDir) {
    std::ifstream in(activePortFile(profileDir));
    Endpoint endpoint;
    std::string portLine;
    if (!std::getline(in, portLine) || !std::getline(in, endpoint.path)) return std::nullopt;
    try {
        endpoint.port = std::stoi(portLine);
    } catch (...) {
        return std::nullopt;
    }
    if (endpoint.port <= 0 || endpoint.path.empty() || endpoint.path[0] != '/') return std::nullopt;
    return endpoint;
}

// The port may have been taken over by another browser since the file was written:
// trust it only when the browser there names the same websocket path.
bool endpointAnswers(const Endpoint& endpoint, Millis timeout) {
    std::string text = fetchVersionJson(endpoint.port, timeout);
    if (text.empty()) return false;
    rapidjson::Document doc;
    doc.Parse(text.c_str());
    if (doc.HasParseError()) return false;
    std::string url = stringMember(doc, "webSocketDebuggerUrl");
    return url.size() >= endpoint.path.size() && url.ends_with(endpoint.path);
}

std::string tailOfFile(const std::string& path, std::size_t limit = 2000) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string text = buffer.str();
    return text.size() > limit ? text.substr(text.size() - limit) : text;
}


struct Spawned {
    int pid = 0;   // the browser
    int pgid = 0;  // its process group (the session the intermediate child created)
    std::string error;
};

bool readAll(int fd, void* data, std::size_t size) {
    auto* bytes = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = read(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// In the forked child: a new session, and in it the browser as a grandchild whose pid goes
// back through `pidFd`. Only async-signal-safe calls from here on.
[[noreturn]] void startBrowserInNewSession(const char* executable, char* const* argv, const char* logPath, int pidFd,
                                           int execFd) {
    setsid();
    pid_t grandchild = fork();
    if (grandchild == 0) {
        close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
        int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
        int log = open(logPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (null >= 0) dup2(null, 0);
        if (log >= 0) {
            dup2(log, 1);
            dup2(log, 2);
        }
        execv(executable, argv);
        int error = errno;
        (void)!write(execFd, &error, sizeof error);
        _exit(127);
    }
    int value = static_cast<int>(grandchild);
    (void)!write(pidFd, &value, sizeof value);
    _exit(0);
}

// Reaps the intermediate child and learns the browser's pid, or why it did not run.
Spawned collectSpawn(pid_t child, int pidFd, int execFd, const std::string& executable) {
    Spawned result;
    int browserPid = 0;
    bool havePid = readAll(pidFd, &browserPid, sizeof browserPid) && browserPid > 0;
    waitpid(child, nullptr, 0);
    int execError = 0;
    if (!havePid) {
        result.error = "fork of the browser failed";
    } else if (readAll(execFd, &execError, sizeof execError)) {
        result.error = "cannot run " + executable + ": " + std::strerror(execError);
    } else {
        result.pid = browserPid;
        result.pgid = child;
    }
    return result;
}

// Double fork with setsid between: the browser is nobody's child here and lives in its own
// session, so it survives this program and its terminal.
Spawned spawnDetached(const std::string& executable, const std::vector<std::string>& args, const std::string& logPath) {
    std::vector<std::string> storage{executable};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : storage) argv.push_back(arg.data());
    argv.push_back(nullptr);

    int pidPipe[2];
    int execPipe[2];
    if (pipe2(pidPipe, O_CLOEXEC) != 0) return {0, 0, std::strerror(errno)};
    if (pipe2(execPipe, O_CLOEXEC) != 0) {
        ::close(pidPipe[0]);
        ::close(pidPipe[1]);
        return {0, 0, std::strerror(errno)};
    }
    pid_t child = fork();
    if (child == 0) startBrowserInNewSession(executable.c_str(), argv.data(), logPath.c_str(), pidPipe[1], execPipe[1]);
    ::close(pidPipe[1]);
    ::close(execPipe[1]);
    Spawned result = child < 0 ? Spawned{0, 0, std::string("fork: ") + std::strerror(errno)}
                               : collectSpawn(child, pidPipe[0], execPipe[0], executable);
    ::close(pidPipe[0]);
    ::close(execPipe[0]);
    return result;
}

void killBrowser(const Spawned& spawned) {
    if (spawned.pgid > 0) kill(-spawned.pgid, SIGKILL);
    if (spawned.pid > 0) kill(spawned.pid, SIGKILL);
}

}  // namespace

std::string activePortFile(const std::string& profileDir) {
    return (fs::path(profileDir) / "DevToolsActivePort").string();
}

bool displayAvailable() {
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

std::vector<std::string> chromiumArguments(const LaunchOptions& options) {
    std::vector<std::string> args{
        "--remote-debugging-port=0",
        "--user-data-dir=" + options.profileDir,
        "--no-first-run",
        "--no-default-browser-check",
        "--disable-background-networking",
        "--disable-component-update",
        "--disable-sync",
        "--disable-quic",
        "--disable-default-apps",
        "--disable-dev-shm-usage",
        "--password-store=basic",
    };
    if (geteuid() == 0) args.push_back("--no-sandbox");
    if (options.headless) {
        args.push_back("--headless=new");
        args.push_back("--disable-gpu");
    } else {
        args.push_back("--test-type");
        args.push_back("--window-position=" + std::to_string(options.windowX) + "," + std::to_string(options.windowY));
        if (options.windowWidth > 0 && options.windowHeight > 0) {
            args.push_back("--window-size=" + std::to_string(options.windowWidth) + "," +
                           std::to_string(options.windowHeight));
        }
    }
    if (!options.startUrl.empty()) args.push_back(options.startUrl);
    return args;
}

std::string fetchVersionJson(int port, Millis timeout) {
    try {
        boost::asio::io_context io;
        beast::tcp_stream stream(io);
        stream.expires_after(timeout);
        stream.connect(tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)));
        ::fcntl(stream.socket().native_handle(), F_SETFD, FD_CLOEXEC);
        http::request<http::empty_body> request(http::verb::get, "/json/version", 11);
        request.set(http::field::host, "127.0.0.1:" + std::to_string(port));
        http::write(stream, request);
        beast::flat_buffer buffer;
        http::response<http::string_body> response;
        http::read(stream, buffer, response);
        beast::error_code ignored;
        stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
        return response.result() == http::status::ok ? response.body() : std::string();
    } catch (const std::exception&) {
        return {};
    }
}

std::optional<Endpoint> findRunningBrowser(const std::string& profileDir, Millis timeout) {
    auto endpoint = readActivePort(profileDir);
    if (!endpoint || !endpointAnswers(*endpoint, timeout)) return std::nullopt;
    return endpoint;
}

namespace {

// Waits until the started browser answers on the port it wrote. "" on success, else why not.
std::string awaitEndpoint(const Spawned& spawned, const LaunchOptions& options, Endpoint& endpoint) {
    auto deadline = std::chrono::steady_clock::now() + options.timeout;
    while (true) {
        if (auto written = readActivePort(options.profileDir); written && endpointAnswers(*written, Millis(2000))) {
            endpoint = *written;
            return {};
        }
        if (!processRunning(spawned.pid)) return "the browser exited during start-up";
        if (interruptRequested()) return "stopped while the browser was starting";
        if (std::chrono::steady_clock::now() >= deadline) {
            return "the browser gave no DevTools endpoint within " + std::to_string(options.timeout.count()) + " ms";
        }
        std::this_thread::sleep_for(Millis(50));
    }
}

}  // namespace

LaunchResult launchBrowser(const LaunchOptions& options) {
    LaunchResult result;
    if (auto running = findRunningBrowser(options.profileDir)) {
        result.ok = true;
        result.reattached = true;
        result.endpoint = *running;
        return result;
    }
    std::error_code ec;
    fs::create_directories(options.profileDir, ec);
    fs::remove(activePortFile(options.profileDir), ec);
    std::string logPath = (fs::path(options.profileDir) / kStderrLogName).string();
    Spawned spawned = spawnDetached(options.executable, chromiumArguments(options), logPath);
    if (spawned.pid == 0) {
        result.error = spawned.error;
        return result;
    }
    result.pid = spawned.pid;
    std::string why = awaitEndpoint(spawned, options, result.endpoint);
    if (why.empty()) {
        result.ok = true;
        return result;
    }
    killBrowser(spawned);
    result.error = why + "; its output: " + tailOfFile(logPath);
    return result;
}

std::string findBrowserExecutable(const std::string& configured) {
    auto runnable = [](const std::string& path) {
        struct stat info {};
        return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
    };
    if (!configured.empty()) return runnable(configured) ? configured : std::string();
    // Debian's /usr/bin/chromium is a shell wrapper that adds flags of its own: prefer the binary.
    for (const char* known : {"/usr/lib/chromium/chromium", "/usr/lib/chromium-browser/chromium-browser",
                              "/opt/google/chrome/chrome"}) {
        if (runnable(known)) return known;
    }
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        for (const char* name : {"chromium", "chromium-browser", "google-chrome", "google-chrome-stable", "chrome"}) {
            std::string candidate = (fs::path(dir.empty() ? "." : dir) / name).string();
            if (runnable(candidate)) return candidate;
        }
    }
    return {};
}

}  // namespace clipmill::cdp

namespace clipmill::cdp {

bool processRunning(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z' && line[close + 2] != 'X';
}

int browserPidFromProfile(const std::string& profileDir) {
    std::error_code ec;
    // The lock is a symbolic link to "<host name>-<pid>".
    auto target = fs::read_symlink(fs::path(profileDir) / "SingletonLock", ec).string();
    auto dash = target.rfind('-');
    if (ec || dash == std::string::npos) return 0;
    try {
        int pid = std::stoi(target.substr(dash + 1));
        return processRunning(pid) ? pid : 0;
    } catch (...) {
        return 0;
    }
}

}  // namespace clipmill::cdp
