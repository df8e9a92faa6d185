#include "net/curl_easy.h"

#include <mutex>

namespace clipmill::net {

void ensureCurlGlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CurlEasy makeCurlEasy() {
    ensureCurlGlobalInit();
    CurlEasy handle(curl_easy_init());
    if (handle) curl_easy_setopt(handle.get(), CURLOPT_NOSIGNAL, 1L);
    return handle;
}

bool CurlHeaderList::append(const std::string& line) {
    curl_slist* grown = curl_slist_append(list_.get(), line.c_str());
    if (grown == nullptr) return false;
    list_.release();
    list_.reset(grown);
    return true;
}

}  // namespace clipmill::net
