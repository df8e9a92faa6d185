#include "site.h"

#include "fingerprint.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace practice {

namespace {
const char* const kMovedUploadPage = "/platform/upload/video/frame";
}  // namespace

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
            AccountState state;
            {
                std::lock_guard lock(mutex_);
                state = state_;
            }
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
            // A reply that promises a body and breaks off: the page sees its connection drop.
            response.set_content_provider(1 << 20, "application/json",
                                          [](size_t, size_t, httplib::DataSink&) { return false; });
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
        record("{\"event\":\"submit\",\"fields\":" + (request.body.empty() ? std::string("{}") : request.body) + "}");
        if (const int answerMs = knobs().submitAnswerMs; answerMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(answerMs));
        response.set_content("{\"ok\":true}", "application/json");
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
