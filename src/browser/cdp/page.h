#pragma once

#include <memory>
#include <optional>
#include <string>

#include "browser/cdp/connection.h"

namespace clipmill::cdp {

// The result of a script evaluated in the page, by value.
struct Evaluation {
    bool ok = false;
    std::string error;
    std::shared_ptr<rapidjson::Document> message;
    const rapidjson::Value& value() const;  // null when not ok
    std::string text() const;               // a string value, else ""
    int integer(int fallback = 0) const;
    bool truth() const;
};

// Which file input of the page a file is meant for.
enum class FileTarget { Video, Image };

// One page target reached over a flattened session. Elements are named by a CSS selector and
// a position among its matches in document order: 1 the first, 0 also the first. Every
// operation is a short series of protocol calls, each with a timeout; clicks, typing and
// keys are input events the browser treats as the user's own.
class PageSession {
public:
    PageSession(std::shared_ptr<Connection> connection, std::string sessionId, std::string targetId);

    const std::string& sessionId() const { return sessionId_; }
    const std::string& targetId() const { return targetId_; }
    Connection& connection() { return *connection_; }

    Evaluation evaluate(const std::string& expression, Millis timeout = Connection::kDefaultTimeout);
    // Evaluates an expression that gives a promise and waits for what it settles to.
    Evaluation evaluateAwaited(const std::string& expression, Millis timeout);
    // GETs `url` from the page with the profile's cookies: the body of a 2xx answer, nothing
    // on another status, a network failure or after `timeout`.
    std::optional<std::string> fetchText(const std::string& url, Millis timeout);

    // Navigation and page state.
    bool navigate(const std::string& url, Millis loadTimeout);
    std::string url();
    std::string html();
    // The page as it shows now, PNG bytes; "" when the browser gave none.
    std::string screenshot();
    bool loaded();
    // Waits until the page has loaded and, when `text` is not empty, shows it.
    bool waitLoaded(const std::string& text, Millis timeout);
    bool setTitle(const std::string& title);
    void neutraliseDialogs();

    // Elements.
    int count(const std::string& selector);
    bool click(const std::string& selector, int position);
    bool focus(const std::string& selector, int position);
    bool placeCaretAtEnd(const std::string& selector, int position);
    std::optional<std::string> text(const std::string& selector, int position);
    std::optional<std::string> innerHtml(const std::string& selector, int position);
    bool setValue(const std::string& selector, int position, const std::string& value);
    bool setText(const std::string& selector, int position, const std::string& text);

    // Keyboard input into whatever has the focus.
    bool type(const std::string& text);
    bool insertText(const std::string& text);
    bool pressKey(int virtualKey, int modifiers);

    // Mouse.
    bool clickAt(double x, double y);

    // Hands a file to the page's file input for that kind of file.
    bool setInputFile(FileTarget target, const std::string& path);

private:
    static Evaluation evaluationOf(Reply reply);
    Reply call(const std::string& method, const std::string& params = "{}", Millis timeout = Connection::kDefaultTimeout);
    bool sendAll(const std::string& method, const std::vector<std::string>& params);
    Evaluation onElement(const std::string& selector, int position, const std::string& body);
    std::string mainFrameLoaderId();

    std::shared_ptr<Connection> connection_;
    std::string sessionId_;
    std::string targetId_;
};

}  // namespace clipmill::cdp
