#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace clipmill::update {

// The caption of the box that tells the user about a fatal error.
inline constexpr const char* kFatalErrorCaption = "Norvanebug提示";

// What an error report says about the machine and the program.
struct ReportOrigin {
    std::string host;        // the computer's host name
    std::string exe;         // the program's file name
    std::string version;     // the program's version, "8.8"
    std::string programDir;  // the program's folder, without a trailing separator
    std::string os;          // the operating system's name
};

// The text's UTF-8 bytes for a form field: letters, digits, "-" and "." as they are, a blank
// as "+", a zero byte left out, every other byte as "%" and two upper-case hex digits.
std::string formEncode(std::string_view utf8);

// The seconds from 1970-01-01 08:00:00 to the local time `local`, with its milliseconds
// appended as three digits, cut to ten characters and padded with "0" to ten.
std::string timestamp10(const std::tm& local, int milliseconds);
std::string timestamp10();  // of the current local time

// The header line that signs a report sent at `stamp`: "sign:" + MD5 + "@" + stamp.
std::string signLine(const std::string& stamp);
std::string signLine();  // stamped now

// The title and body of the report, and the text of the box shown before it is sent.
std::string errorReportTitle(const ReportOrigin& origin);
std::string errorReportBody(const ReportOrigin& origin, int errorNumber, std::string_view message);
std::string fatalErrorBoxText(int errorNumber, std::string_view message);

// The host name and operating-system name of this machine.
std::string hostName();
std::string operatingSystemName();

// The report as a signed GET of `endpoint`; the answer is not looked at.
void sendErrorReport(const std::string& endpoint, const std::string& target, const std::string& title,
                     const std::string& body);

}  // namespace clipmill::update
