#include "site.h"

#include "fingerprint.h"

#include <rapidjson/document.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace practice {

namespace {
const char* const kMovedUploadPage = "/platform/upload/video/frame";
constexpr int kMaxPageSize = 50;

std::string titleOf(const std::string& fields) {
    rapidjson::Document document;
    document.Parse(fields.data(), fields.size());
    if (document.HasParseError() || !document.IsObject()) return {};
    auto title = document.FindMember("title");
    if (title == document.MemberEnd() || !title->value.IsString()) return {};
    return {title->value.GetString(), title->value.GetStringLength()};
}

long long nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// An answer that promises a body and breaks off: the page sees its connection drop.
void dropConnection(httplib::Response& response) {
    response.set_content_provider(1 << 20, "application/json", [](size_t, size_t, httplib::DataSink&) { return false; });
}

int queryNumber(const httplib::Request& request, const char* name, int fallback) {
    if (!request.has_param(name)) return fallback;
    const int value = std::atoi(request.get_param_value(name).c_str());
    return value > 0 ? value : fallback;
}
}  // namespace

std::string refusalMessage(int code) {
    switch (code) {
        case 21566: return "投稿过于频繁，请稍后再试";
        case 137022: return "投稿数量过多";
        case 21005: return "标签格式错误";
        case 21104: return "标题过长";
        default: return "投稿失败";
    }
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

bool setKnob(Knobs& knobs, const std::string& name, const std::string& value) {
    const bool on = value == "1" || value == "true";
    if (name == "upload-ms") {
        knobs.uploadMs = std::atoi(value.c_str());
    } else if (name == "cover-delay-ms") {
        knobs.coverDelayMs = std::atoi(value.c_str());
    } else if (name == "stall-upload") {
        knobs.stallUpload = on;
    } else if (name == "fail-upload") {
        knobs.failUpload = on;
    } else if (name == "refuse-cover") {
        knobs.refuseCover = on;
    } else if (name == "submit-class") {
        knobs.submitClass = value == "1" ? std::string() : value;
    } else if (name == "too-frequent") {
        knobs.tooFrequent = on;
    } else if (name == "verification-ms") {
        knobs.verificationMs = std::atoi(value.c_str());
    } else if (name == "submit-noop") {
        knobs.submitNoop = on;
    } else if (name == "submit-send-ms") {
        knobs.submitSendMs = std::atoi(value.c_str());
    } else if (name == "submit-answer-ms") {
        knobs.submitAnswerMs = std::atoi(value.c_str());
    } else if (name == "drop-upload") {
        knobs.dropUpload = on;
    } else if (name == "moved-upload") {
        knobs.movedUpload = on;
    } else if (name == "answer-lost") {
        knobs.answerLost = on;
    } else if (name == "refuse-code") {
        knobs.refuseCode = value == "0" ? 0 : std::atoi(value.c_str());
    } else if (name == "site-id") {
        knobs.siteId = std::atoll(value.c_str());
    } else if (name == "success-in-place") {
        knobs.successInPlace = on;
    } else {
        return false;
    }
    return true;
}

Site::Site(const std::string& recordFile, Knobs knobs) : knobs_(knobs) {
    if (!recordFile.empty()) record_.open(recordFile, std::ios::app);
    routePages();
    routeApi();
    routeControl();
    routeAccount();
}

int Site::bind(int port) {
    if (port == 0) return server_.bind_to_any_port("127.0.0.1");
    return server_.bind_to_port("127.0.0.1", port) ? port : -1;
}

void Site::run() { server_.listen_after_bind(); }

void Site::stop() { server_.stop(); }

void Site::record(const std::string& jsonLine) {
    std::lock_guard lock(mutex_);
    if (!record_.is_open()) return;
    record_ << jsonLine << '\n';
    record_.flush();
}

AccountState Site::accountState() {
    std::lock_guard lock(mutex_);
    return state_;
}

Knobs Site::knobs() {
    std::lock_guard lock(mutex_);
    return knobs_;
}

void Site::routePages() {
    auto html = [](const std::string& page) {
        return [&page](const httplib::Request&, httplib::Response& response) {
            response.set_content(page, "text/html; charset=utf-8");
        };
    };
    auto uploadPage = [this](bool moved) {
        return [this, moved](const httplib::Request&, httplib::Response& response) {
            const AccountState state = accountState();
            if (!moved && knobs().movedUpload) {
                response.set_redirect(kMovedUploadPage + std::string("?from=old#video"));
                return;
            }
            switch (state) {
                case AccountState::LoggedOut: response.set_redirect("/login"); return;
                case AccountState::LoggedOutWithQuery: response.set_redirect("/login?gourl=%2Fvideo%2Fupload.html"); return;
                case AccountState::Banned: response.set_content(bannedPageHtml(), "text/html; charset=utf-8"); return;
                case AccountState::Ok: response.set_content(uploadPageHtml(knobs()), "text/html; charset=utf-8"); return;
            }
        };
    };
    server_.Get("/video/upload.html", uploadPage(false));
    server_.Get(kMovedUploadPage, uploadPage(true));
    server_.Get("/login", html(loginPageHtml()));
    server_.Get("/video/done.html", html(doneHtml()));
}

void Site::routeApi() {
    server_.Post("/api/clicked", [this](const httplib::Request&, httplib::Response& response) {
        record("{\"event\":\"clicked\"}");
        response.set_content("{\"ok\":true}", "application/json");
    });
    server_.Post("/api/upload", [this](const httplib::Request& request, httplib::Response& response) {
        const std::string kind = request.get_header_value("X-File-Kind");
        if (kind == "video" && knobs().dropUpload) {
            record("{\"event\":\"dropped\",\"size\":" + std::to_string(request.body.size()) + "}");
            dropConnection(response);
            return;
        }
        const std::string name = httplib::detail::decode_url(request.get_header_value("X-File-Name"), false);
        const std::string file = "{\"name\":" + jsonString(name) + ",\"size\":" + std::to_string(request.body.size()) +
                                 ",\"hash\":" + jsonString(fingerprint(request.body)) + "}";
        const bool refused = kind == "cover" && knobs().refuseCover;
        record("{\"event\":\"upload\",\"kind\":" + jsonString(kind) + ",\"name\":" + jsonString(name) +
               ",\"size\":" + std::to_string(request.body.size()) + (refused ? ",\"refused\":true" : "") + "}");
        if (refused) {
            response.status = 415;
            response.set_content("{\"ok\":false}", "application/json");
            return;
        }
        response.set_content(file, "application/json");
    });
    server_.Post("/api/submit", [this](const httplib::Request& request, httplib::Response& response) {
        onSubmit(request, response);
    });
}

void Site::onSubmit(const httplib::Request& request, httplib::Response& response) {
    const std::string fields = request.body.empty() ? std::string("{}") : request.body;
    const Knobs now = knobs();
    std::string answer;
    if (now.refuseCode != 0) {
        const std::string code = std::to_string(now.refuseCode);
        record("{\"event\":\"submit\",\"fields\":" + fields + ",\"code\":" + code + "}");
        answer = "{\"code\":" + code + ",\"message\":" + jsonString(refusalMessage(now.refuseCode)) + ",\"ttl\":1,\"data\":null}";
    } else {
        const Archive taken = accept(fields);
        const std::string ids = "\"aid\":" + std::to_string(taken.aid) + ",\"bvid\":" + jsonString(taken.bvid);
        record("{\"event\":\"submit\",\"fields\":" + fields + "," + ids + ",\"code\":0" +
               (now.answerLost ? ",\"answer\":\"lost\"" : "") + "}");
        answer = "{\"code\":0,\"message\":\"0\",\"ttl\":1,\"data\":{" + ids + "}}";
    }
    if (now.submitAnswerMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(now.submitAnswerMs));
    if (now.answerLost && now.refuseCode == 0) {
        dropConnection(response);
        return;
    }
    const auto sentMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch()).count();
    record("{\"event\":\"answered\",\"at_ms\":" + std::to_string(sentMs) + "}");
    response.set_content(answer, "application/json");
}

Archive Site::accept(const std::string& fields) {
    std::lock_guard lock(mutex_);
    Archive taken{nextAid_++, {}, titleOf(fields), nowSeconds()};
    taken.bvid = "BV1pr" + std::to_string(taken.aid);
    archives_.push_back(taken);
    return taken;
}

void Site::routeAccount() {
    server_.Get("/x/web-interface/nav", [this](const httplib::Request&, httplib::Response& response) {
        const AccountState state = accountState();
        if (state == AccountState::LoggedOut || state == AccountState::LoggedOutWithQuery) {
            response.set_content(R"({"code":-101,"message":"账号未登录","ttl":1,"data":{"isLogin":false}})", "application/json");
            return;
        }
        response.set_content("{\"code\":0,\"message\":\"0\",\"ttl\":1,\"data\":{\"isLogin\":true,\"mid\":" +
                                 std::to_string(knobs().siteId) + ",\"uname\":\"练习账号\"}}",
                             "application/json");
    });
    // The account's submissions, newest first, a page at a time.
    server_.Get("/x/web/archives", [this](const httplib::Request& request, httplib::Response& response) {
        const int page = queryNumber(request, "pn", 1);
        const int size = std::min(queryNumber(request, "ps", 20), kMaxPageSize);
        std::vector<Archive> newestFirst;
        {
            std::lock_guard lock(mutex_);
            newestFirst.assign(archives_.rbegin(), archives_.rend());
        }
        std::string items;
        const std::size_t first = static_cast<std::size_t>(page - 1) * static_cast<std::size_t>(size);
        for (std::size_t i = first; i < newestFirst.size() && i < first + static_cast<std::size_t>(size); ++i) {
            const Archive& a = newestFirst[i];
            items += std::string(items.empty() ? "" : ",") + "{\"Archive\":{\"aid\":" + std::to_string(a.aid) +
                     ",\"bvid\":" + jsonString(a.bvid) + ",\"title\":" + jsonString(a.title) +
                     ",\"ctime\":" + std::to_string(a.createdAt) + ",\"state\":0}}";
        }
        response.set_content("{\"code\":0,\"message\":\"0\",\"ttl\":1,\"data\":{\"arc_audits\":[" + items +
                                 "],\"page\":{\"pn\":" + std::to_string(page) + ",\"ps\":" + std::to_string(size) +
                                 ",\"count\":" + std::to_string(newestFirst.size()) + "}}}",
                             "application/json");
    });
}

void Site::routeControl() {
    server_.Post("/__control/account", [this](const httplib::Request& request, httplib::Response& response) {
        std::string state = request.get_param_value("state");
        std::lock_guard lock(mutex_);
        if (state == "ok") {
            state_ = AccountState::Ok;
        } else if (state == "login") {
            state_ = AccountState::LoggedOut;
        } else if (state == "login-query") {
            state_ = AccountState::LoggedOutWithQuery;
        } else if (state == "banned") {
            state_ = AccountState::Banned;
        } else {
            response.status = 400;
            return;
        }
        response.set_content("ok", "text/plain");
    });
    // Form fields named like the flags: upload-ms=0&stall-upload=1 ...
    server_.Post("/__control/knobs", [this](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(mutex_);
        Knobs changed = knobs_;
        for (const auto& [name, value] : request.params) {
            if (!setKnob(changed, name, value)) {
                response.status = 400;
                response.set_content("unknown knob " + name, "text/plain");
                return;
            }
        }
        knobs_ = changed;
        response.set_content("ok", "text/plain");
    });
}

}  // namespace practice
