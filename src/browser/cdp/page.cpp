#include "browser/cdp/page.h"

#include <filesystem>
#include <thread>

#include "browser/cdp/json.h"
#include "browser/cdp/keys.h"
#include "browser/interrupt.h"
#include "net/digest.h"

namespace clipmill::cdp {

namespace {

const rapidjson::Value& nullValue() {
    static const rapidjson::Value null;
    return null;
}

int matchIndex(int position) { return position <= 1 ? 0 : position - 1; }

// Where keystrokes go when an element is named: the element itself when it takes text,
// otherwise the first thing inside it that does (a wrapper around an input).
constexpr const char* kEditableTarget =
    "const editable = e => e.matches('input,textarea,select,[contenteditable=\"\"],[contenteditable=true]');"
    "const target = editable(el) ? el : (el.querySelector('input,textarea,[contenteditable=\"\"],[contenteditable=true]') || el);";

constexpr const char* kSetFormValue =
    "const setValue = (e, v) => {"
    "  const proto = e instanceof HTMLTextAreaElement ? HTMLTextAreaElement.prototype"
    "    : e instanceof HTMLSelectElement ? HTMLSelectElement.prototype : HTMLInputElement.prototype;"
    "  const setter = Object.getOwnPropertyDescriptor(proto, 'value').set;"
    "  setter.call(e, v);"
    "  e.dispatchEvent(new Event('input', {bubbles: true}));"
    "  e.dispatchEvent(new Event('change', {bubbles: true}));"
    "};"
    "const isFormField = e => e instanceof HTMLInputElement || e instanceof HTMLTextAreaElement || e instanceof HTMLSelectElement;";

}  // namespace

const rapidjson::Value& Evaluation::value() const {
    if (!ok || !message) return nullValue();
    const auto* result = member(*message, "result");
    const auto* remote = result ? member(*result, "result") : nullptr;
    const auto* value = remote ? member(*remote, "value") : nullptr;
    return value ? *value : nullValue();
}

std::string Evaluation::text() const {
    const auto& v = value();
    return v.IsString() ? std::string(v.GetString(), v.GetStringLength()) : std::string();
}

int Evaluation::integer(int fallback) const {
    const auto& v = value();
    if (!v.IsNumber()) return fallback;
    return v.IsInt() ? v.GetInt() : static_cast<int>(v.GetDouble());
}

bool Evaluation::truth() const {
    const auto& v = value();
    return v.IsBool() && v.GetBool();
}

PageSession::PageSession(std::shared_ptr<Connection> connection, std::string sessionId, std::string targetId)
    : connection_(std::move(connection)), sessionId_(std::move(sessionId)), targetId_(std::move(targetId)) {}

Reply PageSession::call(const std::string& method, const std::string& params, Millis timeout) {
    return connection_->call(method, params, sessionId_, timeout);
}

// Sends a series of calls back to back and waits for all of them: the browser handles
// them in order, so there is no need to wait for each before sending the next.
bool PageSession::sendAll(const std::string& method, const std::vector<std::string>& params) {
    std::vector<PendingCall> calls;
    calls.reserve(params.size());
    for (const auto& p : params) calls.push_back(connection_->send(method, p, sessionId_));
    bool ok = true;
    for (auto& pending : calls) ok = pending.wait(Connection::kDefaultTimeout).ok && ok;
    return ok;
}

Evaluation PageSession::evaluate(const std::string& expression, Millis timeout) {
    Reply reply = call("Runtime.evaluate", jsonObject({{"expression", expression}, {"returnByValue", true}}), timeout);
    return evaluationOf(std::move(reply));
}

Evaluation PageSession::evaluateAwaited(const std::string& expression, Millis timeout) {
    Reply reply = call("Runtime.evaluate",
                       jsonObject({{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}}), timeout);
    return evaluationOf(std::move(reply));
}

Evaluation PageSession::evaluationOf(Reply reply) {
    Evaluation evaluation{reply.ok, reply.error, reply.message};
    if (reply.ok) {
        if (const auto* details = member(reply.result(), "exceptionDetails")) {
            evaluation.ok = false;
            const auto* exception = member(*details, "exception");
            evaluation.error = exception ? stringMember(*exception, "description") : stringMember(*details, "text");
        }
    }
    return evaluation;
}

Evaluation PageSession::onElement(const std::string& selector, int position, const std::string& body) {
    std::string script = "(() => { let el; try { el = document.querySelectorAll(" + Json::str(selector).text() + ")[" +
                         std::to_string(matchIndex(position)) + "]; } catch (e) { return null; }"
                         " if (!el) return null; " + body + " })()";
    return evaluate(script);
}

bool PageSession::navigate(const std::string& url, Millis loadTimeout) {
    auto loadEvent = connection_->expect("Page.loadEventFired", sessionId_);
    Reply reply = call("Page.navigate", jsonObject({{"url", url}}));
    if (!reply.ok || !stringMember(reply.result(), "errorText").empty()) return false;
    // A jump within the same document has no loader and fires no load event.
    const std::string loader = stringMember(reply.result(), "loaderId");
    if (loader.empty()) return true;
    // A load still under way when the navigation began ends with a load event of its own,
    // so an event counts only once the new document is the page's and has loaded.
    auto deadline = std::chrono::steady_clock::now() + loadTimeout;
    while (true) {
        auto left = std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !loadEvent.wait(left)) return false;
        loadEvent = connection_->expect("Page.loadEventFired", sessionId_);
        if (mainFrameLoaderId() == loader && loaded()) return true;
    }
}

std::string PageSession::mainFrameLoaderId() {
    Reply reply = call("Page.getFrameTree");
    const auto* tree = member(reply.result(), "frameTree");
    const auto* frame = tree ? member(*tree, "frame") : nullptr;
    return frame ? stringMember(*frame, "loaderId") : std::string();
}

std::string PageSession::url() {
    Reply reply = call("Page.getNavigationHistory");
    const auto* entries = member(reply.result(), "entries");
    int index = intMember(reply.result(), "currentIndex", -1);
    if (!entries || !entries->IsArray() || index < 0 || index >= static_cast<int>(entries->Size())) return {};
    return stringMember((*entries)[index], "url");
}

std::string PageSession::html() {
    return evaluate("document.documentElement ? document.documentElement.outerHTML : ''").text();
}

std::string PageSession::screenshot() {
    Reply reply = call("Page.captureScreenshot", jsonObject({{"format", "png"}}), std::chrono::seconds(20));
    const std::string data = reply.ok ? stringMember(reply.result(), "data") : std::string();
    return net::base64Decode(data).value_or("");
}

std::optional<std::string> PageSession::fetchText(const std::string& url, Millis timeout) {
    // The page's own timer ends the fetch; the call waits a little longer for that answer.
    const std::string script =
        "(async () => { const stop = new AbortController();"
        " const timer = setTimeout(() => stop.abort(), " + std::to_string(timeout.count()) + ");"
        " try { const answer = await fetch(" + Json::str(url).text() + ", {credentials: 'include', signal: stop.signal});"
        " if (!answer.ok) return null; return {text: await answer.text()}; }"
        " catch (error) { return null; } finally { clearTimeout(timer); } })()";
    Evaluation answer = evaluateAwaited(script, timeout + Millis(2000));
    const auto& value = answer.value();
    const auto* text = value.IsObject() ? member(value, "text") : nullptr;
    if (!text || !text->IsString()) return std::nullopt;
    return std::string(text->GetString(), text->GetStringLength());
}

bool PageSession::loaded() { return evaluate("document.readyState === 'complete'").truth(); }

bool PageSession::waitLoaded(const std::string& text, Millis timeout) {
    std::string check = "document.readyState === 'complete' && (" + Json::str(text).text() +
                        " === '' || (document.body !== null && document.body.textContent.includes(" +
                        Json::str(text).text() + ")))";
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        auto left = std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now());
        if (left <= Millis(0)) return false;
        Evaluation result = evaluate(check, std::min(left, Connection::kDefaultTimeout));
        if (result.truth()) return true;
        if (!connection_->connected() || interruptRequested()) return false;
        std::this_thread::sleep_for(std::min(Millis(100), left));
    }
}

bool PageSession::setTitle(const std::string& title) {
    return evaluate("document.title = " + Json::str(title).text() + ", true").truth();
}

void PageSession::neutraliseDialogs() {
    evaluate("window.alert = () => {}; window.confirm = () => true; window.prompt = () => '';"
             " window.onbeforeunload = null; true");
}

int PageSession::count(const std::string& selector) {
    std::string script = "(() => { try { return document.querySelectorAll(" + Json::str(selector).text() +
                         ").length; } catch (e) { return 0; } })()";
    return evaluate(script).integer(0);
}

bool PageSession::click(const std::string& selector, int position) {
    Evaluation centre = onElement(selector, position,
                                  "el.scrollIntoView({block: 'center', inline: 'center', behavior: 'instant'});"
                                  " const r = el.getBoundingClientRect();"
                                  " if (r.width === 0 || r.height === 0) return null;"
                                  " return [r.left + r.width / 2, r.top + r.height / 2];");
    const auto& point = centre.value();
    if (!point.IsArray() || point.Size() != 2) return false;
    return clickAt(point[0].GetDouble(), point[1].GetDouble());
}

bool PageSession::clickAt(double x, double y) {
    auto event = [&](const char* type) {
        return jsonObject({{"type", type}, {"x", x}, {"y", y}, {"button", "left"}, {"buttons", 1}, {"clickCount", 1}});
    };
    std::string moved = jsonObject({{"type", "mouseMoved"}, {"x", x}, {"y", y}});
    return sendAll("Input.dispatchMouseEvent", {moved, event("mousePressed"), event("mouseReleased")});
}

bool PageSession::focus(const std::string& selector, int position) {
    return onElement(selector, position, std::string(kEditableTarget) + " target.focus(); return true;").truth();
}

bool PageSession::placeCaretAtEnd(const std::string& selector, int position) {
    return onElement(selector, position,
                     std::string(kEditableTarget) +
                         " target.focus();"
                         " if (typeof target.setSelectionRange === 'function' && typeof target.value === 'string') {"
                         "   try { target.setSelectionRange(target.value.length, target.value.length); } catch (e) {}"
                         " } else {"
                         "   const range = document.createRange(); range.selectNodeContents(target); range.collapse(false);"
                         "   const selection = getSelection(); selection.removeAllRanges(); selection.addRange(range);"
                         " }"
                         " return true;")
        .truth();
}

std::optional<std::string> PageSession::text(const std::string& selector, int position) {
    Evaluation result = onElement(selector, position,
                                  "return (el instanceof HTMLInputElement || el instanceof HTMLTextAreaElement)"
                                  " ? el.value : el.innerText;");
    if (!result.value().IsString()) return std::nullopt;
    return result.text();
}

std::optional<std::string> PageSession::innerHtml(const std::string& selector, int position) {
    Evaluation result = onElement(selector, position, "return el.innerHTML;");
    if (!result.value().IsString()) return std::nullopt;
    return result.text();
}

bool PageSession::setValue(const std::string& selector, int position, const std::string& value) {
    return onElement(selector, position,
                     std::string(kSetFormValue) + " const v = " + Json::str(value).text() +
                         "; if (isFormField(el)) setValue(el, v); else el.setAttribute('value', v); return true;")
        .truth();
}

bool PageSession::setText(const std::string& selector, int position, const std::string& text) {
    return onElement(selector, position,
                     std::string(kSetFormValue) + " const v = " + Json::str(text).text() +
                         "; if (isFormField(el)) { setValue(el, v); return true; }"
                         " el.innerText = v; el.dispatchEvent(new Event('input', {bubbles: true})); return true;")
        .truth();
}

bool PageSession::type(const std::string& text) { return sendAll("Input.dispatchKeyEvent", typingEvents(text)); }

bool PageSession::insertText(const std::string& text) {
    return call("Input.insertText", jsonObject({{"text", text}})).ok;
}

bool PageSession::pressKey(int virtualKey, int modifiers) {
    return sendAll("Input.dispatchKeyEvent", keyPressEvents(keyForVirtualKey(virtualKey, modifiers), modifiers));
}

bool PageSession::setInputFile(FileTarget target, const std::string& path) {
    std::error_code ec;
    auto absolute = std::filesystem::absolute(std::filesystem::u8path(path), ec);
    if (ec || !std::filesystem::is_regular_file(absolute, ec)) return false;
    // The input that accepts this kind of file; without an accept list, the first input for
    // a video and the last for a picture.
    std::string finder =
        "(() => { const inputs = [...document.querySelectorAll('input[type=file]')];"
        " const video = /video|\\.(mp4|flv|mov|avi|mkv|wmv|webm|m4v|mpe?g|rmvb)/i;"
        " const image = /image|\\.(jpe?g|png|gif|webp|bmp)/i;"
        " const wanted = " + std::string(target == FileTarget::Video ? "video" : "image") + ";"
        " return inputs.find(i => wanted.test(i.accept || ''))"
        "   || (wanted === video ? inputs[0] : inputs[inputs.length - 1]) || null; })()";
    Reply found = call("Runtime.evaluate", jsonObject({{"expression", finder}}));
    const auto* remote = member(found.result(), "result");
    std::string objectId = remote ? stringMember(*remote, "objectId") : std::string();
    if (objectId.empty()) return false;
    bool ok = call("DOM.setFileInputFiles",
                   jsonObject({{"files", Json::strings({absolute.string()})}, {"objectId", objectId}}))
                  .ok;
    connection_->send("Runtime.releaseObject", jsonObject({{"objectId", objectId}}), sessionId_);
    return ok;
}

}  // namespace clipmill::cdp
