#include "net/redial.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "net/http_client.h"
#include "net/text_search.h"

namespace clipmill::net {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kQuickCommandLimit{15000};
constexpr milliseconds kDialLimit{90000};
constexpr const char* kDefaultEntry = "宽带连接";

// nmcli's exit codes that say this machine cannot dial the entry at all.
constexpr int kNetworkManagerNotRunning = 8;
constexpr int kNoSuchConnection = 10;

// A file holding the password for one nmcli call: mode 0600, removed when the object goes.
class PasswordFile {
public:
    explicit PasswordFile(const std::string& password) {
        if (password.empty() || password.find('\n') != std::string::npos) return;
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        std::string pattern = std::string(runtime && *runtime ? runtime : "/tmp") + "/clipmill-dial-XXXXXX";
        const int fd = ::mkstemp(pattern.data());  // created with mode 0600
        if (fd < 0) return;
        const std::string line = "pppoe.password:" + password + "\n";
        const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
        ::close(fd);
        path_ = pattern;
        if (!written) remove();
    }
    ~PasswordFile() { remove(); }
    PasswordFile(const PasswordFile&) = delete;
    PasswordFile& operator=(const PasswordFile&) = delete;
    const std::string& path() const { return path_; }

private:
    void remove() {
        if (!path_.empty()) ::unlink(path_.c_str());
        path_.clear();
    }
    std::string path_;
};

// A terse nmcli field with its escapes undone ("a\:b" -> "a:b").
std::string unescapeTerse(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 1 < field.size()) ++i;
        out += field[i];
    }
    return out;
}

std::string firstAddressOf(std::string_view output) {
    std::string_view first = output.substr(0, output.find_first_of("\n|"));
    first = first.substr(0, first.find('/'));
    return trimBlanks(first);
}

std::string textBetween(const std::string& text, const std::string& start, const std::string& end) {
    const auto from = text.find(start);
    if (from == std::string::npos) return {};
    const auto begin = from + start.size();
    const auto to = text.find(end, begin);
    return to == std::string::npos ? std::string() : text.substr(begin, to - begin);
}

}  // namespace

std::vector<std::string> adapterAddresses() {
    std::vector<std::pair<std::string, std::string>> adapters;  // name, first IPv4
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return {};
    for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_name == nullptr || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
        auto adapter = std::find_if(adapters.begin(), adapters.end(),
                                    [&](const auto& a) { return a.first == entry->ifa_name; });
        if (adapter == adapters.end()) adapter = adapters.insert(adapters.end(), {entry->ifa_name, ""});
        if (!adapter->second.empty() || entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        if (::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text)) adapter->second = text;
    }
    ::freeifaddrs(list);
    std::vector<std::string> addresses;
    for (const auto& adapter : adapters) addresses.push_back(adapter.second.empty() ? "0.0.0.0" : adapter.second);
    return addresses;
}

std::string currentPublicIp(const std::string& echoUrl, const std::function<bool()>& cancelled) {
    if (echoUrl.empty()) return {};
    HttpRequest outer;
    outer.url = echoUrl;
    outer.extraHeaders =
        "User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
        "Chrome/50.0.2661.87 Safari/537.36";
    outer.cancelled = cancelled;
    std::string inner = textBetween(requestBytes(outer).bodyBytes, "<iframe src=\"", "\"");
    if (inner.empty()) return {};
    if (!inner.starts_with("http")) inner = "http:" + inner;
    HttpRequest second;
    second.url = inner;
    second.cancelled = cancelled;
    return textBetween(requestBytes(second).bodyBytes, "您的IP地址是：", "</title>");
}

CommandResult Redialer::nmcli(const std::vector<std::string>& args, milliseconds limit) {
    std::vector<std::string> argv{"nmcli"};
    argv.insert(argv.end(), args.begin(), args.end());
    CommandResult result = runCommand(argv, limit, [this] { return waiter_.stopped(); });
    if (!result.started || (result.finished && (result.exitCode == kNetworkManagerNotRunning ||
                                                result.exitCode == kNoSuchConnection)))
        impossible_ = true;
    return result;
}

bool Redialer::isConnectedAs(const std::string& entry) {
    const CommandResult active = nmcli({"-t", "-f", "NAME", "connection", "show", "--active"}, kQuickCommandLimit);
    if (!active.finished || active.exitCode != 0) return false;
    for (std::string_view line : splitOn(active.output, "\n"))
        if (trimBlanks(unescapeTerse(line)) == entry) return true;
    return false;
}

bool Redialer::hangUpByName(const std::string& entry) {
    const CommandResult down = nmcli({"connection", "down", "id", entry}, kQuickCommandLimit);
    return down.finished && down.exitCode == 0;
}

bool Redialer::hangUp() { return !connection_.empty() && hangUpByName(connection_); }

bool Redialer::bringUp(const std::string& entry, const std::string& passwordFile) {
    std::vector<std::string> args{"connection", "up", "id", entry};
    if (!passwordFile.empty()) args.insert(args.end(), {"passwd-file", passwordFile});
    const CommandResult up = nmcli(args, kDialLimit);
    return up.finished && up.exitCode == 0;
}

bool Redialer::dial(const std::string& entry, const std::string& user, const std::string& password) {
    connection_.clear();
    // The user name is no secret; the password only ever travels in the file.
    if (!user.empty()) nmcli({"connection", "modify", "id", entry, "pppoe.username", user}, kQuickCommandLimit);
    if (impossible_ || waiter_.stopped()) return false;
    PasswordFile file(password);
    for (int attempt = 0; attempt < 2 && connection_.empty(); ++attempt) {
        if (bringUp(entry, file.path())) connection_ = entry;
        if (impossible_ || waiter_.stopped()) break;
    }
    return !connection_.empty();
}

std::string Redialer::connectionAddress(const std::string& entry) {
    const CommandResult shown = nmcli({"-g", "IP4.ADDRESS", "connection", "show", "id", entry}, kQuickCommandLimit);
    if (!shown.finished || shown.exitCode != 0) return {};
    return firstAddressOf(shown.output);
}

std::string Redialer::redialOnce(const std::string& entry, const std::string& user, const std::string& password) {
    if (isConnectedAs(entry) && !hangUp()) {
        const std::string name = trimBlanks(entry).empty() ? std::string(kDefaultEntry) : entry;
        hangUpByName(name);
    }
    if (impossible_ || waiter_.stopped() || !dial(entry, user, password)) return {};
    return connectionAddress(entry);
}

void redial(const DialSettingsSource& settings, RedialPrompt& prompt, Waiter& waiter, const std::string& ipEchoUrl) {
    constexpr int kFurtherTries = 10;
    Redialer redialer(waiter);
    auto attempt = [&] {
        const DialSettings now = settings();
        return redialer.redialOnce(now.entry, now.user, now.password);
    };
    prompt.show("当前ip：" + currentPublicIp(ipEchoUrl, [&] { return waiter.stopped(); }));
    std::string result = attempt();
    for (int tries = 0; result.empty() && tries < kFurtherTries && !redialer.dialImpossible(); ++tries) {
        if (!waiter.waitSeconds(8)) return;
        result = attempt();
        prompt.show("重新拨号失败，8秒后继续");
    }
    if (waiter.stopped()) return;
    const std::string outcome = result.empty() ? "\r\n自动拨号可能没有成功，请确认：" : "\r\n重播成功新ip：";
    prompt.append(outcome + result);
}

}  // namespace clipmill::net
