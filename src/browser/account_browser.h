#pragma once

#include <string>

#include "browser/failure_reason.h"
#include "browser/publication.h"
#include "browser/site_addresses.h"

namespace clipmill {

// The upload page of an account's browser, brought up for one publication.
struct PageOpening {
    bool shown = false;         // the upload page of a usable account shows
    FailureReason failure;      // why not; empty word when the run stopped or gave up
    bool accountUnusable = false;  // the page said the account is banned or signed out
    bool gaveUp = false;           // the give-up limit passed while no browser would start
    std::string landedAddress;  // the upload page's address once loaded, without query
};

// The account's browser, as the run loop sees it between publications.
class BrowserControl {
public:
    virtual ~BrowserControl() = default;
    virtual void closeBrowser() = 0;                            // harmless when closed
    virtual void setBrowserTitle(const std::string& title) = 0; // harmless when closed
};

// The account's browser, as the upload page works it.
class AccountBrowser : public BrowserControl {
public:
    // Starts or reaches the browser on the account's profile and brings up the upload page.
    virtual PageOpening openUploadPage(const std::string& accountId, PublishContext& context) = 0;
    // The browser the page drives, 0 for none.
    virtual int handle() const = 0;
    virtual const SiteAddresses& addresses() const = 0;
};

}  // namespace clipmill
