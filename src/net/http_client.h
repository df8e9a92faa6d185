#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace clipmill::net {

// One HTTP call. Every field but `url` is optional. Texts are UTF-8; bodies are bytes.
struct HttpRequest {
    std::string url;
    // 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE, 6 TRACE, 7 CONNECT; any other value is GET.
    int method = 0;
    std::string bodyText;   // sent when bodyBytes is empty
    std::string bodyBytes;  // sent instead of bodyText when not empty
    std::optional<std::string> cookies;  // 'a=1; b=2', may itself start with "Cookie:"
    std::string extraHeaders;            // "Name: value" lines separated by CR LF
    bool noRedirect = false;
    int timeoutSeconds = 0;  // see requestTimeout
    bool mergeCookies = true;
    bool completeHeaders = true;
    bool normaliseHeaderCase = true;
    // Asked about once a second while the exchange runs; true ends it as failed (Stop).
    std::function<bool()> cancelled;
};

struct HttpResponse {
    std::string bodyBytes;   // the body as received (after content decoding)
    std::string bodyText;    // requestText: the body up to its first zero byte, decoded by its charset
    std::string headers;     // header lines separated by CR LF; requestText: the raw block with its status line
    int statusCode = 0;      // requestBytes: the HTTP status, 0 when the exchange failed
    std::string statusText;  // requestText: "200 OK" on success, else the failing step's error text
    std::string location;    // requestText: the value of a "Location: " header
    std::string cookies;     // cookies set by the response, merged with the request's when asked
};

// Engine defaults: requestBytes fills in missing headers like an old browser's COM request
// object, requestText like the WinHttp API. The two tables differ in their lines and in
// whether the searched text carries the blank after the colon.
enum class HeaderStyle { bytes, text };

// The request's time limit for every phase of the exchange, or nullopt for the transport's own
// (requestBytes with timeoutSeconds -1).
std::optional<std::chrono::milliseconds> requestTimeout(HeaderStyle style, int timeoutSeconds);

// The text before / after the first ':' of a header line, trimmed of blanks (ASCII and
// full-width); "" for both when the line has no ':'.
std::string headerName(std::string_view line);
std::string headerValue(std::string_view line);

// The caller's header block with the engine's default lines appended for those it lacks.
std::string completeHeaders(std::string_view block, int method, std::string_view url, HeaderStyle style);

// Header names rewritten to capitalised words ('user-agent: x' -> 'User-Agent: x'); lines
// without ':' are dropped; lines joined by CR LF without a trailing one.
std::string normaliseHeaderCase(std::string_view block);

// 'a=1; b=2' from the response's "Set-Cookie" lines, attributes dropped.
std::string collectSetCookies(std::string_view responseHeaders);

// The response's cookies first, then the request's cookies it does not replace; "=deleted"
// items and exact duplicates left out.
std::string mergeCookieText(std::string_view oldCookies, std::string_view newCookies);

// The verb of a method number.
const char* methodVerb(int method);

// The operations. None throws; a failure is an empty body (and, for requestText, the error
// text in statusText). Certificates are always verified against the system's store.
HttpResponse requestBytes(const HttpRequest& request);
HttpResponse requestText(const HttpRequest& request);

// A plain GET; the bytes read so far (empty when the address could not be opened).
std::string fetchBytes(const std::string& url, std::chrono::seconds limit = std::chrono::seconds(30));

// A small JSON object read from the web, its members read by key as text.
class JsonDocument {
public:
    // A missing key reads as ""; a non-string value as its JSON text (null as "").
    std::string value(const std::string& key) const;
    bool empty() const { return members_.empty(); }
    static JsonDocument parse(std::string_view utf8Text);

private:
    std::map<std::string, std::string> members_;
};

// GET and parse; a failed request or a body that is not a JSON object gives an empty document.
JsonDocument fetchJsonDocument(const std::string& url, std::chrono::seconds limit = std::chrono::seconds(30));

}  // namespace clipmill::net
