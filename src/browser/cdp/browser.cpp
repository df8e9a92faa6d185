#include "browser/cdp/browser.h"

#include <thread>

#include "browser/cdp/json.h"
#include "browser/cdp/launcher.h"

namespace clipmill::cdp {

namespace {
constexpr Millis kConnectTimeout{5000};
constexpr Millis kCloseTimeout{5000};
constexpr Millis kProbeTimeout{3000};
}  // namespace

std::shared_ptr<ChromiumBrowser> ChromiumBrowser::connect(const Endpoint& endpoint, const std::string& profileDir,
                                                          std::string& error) {
    auto connection = Connection::open(endpoint, kConnectTimeout, error);
    if (!connection) return nullptr;
    std::shared_ptr<ChromiumBrowser> browser(new ChromiumBrowser(connection, endpoint, profileDir));
    std::weak_ptr<ChromiumBrowser> weak = browser;
    browser->detachSubscription_ =
        connection->subscribe("Target.detachedFromTarget", "", [weak](const rapidjson::Value& params) {
            if (auto self = weak.lock()) self->onDetached(stringMember(params, "sessionId"));
        });
    return browser;
}

ChromiumBrowser::ChromiumBrowser(std::shared_ptr<Connection> connection, Endpoint endpoint, std::string profileDir)
    : connection_(std::move(connection)), endpoint_(std::move(endpoint)), profileDir_(std::move(profileDir)) {}

ChromiumBrowser::~ChromiumBrowser() { connection_->close(); }

bool ChromiumBrowser::responds() {
    return connection_->connected() && connection_->call("Browser.getVersion", "{}", "", kProbeTimeout).ok;
}

std::vector<std::string> ChromiumBrowser::pageTargetIds() {
    Reply reply = connection_->call("Target.getTargets");
    std::vector<std::string> ids;
    const auto* infos = member(reply.result(), "targetInfos");
    if (!infos || !infos->IsArray()) return ids;
    for (const auto& info : infos->GetArray()) {
        if (stringMember(info, "type") != "page") continue;
        if (stringMember(info, "url").starts_with("chrome://omnibox-popup")) continue;
        ids.push_back(stringMember(info, "targetId"));
    }
    return ids;
}

std::shared_ptr<PageSession> ChromiumBrowser::page() {
    std::lock_guard lock(mutex_);
    if (page_ && connection_->connected()) return page_;
    if (!connection_->connected()) return nullptr;
    auto ids = pageTargetIds();
    if (ids.empty()) {
        Reply created = connection_->call("Target.createTarget", jsonObject({{"url", "about:blank"}}));
        if (!created.ok) return nullptr;
        ids.push_back(stringMember(created.result(), "targetId"));
    }
    page_ = attach(ids.front());
    return page_;
}

std::shared_ptr<PageSession> ChromiumBrowser::attach(const std::string& targetId) {
    Reply attached =
        connection_->call("Target.attachToTarget", jsonObject({{"targetId", targetId}, {"flatten", true}}));
    std::string sessionId = stringMember(attached.result(), "sessionId");
    if (sessionId.empty()) return nullptr;
    for (int id : pageSubscriptions_) connection_->unsubscribe(id);
    pageSubscriptions_.clear();
    std::weak_ptr<ChromiumBrowser> weak = weak_from_this();
    std::weak_ptr<Connection> weakConnection = connection_;
    pageSubscriptions_.push_back(connection_->subscribe(
        "Page.javascriptDialogOpening", sessionId, [weakConnection, sessionId](const rapidjson::Value&) {
            if (auto connection = weakConnection.lock()) {
                connection->send("Page.handleJavaScriptDialog", jsonObject({{"accept", true}}), sessionId);
            }
        }));
    pageSubscriptions_.push_back(
        connection_->subscribe("Page.fileChooserOpened", sessionId, [weak, sessionId](const rapidjson::Value& params) {
            if (auto self = weak.lock()) self->onFileChooser(sessionId, intMember(params, "backendNodeId"));
        }));
    auto enabled = connection_->send("Page.enable", "{}", sessionId);
    auto intercept = connection_->send("Page.setInterceptFileChooserDialog", jsonObject({{"enabled", true}}), sessionId);
    if (!enabled.wait(Connection::kDefaultTimeout).ok) return nullptr;
    intercept.wait(Connection::kDefaultTimeout);
    return std::make_shared<PageSession>(connection_, sessionId, targetId);
}

void ChromiumBrowser::onDetached(const std::string& sessionId) {
    std::lock_guard lock(mutex_);
    if (page_ && page_->sessionId() == sessionId) page_.reset();
}

void ChromiumBrowser::answerNextFileChooser(const std::string& path) {
    std::lock_guard lock(mutex_);
    chooserFile_ = path;
}

void ChromiumBrowser::onFileChooser(const std::string& sessionId, int backendNodeId) {
    std::string file;
    {
        std::lock_guard lock(mutex_);
        file.swap(chooserFile_);
    }
    // Without a file to give, the chooser is answered empty so that the page is not left waiting.
    std::vector<std::string> files;
    if (!file.empty()) files.push_back(file);
    connection_->send("DOM.setFileInputFiles",
                      jsonObject({{"files", Json::strings(files)}, {"backendNodeId", backendNodeId}}), sessionId);
}

bool ChromiumBrowser::closeOtherPages() {
    auto kept = page();
    if (!kept) return false;
    bool ok = true;
    for (const auto& id : pageTargetIds()) {
        if (id == kept->targetId()) continue;
        ok = connection_->call("Target.closeTarget", jsonObject({{"targetId", id}})).ok && ok;
    }
    return ok;
}

bool ChromiumBrowser::activatePage() {
    auto current = page();
    if (!current) return false;
    bool activated = connection_->call("Target.activateTarget", jsonObject({{"targetId", current->targetId()}})).ok;
    return connection_->call("Page.bringToFront", "{}", current->sessionId()).ok && activated;
}

std::optional<int> ChromiumBrowser::windowId() {
    auto current = page();
    if (!current) return std::nullopt;
    Reply reply = connection_->call("Browser.getWindowForTarget", jsonObject({{"targetId", current->targetId()}}));
    if (!reply.ok) return std::nullopt;
    return intMember(reply.result(), "windowId");
}

bool ChromiumBrowser::setWindowBounds(const WindowBounds& bounds) {
    auto id = windowId();
    if (!id) return false;
    // The window state and the bounds are refused when given in one call.
    connection_->call("Browser.setWindowBounds",
                      jsonObject({{"windowId", *id}, {"bounds", Json::raw(jsonObject({{"windowState", "normal"}}))}}));
    std::string rect = jsonObject(
        {{"left", bounds.left}, {"top", bounds.top}, {"width", bounds.width}, {"height", bounds.height}});
    return connection_->call("Browser.setWindowBounds", jsonObject({{"windowId", *id}, {"bounds", Json::raw(rect)}})).ok;
}

std::optional<WindowBounds> ChromiumBrowser::windowBounds() {
    auto id = windowId();
    if (!id) return std::nullopt;
    Reply reply = connection_->call("Browser.getWindowBounds", jsonObject({{"windowId", *id}}));
    const auto* bounds = member(reply.result(), "bounds");
    if (!bounds) return std::nullopt;
    return WindowBounds{intMember(*bounds, "left"), intMember(*bounds, "top"), intMember(*bounds, "width"),
                        intMember(*bounds, "height")};
}

std::string ChromiumBrowser::versionJson() { return fetchVersionJson(endpoint_.port, kProbeTimeout); }

bool ChromiumBrowser::setCookies(const std::string& cookies) {
    return connection_->call("Storage.setCookies", jsonObject({{"cookies", Json::raw(cookies)}})).ok;
}

bool ChromiumBrowser::close() {
    if (!connection_->connected()) return true;
    int pid = browserPidFromProfile(profileDir_);
    connection_->send("Browser.close");
    // Done when the process has ended, not just the connection: until then it still holds
    // the profile and writes into it.
    auto deadline = std::chrono::steady_clock::now() + kCloseTimeout;
    auto closing = [&] { return connection_->connected() || (pid > 0 && processRunning(pid)); };
    while (closing() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(Millis(20));
    return !closing();
}

bool ChromiumBrowser::recordNetwork() {
    auto current = page();
    std::shared_ptr<NetworkRecord> previous;
    {
        std::lock_guard lock(mutex_);
        previous.swap(networkRecord_);
    }
    if (previous) previous->stop();  // outside the lock: it waits for the connection's lock
    if (!current) return false;
    auto record = NetworkRecord::start(connection_, current->sessionId());
    std::lock_guard lock(mutex_);
    networkRecord_ = record;
    return record != nullptr;
}

std::shared_ptr<NetworkRecord> ChromiumBrowser::networkRecord() {
    std::lock_guard lock(mutex_);
    return networkRecord_;
}

std::vector<NetworkRecord::Exchange> ChromiumBrowser::networkExchanges() {
    std::shared_ptr<NetworkRecord> record;
    {
        std::lock_guard lock(mutex_);
        record = networkRecord_;
    }
    return record ? record->exchanges() : std::vector<NetworkRecord::Exchange>{};
}

std::optional<std::string> ChromiumBrowser::targetText(const std::string& targetId) {
    if (targetId.empty()) return std::nullopt;
    Reply attached =
        connection_->call("Target.attachToTarget", jsonObject({{"targetId", targetId}, {"flatten", true}}));
    const std::string sessionId = stringMember(attached.result(), "sessionId");
    if (sessionId.empty()) return std::nullopt;
    PageSession reader(connection_, sessionId, targetId);
    Evaluation text = reader.evaluate("document.body ? document.body.innerText : ''");
    connection_->send("Target.detachFromTarget", jsonObject({{"sessionId", sessionId}}));
    if (!text.ok || !text.value().IsString()) return std::nullopt;
    return text.text();
}

}  // namespace clipmill::cdp
