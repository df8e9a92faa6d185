#pragma once

#include <httplib.h>

#include <fstream>
#include <mutex>
#include <string>

namespace practice {

// What the upload page shows to the signed-in account.
enum class AccountState { Ok, LoggedOut, LoggedOutWithQuery, Banned };

// The practice site: upload page, login page, the page of a banned account, and endpoints
// that take the uploaded file and the submission and record them, one JSON object a line.
class Site {
public:
    explicit Site(const std::string& recordFile);
    // Binds 127.0.0.1:port (0: any free port); the port, or -1.
    int bind(int port);
    void run();
    void stop();

private:
    void routePages();
    void routeApi();
    void routeControl();
    void record(const std::string& jsonLine);

    httplib::Server server_;
    std::mutex mutex_;
    std::ofstream record_;
    AccountState state_ = AccountState::Ok;
};

// Pages as the site serves them.
const std::string& uploadPageHtml();
const std::string& loginPageHtml();
const std::string& bannedPageHtml();
const std::string& doneHtml();

// The text as a JSON string literal.
std::string jsonString(const std::string& text);

}  // namespace practice
