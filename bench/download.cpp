// Downloads a 1 GiB file from a loopback server with the segmented downloader (2 threads),
// `curl -o` and `aria2c -x2 -s2`, three rounds, and prints each one's median MB/s and this
// program's peak memory; then downloads a file of 2 GiB + 1 MiB and checks its SHA-256.
// The server is a child process serving a generated pattern, so neither its memory nor the
// file's bytes count towards this program's; the files go to a temporary folder on disk.
//
// bench_download
#include <openssl/evp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "fixtures/practice_http_server.h"
#include "net/segmented_downloader.h"

namespace fs = std::filesystem;
using namespace clipmill;

extern char** environ;

namespace {

constexpr std::int64_t kMiB = 1024 * 1024;
constexpr std::int64_t kOneGiB = 1024 * kMiB;
constexpr std::int64_t kLarge = 2048 * kMiB + kMiB;
constexpr int kRounds = 3;

struct ServerChild {
    pid_t pid = 0;
    int keepAlive = -1;  // the child serves until this pipe closes
    int port = 0;
};

// Forked before this program starts any thread.
ServerChild startServerChild() {
    int portPipe[2], lifePipe[2];
    if (pipe(portPipe) != 0 || pipe(lifePipe) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        close(portPipe[0]);
        close(lifePipe[1]);
        {
            testing::PracticeHttpServer server;
            server.servePattern("/1g.bin", kOneGiB);
            server.servePattern("/large.bin", kLarge);
            int port = server.port();
            if (write(portPipe[1], &port, sizeof port) != sizeof port) _exit(1);
            char c;
            while (read(lifePipe[0], &c, 1) > 0) {
            }
        }
        _exit(0);
    }
    close(portPipe[1]);
    close(lifePipe[0]);
    ServerChild child{pid, lifePipe[1], 0};
    if (read(portPipe[0], &child.port, sizeof child.port) != sizeof child.port) child.port = 0;
    close(portPipe[0]);
    return child;
}

void stopServerChild(ServerChild& child) {
    close(child.keepAlive);
    int status = 0;
    waitpid(child.pid, &status, 0);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Seconds of one download with our downloader, or a negative number when it failed.
double downloadOurs(const std::string& url, const fs::path& target) {
    std::mutex mutex;
    std::condition_variable ended;
    int finalStatus = 1;
    auto start = std::chrono::steady_clock::now();
    net::SegmentedDownloader downloader;
    downloader.start(url, target.string(), 2, [&](int, int status, std::int64_t, std::int64_t) {
        if (status == 1) return;
        std::lock_guard lock(mutex);
        finalStatus = status;
        ended.notify_all();
    });
    std::unique_lock lock(mutex);
    ended.wait(lock, [&] { return finalStatus != 1; });
    double seconds = secondsSince(start);
    return finalStatus == 0 ? seconds : -1;
}

double runPeer(std::vector<std::string> argv, const fs::path& target, std::int64_t size) {
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    double seconds = secondsSince(start);
    std::error_code ec;
    bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && fs::file_size(target, ec) == std::uintmax_t(size);
    return ok ? seconds : -1;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double megabytesPerSecond(std::int64_t size, double seconds) { return seconds > 0 ? size / 1e6 / seconds : 0; }

std::string hex(const unsigned char* digest, unsigned length) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < length; ++i) {
        out += digits[digest[i] >> 4];
        out += digits[digest[i] & 15];
    }
    return out;
}

// SHA-256 of the served pattern, made piece by piece as the server makes it.
std::string patternSha256(std::int64_t size) {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
    std::vector<char> piece(kMiB);
    for (std::int64_t offset = 0; offset < size; offset += kMiB) {
        auto n = static_cast<std::size_t>(std::min(kMiB, size - offset));
        testing::fillPattern(offset, piece.data(), n);
        EVP_DigestUpdate(context, piece.data(), n);
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_DigestFinal_ex(context, digest, &length);
    EVP_MD_CTX_free(context);
    return hex(digest, length);
}

std::string fileSha256(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "";
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
    std::vector<char> piece(kMiB);
    while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0)
        EVP_DigestUpdate(context, piece.data(), static_cast<std::size_t>(in.gcount()));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_DigestFinal_ex(context, digest, &length);
    EVP_MD_CTX_free(context);
    return hex(digest, length);
}

long peakRssKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

}  // namespace

int main() {
    ServerChild server = startServerChild();
    if (server.port <= 0) {
        std::fprintf(stderr, "cannot start the loopback server\n");
        return 1;
    }
    auto base = "http://127.0.0.1:" + std::to_string(server.port);
    std::string folderTemplate = (fs::temp_directory_path() / "clipmill-bench-download-XXXXXX").string();
    if (!mkdtemp(folderTemplate.data())) return 1;
    fs::path dir = folderTemplate;
    fs::path target = dir / "1g.bin";
    std::string url = base + "/1g.bin";

    std::vector<double> ours, curl, aria2;
    bool allOk = true;
    for (int round = 1; round <= kRounds; ++round) {
        ours.push_back(downloadOurs(url, target));
        fs::remove(target);
        curl.push_back(runPeer({"curl", "-s", "-o", target.string(), url}, target, kOneGiB));
        fs::remove(target);
        aria2.push_back(runPeer({"aria2c", "-x2", "-s2", "-d", dir.string(), "-o", "1g.bin", "--allow-overwrite=true",
                                 "--auto-file-renaming=false", "--file-allocation=trunc", "--quiet=true", url},
                                target, kOneGiB));
        fs::remove(target);
        std::printf("round %d: ours %.2f s, curl %.2f s, aria2c %.2f s\n", round, ours.back(), curl.back(),
                    aria2.back());
        for (double s : {ours.back(), curl.back(), aria2.back()}) allOk = allOk && s > 0;
    }
    double oursRate = megabytesPerSecond(kOneGiB, median(ours));
    double curlRate = megabytesPerSecond(kOneGiB, median(curl));
    double aria2Rate = megabytesPerSecond(kOneGiB, median(aria2));
    std::printf("1 GiB, median of %d: ours (2 threads) %.0f MB/s, curl -o %.0f MB/s, aria2c -x2 -s2 %.0f MB/s\n",
                kRounds, oursRate, curlRate, aria2Rate);

    std::string expected = patternSha256(kLarge);
    fs::path large = dir / "large.bin";
    double largeSeconds = downloadOurs(base + "/large.bin", large);
    std::string actual = largeSeconds > 0 ? fileSha256(large) : "";
    fs::remove(large);
    bool hashOk = !expected.empty() && actual == expected;
    std::printf("2 GiB + 1 MiB: ours %.2f s (%.0f MB/s), sha256 %s (expected %s)\n", largeSeconds,
                megabytesPerSecond(kLarge, largeSeconds), actual.empty() ? "-" : actual.c_str(), expected.c_str());

    stopServerChild(server);
    fs::remove_all(dir);

    double peakMb = peakRssKiB() / 1024.0;
    double ratio = oursRate / std::max(curlRate, aria2Rate);
    std::printf("peak RSS of this program (VmHWM): %.1f MB\n", peakMb);
    bool met = allOk && hashOk && ratio >= 0.90 && peakMb < 50;
    std::printf("summary: ratio_vs_fastest=%.2f goal>=0.90 peak_rss_mb=%.0f goal<50 sha256_ok=%d goal==1 %s\n", ratio,
                peakMb, hashOk ? 1 : 0, met ? "met" : "not met");
    return 0;
}
