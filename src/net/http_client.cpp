// The request operations on libcurl: one easy handle per call, nothing kept between calls.
#include "net/http_client.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <regex>

#include "net/curl_easy.h"
#include "net/text_search.h"
#include "support/gbk.h"
#include "support/text_decoding.h"

namespace clipmill::net {

namespace {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

// The transport's own limits when a request leaves them untouched.
constexpr milliseconds kOwnConnectLimit{60000};
constexpr milliseconds kOwnReceiveLimit{30000};

// The stage at which an exchange failed.
enum class Stage { none, urlParse, connect, send, receive, read };

// What one transfer collected.
struct Exchange {
    std::string body;
    std::string headerBlock;  // the last response's raw block: status line, lines, blank line
    bool headersComplete = false;
    milliseconds idleLimit{kOwnReceiveLimit};
    SteadyClock::time_point lastActivity = SteadyClock::now();
    curl_off_t seenDown = 0;
    curl_off_t seenUp = 0;
    const std::function<bool()>* cancelled = nullptr;
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
    static_cast<Exchange*>(user)->body.append(data, size * count);
    return size * count;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto& exchange = *static_cast<Exchange*>(user);
    const std::string_view line(data, size * count);
    if (line.starts_with("HTTP/")) {
        exchange.headerBlock.clear();
        exchange.headersComplete = false;
    }
    exchange.headerBlock.append(line);
    if (line == "\r\n" || line == "\n") {
        const bool interim = exchange.headerBlock.size() > 9 && exchange.headerBlock[9] == '1';
        exchange.headersComplete = !interim;
    }
    return size * count;
}

// Ends a transfer that has neither sent nor received a byte for the idle limit: the
// receive time-out of each read.
int onProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
    auto& exchange = *static_cast<Exchange*>(user);
    if (exchange.cancelled && *exchange.cancelled && (*exchange.cancelled)()) return 1;
    const auto now = SteadyClock::now();
    if (down != exchange.seenDown || up != exchange.seenUp) {
        exchange.seenDown = down;
        exchange.seenUp = up;
        exchange.lastActivity = now;
        return 0;
    }
    return now - exchange.lastActivity > exchange.idleLimit ? 1 : 0;
}

bool isHttpUrl(const std::string& url) {
    std::unique_ptr<CURLU, CurlUrlDeleter> parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return false;
    char* scheme = nullptr;
    char* host = nullptr;
    const bool ok = curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
                    curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK;
    const bool http = ok && (std::string_view(scheme) == "http" || std::string_view(scheme) == "https") &&
                      host != nullptr && *host != '\0';
    curl_free(scheme);
    curl_free(host);
    return http;
}

void setTimeLimits(CURL* curl, Exchange& exchange, std::optional<milliseconds> limit) {
    const milliseconds connect = limit.value_or(kOwnConnectLimit);
    exchange.idleLimit = limit.value_or(kOwnReceiveLimit);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connect.count()));
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &exchange);
}

void setMethodAndBody(CURL* curl, const HttpRequest& request) {
    const std::string& body = request.bodyBytes.empty() ? request.bodyText : request.bodyBytes;
    const int method = request.method >= 0 && request.method < 8 ? request.method : 0;
    if (method == 2) {
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    } else if (method != 0) {
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, methodVerb(method));
    }
    if (!body.empty() || method == 1) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
        if (method == 0) curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "GET");
    }
}

// Everything both request operations set the same way.
void configureTransfer(CURL* curl, const HttpRequest& request, Exchange& exchange) {
    exchange.cancelled = &request.cancelled;
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, request.noRedirect ? 0L : 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    // Decode a compressed body; the Accept-Encoding line of the header block is sent as it is.
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &exchange);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &exchange);
    setMethodAndBody(curl, request);
}

Stage failedStage(CURLcode code, CURL* curl, const Exchange& exchange) {
    const Stage answerStage = exchange.headersComplete ? Stage::read : Stage::receive;
    switch (code) {
    case CURLE_OK:
        return Stage::none;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return Stage::urlParse;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
        return Stage::connect;
    case CURLE_OPERATION_TIMEDOUT: {
        curl_off_t connected = 0;
        curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connected);
        return connected == 0 ? Stage::connect : answerStage;
    }
    case CURLE_ABORTED_BY_CALLBACK:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
        return answerStage;
    case CURLE_PARTIAL_FILE:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_WRITE_ERROR:
        return Stage::read;
    default:
        return exchange.headersComplete ? Stage::read : Stage::send;
    }
}

// The header block of the request: the caller's lines, the engine's defaults, names capitalised.
std::string requestHeaderBlock(const HttpRequest& request, HeaderStyle style) {
    std::string block = request.extraHeaders;
    if (request.completeHeaders) block = completeHeaders(block, request.method, request.url, style);
    if (request.normaliseHeaderCase) block = normaliseHeaderCase(block);
    return block;
}

// The request's cookie text without a leading "Cookie:".
std::string bareCookies(const std::string& cookies) {
    std::string text = trimBlanks(cookies);
    if (findNoCase(text, "Cookie:") == 0) text = trimBlanks(std::string_view(text).substr(7));
    return text;
}

std::string responseCookies(const HttpRequest& request, const std::string& headers, bool mergeWhenGiven) {
    std::string cookies = collectSetCookies(headers);
    if (request.mergeCookies && mergeWhenGiven) cookies = mergeCookieText(bareCookies(*request.cookies), cookies);
    return cookies;
}

// The response's header lines without the status line and the closing blank line.
std::string headerLinesOnly(const std::string& block) {
    const auto firstEnd = block.find("\r\n");
    std::string lines = firstEnd == std::string::npos ? std::string() : block.substr(firstEnd + 2);
    while (lines.ends_with("\r\n")) lines.resize(lines.size() - 2);
    return lines;
}

// The block as the COM request object sends it: line by line, cookies first, no
// "Connection: keep-alive".
bool addBytesStyleHeaders(CurlHeaderList& list, const HttpRequest& request) {
    if (request.cookies) {
        std::string cookies = *request.cookies;
        if (!cookies.empty() && containsNoCase(cookies, "Cookie:")) cookies = replaceAll(cookies, "Cookie:", "");
        cookies = trimBlanks(cookies);
        if (!cookies.empty() && !list.append("Cookie: " + cookies)) return false;
    }
    const std::string block = requestHeaderBlock(request, HeaderStyle::bytes);
    for (std::string_view line : splitOn(block, "\r\n")) {
        const std::string name = headerName(line);
        const std::string value = headerValue(line);
        if (name.empty() || (name == "Connection" && value == "keep-alive")) continue;
        if (!list.append(name + (value.empty() ? ";" : ": " + value))) return false;
    }
    return list.append("Expect:");
}

std::string firstConnectionValue(std::string_view block) {
    for (std::string_view line : splitOn(block, "\r\n"))
        if (line.starts_with("Connection")) return headerValue(line);
    return {};
}

// The block as the WinHttp API takes it: one text, keep-alive removed, cookies appended.
std::string textStyleBlock(const HttpRequest& request) {
    std::string block = requestHeaderBlock(request, HeaderStyle::text);
    if (block.find("Connection") != std::string::npos && firstConnectionValue(block) == "keep-alive")
        block = replaceAll(block, "Connection: keep-alive\r\n", "");
    const std::string cookies = request.cookies.value_or(std::string());
    if (!containsNoCase(block, "Cookie:") && !cookies.empty()) {
        block += containsNoCase(cookies, "Cookie:") ? "\r\n" + cookies + "\r\n" : "\r\nCookie: " + cookies + "\r\n";
    }
    return block;
}

bool addTextStyleHeaders(CurlHeaderList& list, const std::string& block) {
    for (std::string_view line : splitOn(block, "\r\n")) {
        if (trimBlanks(line).empty()) continue;
        if (line.find(':') == std::string_view::npos || !list.append(std::string(line))) return false;
    }
    return list.append("Expect:");
}

// The first `limit` characters of GBK text.
std::string_view gbkHead(std::string_view text, std::size_t limit) {
    std::size_t bytes = 0;
    for (std::size_t chars = 0; bytes < text.size() && chars < limit; ++chars)
        bytes += isGbkLeadByte(static_cast<unsigned char>(text[bytes])) && bytes + 1 < text.size() ? 2 : 1;
    return text.substr(0, bytes);
}

// The body as program text: decoded from the charset its first 1024 characters declare,
// else read as GBK.
std::string decodeDeclaredCharset(std::string_view body) {
    const std::string_view text = body.substr(0, body.find('\0'));
    static const std::regex declaration("<meta.+?charset=[^\\w]?([-\\w]+)", std::regex::icase);
    const std::string head(gbkHead(text, 1024));
    std::smatch match;
    if (std::regex_search(head, match, declaration) && match[1].length() > 0) {
        if (auto decoded = charsetToUtf8(text, match[1].str().c_str())) return *decoded;
    }
    return gbkToUtf8(text);
}

const char* stageText(Stage stage) {
    switch (stage) {
    case Stage::urlParse: return "701 解析URL地址失败!";
    case Stage::connect: return "703 创建WinHttp连接失败!";
    case Stage::send: return "711 发送请求失败!";
    case Stage::receive: return "712 服务器未响应!";
    case Stage::read: return "713 读取数据失败!";
    case Stage::none: break;
    }
    return "";
}

HttpResponse failedText(const char* text) {
    HttpResponse response;
    response.statusText = text;
    return response;
}

// A GET of the whole body for fetchBytes and fetchJsonDocument; nullopt when nothing
// usable came back (no answer, or an error status).
std::optional<std::string> plainGet(const std::string& url, std::chrono::seconds limit, bool http10) {
    if (!isHttpUrl(url)) return std::nullopt;
    CurlEasy curl = makeCurlEasy();
    if (!curl) return std::nullopt;
    Exchange exchange;
    HttpRequest request;
    request.url = url;
    configureTransfer(curl.get(), request, exchange);
    setTimeLimits(curl.get(), exchange, std::chrono::duration_cast<milliseconds>(limit));
    if (http10) curl_easy_setopt(curl.get(), CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    CurlHeaderList headers;
    headers.append("User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    headers.append("Accept: */*");
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
    curl_easy_perform(curl.get());
    long status = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    if (!exchange.headersComplete || status < 200 || status >= 400) return std::nullopt;
    return std::move(exchange.body);
}

std::string jsonValueText(const rapidjson::Value& value) {
    if (value.IsString()) return std::string(value.GetString(), value.GetStringLength());
    if (value.IsNull()) return {};
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace

HttpResponse requestBytes(const HttpRequest& request) {
    HttpResponse response;
    CurlEasy curl = makeCurlEasy();
    if (!curl) return response;
    Exchange exchange;
    configureTransfer(curl.get(), request, exchange);
    setTimeLimits(curl.get(), exchange, requestTimeout(HeaderStyle::bytes, request.timeoutSeconds));
    CurlHeaderList headers;
    if (!addBytesStyleHeaders(headers, request)) return response;
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
    if (curl_easy_perform(curl.get()) != CURLE_OK) return response;
    long status = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    response.statusCode = static_cast<int>(status);
    response.bodyBytes = std::move(exchange.body);
    response.headers = headerLinesOnly(exchange.headerBlock);
    response.cookies = responseCookies(request, response.headers, request.cookies.has_value());
    return response;
}

HttpResponse requestText(const HttpRequest& request) {
    if (!isHttpUrl(request.url)) return failedText(stageText(Stage::urlParse));
    CurlEasy curl = makeCurlEasy();
    if (!curl) return failedText("702 创建WinHttp会话失败!");
    Exchange exchange;
    configureTransfer(curl.get(), request, exchange);
    setTimeLimits(curl.get(), exchange, requestTimeout(HeaderStyle::text, request.timeoutSeconds));
    CurlHeaderList headers;
    if (!addTextStyleHeaders(headers, textStyleBlock(request))) return failedText("710 设置协议头失败!");
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());

    const Stage stage = failedStage(curl_easy_perform(curl.get()), curl.get(), exchange);
    if (stage != Stage::none && stage != Stage::read) return failedText(stageText(stage));
    if (!exchange.headersComplete) return failedText(stageText(stage == Stage::none ? Stage::receive : stage));

    HttpResponse response;
    response.headers = exchange.headerBlock;
    const std::string_view statusLine = std::string_view(response.headers).substr(0, response.headers.find("\r\n"));
    response.statusText = statusLine.size() > 9 ? std::string(statusLine.substr(9)) : std::string();
    for (std::string_view line : splitOn(response.headers, "\r\n")) {
        if (line.size() >= 10 && findNoCase(line.substr(0, 10), "Location: ") == 0)
            response.location = std::string(line.substr(10));
    }
    response.cookies = responseCookies(request, response.headers, !request.cookies.value_or("").empty());
    response.bodyBytes = std::move(exchange.body);
    response.bodyText = decodeDeclaredCharset(response.bodyBytes);
    return response;
}

std::string fetchBytes(const std::string& url, std::chrono::seconds limit) {
    return plainGet(url, limit, true).value_or(std::string());
}

JsonDocument JsonDocument::parse(std::string_view utf8Text) {
    JsonDocument document;
    rapidjson::Document json;
    json.Parse(utf8Text.data(), utf8Text.size());
    if (json.HasParseError() || !json.IsObject()) return document;
    for (const auto& member : json.GetObject())
        document.members_[std::string(member.name.GetString(), member.name.GetStringLength())] =
            jsonValueText(member.value);
    return document;
}

std::string JsonDocument::value(const std::string& key) const {
    const auto found = members_.find(key);
    return found == members_.end() ? std::string() : found->second;
}

JsonDocument fetchJsonDocument(const std::string& url, std::chrono::seconds limit) {
    const auto body = plainGet(url, limit, false);
    return body ? JsonDocument::parse(decodeToUtf8(*body)) : JsonDocument();
}

}  // namespace clipmill::net
