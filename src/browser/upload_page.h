#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "accounts/account_table.h"
#include "browser/automation.h"
#include "browser/page_profile.h"
#include "engine/run_services.h"
#include "platform/clipboard.h"
#include "settings/run_settings.h"

namespace clipmill {

// What the upload page steps work with besides the job.
struct UploadPageDeps {
    BrowserAutomation& automation;
    RunSettings& settings;
    AccountTable& accounts;
    Clipboard& clipboard;
    std::string uploadPageUrl;
    // The account's browser, as the browser session holds it.
    std::function<int()> handle;
    // Brings up the upload page of the job's account: 1 when it shows and the account is usable.
    std::function<int(UploadJob&, PublishContext&)> openAccountPage;
    std::function<void(const std::string&)> setBrowserTitle;
    // The title to type, or nothing when the page keeps the title it made from the file name.
    std::function<std::optional<std::string>(const UploadJob&)> composeTitle;
    // Every random choice (inclusive bounds); randomInclusive when empty.
    std::function<int(int, int)> draw;
    // The upload page's address as it loaded for this publication, without query and
    // fragment; the configured address when empty.
    std::function<std::string()> landedUploadPage;
    // A submit that lands here did not publish: the account was signed out meanwhile.
    std::string loginPageUrl;
    // The page facts, read again from their file before each publication; the built-in
    // ones when null.
    PageProfileSource* profiles = nullptr;
    // Where failure records go (data/失败记录); none are written when empty.
    std::filesystem::path recordsRoot;
};

// Publishes one video on the site's upload page by working its elements as a person would.
class UploadPage final : public Publisher {
public:
    explicit UploadPage(UploadPageDeps deps) : deps_(std::move(deps)) {}

    // 1 when the video was submitted and the page moved on; 0 otherwise.
    int publishVideo(UploadJob& job, PublishContext& context) override;

private:
    UploadPageDeps deps_;
};

}  // namespace clipmill
