#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>

namespace clipmill::net {

// libcurl's process-wide set-up, done once before the first handle.
void ensureCurlGlobalInit();

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct CurlUrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

// One easy handle, owned for one call.
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
CurlEasy makeCurlEasy();

// A header list that grows by appending lines.
class CurlHeaderList {
public:
    bool append(const std::string& line);
    curl_slist* get() const { return list_.get(); }

private:
    std::unique_ptr<curl_slist, CurlListDeleter> list_;
};

}  // namespace clipmill::net
