#pragma once

#include <functional>
#include <string>

#include "accounts/account_record.h"
#include "engine/failure_reason.h"
#include "support/clock.h"

namespace clipmill {

// What the page records of a video it submitted.
struct SubmittedFields {
    std::string title;
    std::string zone;
    std::string subZone;
};

// What the page steps get from the run while one video is being published.
struct PublishContext {
    Waiter& waiter;                      // every wait of the page steps; false = Stop
    int row = -1;                        // the account's row when the video began
    std::function<bool()> giveUpCheck;   // false: give the video up at once
    std::function<void()> abandonTimer;  // reset the elapsed seconds and stop the ticker
    // The account's row now (rows move when the user edits the list); `row` when unset.
    std::function<int()> rowNow;
    // Just before the first click on submit, with the upload page's address as it loaded.
    std::function<void(const std::string& landedAddress)> onSubmitting;
    // The moment the page left the upload page after a click on submit: from then on the
    // video is published, whatever happens next.
    std::function<void(const SubmittedFields&)> onSubmitted;
    // The give-up limit of this run in seconds, 0 for none.
    int giveUpSeconds = 0;
    // Runs just before the give-up check closes the browser, while its page still shows.
    std::function<void()> onGivingUp;
    // Why the publication failed, as a journal reason word and the text the user sees; ""
    // when no step said.
    std::string failure;
    std::string failureText;
    // The failure record written for this publication, "" when none.
    std::string recordFolder;

    int currentRow() const { return rowNow ? rowNow() : row; }
    void fail(const char* reason) { fail(FailureReason{reason, clipmill::failureText(reason)}); }
    void fail(const FailureReason& reason) {
        if (!failure.empty()) return;
        failure = reason.word;
        failureText = reason.text;
    }
};

// Picks a video from a material folder and disposes of it once it is published.
class VideoMaterial {
public:
    virtual ~VideoMaterial() = default;
    // Full path of one video, or "" when there is none this time; writes its own status
    // texts into `row` of the account list and the status bar.
    virtual std::string selectVideo(const std::string& folder, int row) = 0;
    // Moves or deletes a published video and its same-name cover. True when the video
    // left its folder.
    virtual bool disposeVideo(const std::string& videoPath) = 0;
};

// Fills the job with everything typed on the page that is not typed by hand.
class JobComposer {
public:
    virtual ~JobComposer() = default;
    virtual void composeJob(UploadJob& job) = 0;
    virtual void copyRandomCover(const std::string& videoPath) = 0;
};

// Publishes the video named in the job. 1 = published; anything else = failed or given up.
class Publisher {
public:
    virtual ~Publisher() = default;
    virtual int publishVideo(UploadJob& job, PublishContext& context) = 0;
};

// Hangs up and redials the broadband connection between accounts.
class Redialer {
public:
    virtual ~Redialer() = default;
    virtual void redial(Waiter& waiter) = 0;
};

// The current account's browser as the run loop sees it.
class BrowserControl {
public:
    virtual ~BrowserControl() = default;
    virtual void closeBrowser() = 0;                            // harmless when closed
    virtual void setBrowserTitle(const std::string& title) = 0; // harmless when closed
};

// The operations the run loop hands off to, one object per concern.
struct RunServices {
    VideoMaterial& material;
    JobComposer& composer;
    Publisher& publisher;
    Redialer& redialer;
    BrowserControl& browser;
};

}  // namespace clipmill
