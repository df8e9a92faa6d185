#pragma once

#include "engine/run_services.h"

namespace clipmill {

// Stand-ins for the operations whose modules are not built yet: no video, nothing to
// compose, publishing fails, redial and the browser do nothing.
class NoVideoMaterial final : public VideoMaterial {
public:
    std::string selectVideo(const std::string&, int) override { return {}; }
    bool disposeVideo(const std::string&) override { return false; }
};

class NoJobComposer final : public JobComposer {
public:
    void composeJob(UploadJob&) override {}
    void copyRandomCover(const std::string&) override {}
};

class FailingPublisher final : public Publisher {
public:
    int publishVideo(UploadJob&, PublishContext&) override { return 0; }
};

class NoRedialer final : public Redialer {
public:
    void redial(Waiter&) override {}
};

class NoBrowser final : public BrowserControl {
public:
    void closeBrowser() override {}
    void setBrowserTitle(const std::string&) override {}
};

}  // namespace clipmill
