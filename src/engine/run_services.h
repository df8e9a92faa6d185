#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "browser/account_browser.h"
#include "browser/publication.h"
#include "browser/upload_job.h"
#include "support/clock.h"

namespace clipmill {

// The videos whose publication waits to be decided: they are not to be offered.
struct HeldBack {
    std::function<bool(const std::string& path)> holds;  // empty: none is held back
    std::size_t count = 0;                               // how many are held back in all
};

// Picks a video from a material folder and disposes of it once it is published.
class VideoMaterial {
public:
    virtual ~VideoMaterial() = default;
    // Full path of one video that is not held back, or "" when there is none this time;
    // writes its own status texts into `row` of the account list and the status bar.
    virtual std::string selectVideo(const std::string& folder, int row, const HeldBack& held = {}) = 0;
    // Moves or deletes a published video and its same-name cover. True when the video
    // left its folder.
    virtual bool disposeVideo(const std::string& videoPath) = 0;
};

// The account a job is composed for.
struct JobAccount {
    std::string id;
    std::string nickname;  // the account file's, else the list's
    std::string siteId;    // the site's id of the account, kept after its first publication
};

// Makes the whole job from the settings as they are at that moment.
class JobComposer {
public:
    virtual ~JobComposer() = default;
    virtual UploadJob composeJob(const JobAccount& account, const std::string& videoPath) = 0;
    // A job that did not reach the site gives back what it took from shared pools (its
    // library title), so nothing is used up by a publication that failed.
    virtual void giveBack(const UploadJob& job) = 0;
    virtual void copyRandomCover(const std::string& videoPath) = 0;
};

// Hangs up and redials the broadband connection between accounts.
class Redialer {
public:
    virtual ~Redialer() = default;
    virtual void redial(Waiter& waiter) = 0;
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
