#include "update/error_report.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>

#include "net/digest.h"
#include "net/http_client.h"
#include "support/gbk.h"

namespace clipmill::update {

namespace {

constexpr const char* kSignSalt = "quillmoss47281t%%&&915";
// The stamp counts from 1970-01-01 08:00:00 local time, the epoch as seen in UTC+8.
constexpr long long kStampEpochOffsetSeconds = 8 * 3600;

bool copiedAsIs(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '-' || byte == '.';
}

long long secondsSinceStampEpoch(const std::tm& local) {
    using namespace std::chrono;
    const sys_days day = year_month_day(year(local.tm_year + 1900), month(static_cast<unsigned>(local.tm_mon + 1)),
                                        std::chrono::day(static_cast<unsigned>(local.tm_mday)));
    const long long seconds = static_cast<long long>(day.time_since_epoch().count()) * 86400 +
                              local.tm_hour * 3600LL + local.tm_min * 60LL + local.tm_sec;
    return seconds - kStampEpochOffsetSeconds;
}

std::string withoutBlanks(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
}

// PRETTY_NAME="Debian GNU/Linux 12 (bookworm)" -> Debian GNU/Linux 12 (bookworm)
std::string prettyNameOf(const std::string& line) {
    std::string value = line.substr(line.find('=') + 1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

std::string formEncode(std::string_view utf8) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0) continue;
        if (copiedAsIs(byte)) {
            out += c;
        } else if (byte == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

std::string timestamp10(const std::tm& local, int milliseconds) {
    char millis[8];
    std::snprintf(millis, sizeof millis, "%03d", std::clamp(milliseconds, 0, 999));
    std::string stamp = std::to_string(secondsSinceStampEpoch(local)) + millis;
    stamp.resize(10, '0');
    return stamp;
}

std::string timestamp10() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    ::localtime_r(&now.tv_sec, &local);
    return timestamp10(local, static_cast<int>(now.tv_nsec / 1000000));
}

std::string signLine(const std::string& stamp) {
    return "sign:" + net::md5Hex(utf8ToGbk(kSignSalt + stamp)) + "@" + stamp;
}

std::string signLine() { return signLine(timestamp10()); }

std::string errorReportTitle(const ReportOrigin& origin) {
    return withoutBlanks("电脑" + origin.host + "发现bug，软件-" + origin.exe + "版本号" + origin.version);
}

std::string errorReportBody(const ReportOrigin& origin, int errorNumber, std::string_view message) {
    return "所属软件：" + origin.exe + "\r\n    软件运行路径：" + origin.programDir + "\r\n   操作系统：" + origin.os +
           "\r\n   软件错误代码：" + std::to_string(errorNumber) + "\r\n   错误信息：" + std::string(message) +
           "\r\n其他信息：" + "     Norvane 错误信息和bug通知系统。\r\n";
}

std::string fatalErrorBoxText(int errorNumber, std::string_view message) {
    return "软件发生致命错误，已经上报开发人员加紧修复bug\r\n   软件错误代码：" + std::to_string(errorNumber) +
           "\r\n   错误信息：" + std::string(message);
}

std::string hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

std::string operatingSystemName() {
    std::ifstream release("/etc/os-release");
    for (std::string line; std::getline(release, line);)
        if (line.rfind("PRETTY_NAME=", 0) == 0) return prettyNameOf(line);
    utsname system{};
    if (::uname(&system) != 0) return "Linux";
    return std::string(system.sysname) + " " + system.release;
}

void sendErrorReport(const std::string& endpoint, const std::string& target, const std::string& title,
                     const std::string& body) {
    net::HttpRequest request;
    request.url = endpoint + "?mubiao=" + target + "&title=" + formEncode(title) + "&body=" + formEncode(body) +
                  "&sa=1";
    request.extraHeaders = signLine();
    net::requestText(request);
}

}  // namespace clipmill::update
