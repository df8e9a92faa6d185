#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace clipmill {

// One element operation whose selector matched nothing.
struct ElementMiss {
    std::string role;
    std::string selector;
    int position = 0;
    std::string step;    // the page step it happened in
    std::string action;  // click, input, text, file
    bool operator==(const ElementMiss&) const = default;
};

// What the page did during one publication.
struct PageTrace {
    std::vector<ElementMiss> misses;
    std::string lastPercentage;  // as the page showed it, "" when it never did
    std::string addressBeforeSubmit;
    std::string addressAfterSubmit;
    std::vector<std::string> notes;  // profile values that were ignored, and the like

    void miss(ElementMiss missed);
    // The first miss of one of the roles without which the site does not get the video
    // as set up (video, zone, sub-zone, tag input, description, title, submit), or null.
    const ElementMiss* firstEssentialMiss() const;
    bool missed(const std::string& role) const;
};

// The page as it showed when the publication failed.
struct PageSnapshot {
    bool taken = false;
    std::string address;
    std::string html;
    std::string png;
};

struct FailureRecord {
    std::string accountId;
    std::string video;
    std::string reasonWord;
    std::string reasonText;
    std::string step;
    bool published = false;  // the site has the video; recorded for what the page missed
    PageTrace trace;
    PageSnapshot page;
};

inline constexpr std::size_t kMostFailureRecords = 200;

// programDir/data/失败记录
std::filesystem::path failureRecordsRoot(const std::filesystem::path& programDir);

// Writes data/失败记录/<date>-<time>_<account id>/ with reason.txt, page.png and page.html,
// then removes the oldest records beyond `keep`. The folder written; "" when it could not be.
std::filesystem::path writeFailureRecord(const std::filesystem::path& root, const FailureRecord& record,
                                         std::time_t when, std::size_t keep = kMostFailureRecords);

// The text of reason.txt.
std::string failureReasonText(const FailureRecord& record);

}  // namespace clipmill
