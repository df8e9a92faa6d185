// Median round trip of a trivial evaluation and of a full click (scroll into view, centre,
// mouse moved, pressed, released) through our DevTools layer, against Playwright's
// page.evaluate and page.click on the same Chromium executable and the same page, in one run.
// The floor is the same evaluation over a bare websocket that one thread writes and reads,
// measured in blocks alternating with ours: what is left for any client once the browser's
// own share is paid.
//   bench_browser_roundtrip [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>

#include "browser/cdp/cdp_automation.h"
#include "browser/cdp/launcher.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char* kPage =
    "data:text/html,<html><body style='margin:0'><div style='height:300px'></div>"
    "<button id='target' style='width:120px;height:40px'>go</button>"
    "<script>window.clicks=0;document.getElementById('target').addEventListener('click',()=>clicks%2B%2B)</script>"
    "</body></html>";

void timeEachMs(int rounds, const std::function<void()>& action, std::vector<double>& into) {
    for (int i = 0; i < rounds; ++i) {
        auto start = Clock::now();
        action();
        into.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
}

double median(std::vector<double>& values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

double medianMs(int rounds, const std::function<void()>& action) {
    std::vector<double> times;
    timeEachMs(rounds, action, times);
    return median(times);
}

// The evaluation on the page over a websocket of its own, written and read by one thread only.
class FloorClient {
public:
    FloorClient(const clipmill::cdp::Endpoint& endpoint, const std::string& targetId) : socket_(io_) {
        using tcp = boost::asio::ip::tcp;
        socket_.next_layer().connect(
            tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(endpoint.port)));
        socket_.next_layer().set_option(tcp::no_delay(true));
        socket_.handshake("127.0.0.1:" + std::to_string(endpoint.port), endpoint.path);
        std::string attached = call("Target.attachToTarget", "{\"targetId\":\"" + targetId + "\",\"flatten\":true}");
        auto at = attached.find("\"sessionId\":\"");
        if (at != std::string::npos) session_ = attached.substr(at + 13, attached.find('"', at + 13) - at - 13);
    }
    ~FloorClient() {
        boost::beast::error_code ignored;
        socket_.close(boost::beast::websocket::close_code::normal, ignored);
    }
    bool attached() const { return !session_.empty(); }
    void evaluate() { call("Runtime.evaluate", "{\"expression\":\"1+1\",\"returnByValue\":true}"); }

private:
    std::string call(const std::string& method, const std::string& params) {
        namespace beast = boost::beast;
        std::string tag = "\"id\":" + std::to_string(++id_) + ",";
        std::string message = "{" + tag + "\"method\":\"" + method + "\",\"params\":" + params +
                              (session_.empty() ? "" : ",\"sessionId\":\"" + session_ + "\"") + "}";
        socket_.write(boost::asio::buffer(message));
        while (true) {
            buffer_.clear();
            socket_.read(buffer_);
            std::string reply = beast::buffers_to_string(buffer_.data());
            if (reply.find("{" + tag) == 0) return reply;
        }
    }

    boost::asio::io_context io_;
    boost::beast::websocket::stream<boost::asio::ip::tcp::socket> socket_;
    boost::beast::flat_buffer buffer_;
    std::string session_;
    int id_ = 0;
};

// Medians of two actions measured in alternating blocks, so that both see the same machine.
std::pair<double, double> interleavedMediansMs(int rounds, const std::function<void()>& first,
                                               const std::function<void()>& second) {
    constexpr int kBlock = 50;
    std::vector<double> a;
    std::vector<double> b;
    for (int done = 0; done < rounds; done += kBlock) {
        timeEachMs(kBlock, first, a);
        timeEachMs(kBlock, second, b);
    }
    return {median(a), median(b)};
}

struct PeerFigures {
    double evaluateMs = 0;
    double clickMs = 0;
    bool ok = false;
};

PeerFigures runPlaywright(const std::string& executable, int rounds) {
    fs::path script = fs::path(__FILE__).parent_path() / "playwright" / "bench.mjs";
    // Handed over in the environment: the page is not something to put through a shell.
    setenv("BENCH_CHROMIUM", executable.c_str(), 1);
    setenv("BENCH_PAGE", kPage, 1);
    setenv("BENCH_ROUNDS", std::to_string(rounds).c_str(), 1);
    std::string command = "node '" + script.string() + "'";
    PeerFigures figures;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return figures;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        int clicks = 0;
        if (std::sscanf(line, "playwright evaluate_ms=%lf click_ms=%lf clicks=%d", &figures.evaluateMs, &figures.clickMs,
                        &clicks) == 3) {
            figures.ok = clicks > 0;
        }
    }
    pclose(pipe);
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::max(20, std::atoi(argv[1])) : 1000;
    std::string executable = clipmill::cdp::findBrowserExecutable("");
    if (executable.empty()) {
        std::fprintf(stderr, "no Chromium found\n");
        return 1;
    }
    fs::path root = fs::temp_directory_path() / ("clipmill-bench-" + std::to_string(::getpid()));
    clipmill::cdp::CdpAutomation automation({root.string(), clipmill::cdp::BrowserMode::Headless});
    automation.form_global_init(executable, nullptr);
    int handle = automation.form_browser_start(kPage, {(root / "profile").string(), "", ""});
    if (handle == 0) {
        std::fprintf(stderr, "cannot start Chromium: %s\n", automation.lastError().c_str());
        return 1;
    }
    auto page = automation.browser(handle)->page();
    FloorClient floor(automation.browser(handle)->endpoint(), page->targetId());
    if (!floor.attached()) {
        std::fprintf(stderr, "the floor client could not attach to the page\n");
        return 1;
    }
    interleavedMediansMs(100, [&] { page->evaluate("1+1"); }, [&] { floor.evaluate(); });
    auto [evaluateMs, floorMs] = interleavedMediansMs(rounds, [&] { page->evaluate("1+1"); }, [&] { floor.evaluate(); });
    medianMs(20, [&] { automation.form_dom_click(handle, "#target", 0); });
    double clickMs = medianMs(std::max(50, rounds / 3), [&] { automation.form_dom_click(handle, "#target", 0); });
    int clicks = page->evaluate("window.clicks").integer();
    automation.form_close_browser(handle);
    std::error_code ec;
    fs::remove_all(root, ec);

    std::printf("chromium: %s\n", executable.c_str());
    std::printf("floor       evaluate median %.3f ms   (one thread, bare websocket)\n", floorMs);
    std::printf("ours        evaluate median %.3f ms   click median %.3f ms   (%d clicks arrived)\n", evaluateMs, clickMs,
                clicks);
    PeerFigures peer = runPlaywright(executable, rounds);
    if (!peer.ok) {
        std::printf("playwright  not measured (run npm ci in bench/playwright)\n");
        std::printf("summary: evaluate_vs_playwright=unmeasured goal<=0.33 click_vs_playwright=unmeasured goal<=0.50 "
                    "not met\n");
        return 0;
    }
    std::printf("playwright  evaluate median %.3f ms   click median %.3f ms\n", peer.evaluateMs, peer.clickMs);
    std::printf("ratio ours/playwright  evaluate %.2f (goal <= 0.33)   click %.2f (goal <= 0.50)\n",
                evaluateMs / peer.evaluateMs, clickMs / peer.clickMs);
    std::printf("ratio floor/playwright evaluate %.2f   (the best any client on this machine can reach)\n",
                floorMs / peer.evaluateMs);
    const double evaluateRatio = evaluateMs / peer.evaluateMs;
    const double clickRatio = clickMs / peer.clickMs;
    std::printf("summary: evaluate_vs_playwright=%.2f goal<=0.33 click_vs_playwright=%.2f goal<=0.50 %s\n",
                evaluateRatio, clickRatio, evaluateRatio <= 0.33 && clickRatio <= 0.50 ? "met" : "not met");
    return 0;
}
