#pragma once

#include <httplib.h>

#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace practice {

// What the upload page shows to the signed-in account.
enum class AccountState { Ok, LoggedOut, LoggedOutWithQuery, Banned };

// How the upload page behaves; set by command-line flags or the control endpoint.
struct Knobs {
    int uploadMs = 1500;       // from the file handed over to "上传完成"
    bool stallUpload = false;  // the percentage stops and never reaches 100
    bool failUpload = false;   // the upload ends with "上传失败"
    int coverDelayMs = 500;    // how long the system covers stay behind the loading indicator
    bool refuseCover = false;  // every own cover is refused; the upload hint stays
    bool submitNoop = false;   // the submit button does nothing
    int submitSendMs = 0;      // the page tells the site of the click at once, sends the submit this much later
    int submitAnswerMs = 0;    // the site records the submit, then answers this much later
    bool dropUpload = false;   // the site drops the connection halfway through the video upload
    bool movedUpload = false;  // the upload page's address redirects to where the site moved it
    std::string submitClass;   // the submit button's class when the site renamed it ("": the usual one)
    bool tooFrequent = false;  // a submit is answered with a "投稿过于频繁" toast and not taken
    int verificationMs = 0;    // the first submit shows a captcha that goes away after this long
    bool answerLost = false;   // a submit is taken, then its connection drops without an answer
    int refuseCode = 0;        // a submit is answered with this code and its message, and not taken
    long long siteId = 10001;  // the signed-in account's id as the identity answer gives it
    bool successInPlace = false;  // a taken submit is shown on the upload page's own address
};

// A submission the site took.
struct Archive {
    long long aid = 0;
    std::string bvid;
    std::string title;
    long long createdAt = 0;  // seconds since the epoch
};

// The message the site answers a refused submit's code with.
std::string refusalMessage(int code);

// Sets the knob named like its flag without the dashes ("upload-ms", "stall-upload", ...).
// Flags without a value take "1". False for an unknown name.
bool setKnob(Knobs& knobs, const std::string& name, const std::string& value);

// The practice site: upload page, login page, the page of a banned account, and endpoints
// that take the uploaded files and the submission and record them, one JSON object a line.
class Site {
public:
    Site(const std::string& recordFile, Knobs knobs);
    // Binds 127.0.0.1:port (0: any free port); the port, or -1.
    int bind(int port);
    void run();
    void stop();

private:
    void routePages();
    void routeApi();
    void routeControl();
    void routeAccount();
    void onSubmit(const httplib::Request& request, httplib::Response& response);
    Archive accept(const std::string& fields);
    AccountState accountState();
    void record(const std::string& jsonLine);
    Knobs knobs();

    httplib::Server server_;
    std::mutex mutex_;
    std::ofstream record_;
    AccountState state_ = AccountState::Ok;
    Knobs knobs_;
    long long nextAid_ = 1000;
    std::vector<Archive> archives_;  // in the order taken
};

// Pages as the site serves them.
std::string uploadPageHtml(const Knobs& knobs);
const std::string& loginPageHtml();
const std::string& bannedPageHtml();
const std::string& doneHtml();

// The text as a JSON string literal.
std::string jsonString(const std::string& text);

}  // namespace practice
