#include "net/curl_easy.h"

#include <sys/socket.h>

#include <mutex>

namespace clipmill::net {

namespace {

// A program started meanwhile (a restart, a browser) must not inherit the connection.
curl_socket_t openCloseOnExecSocket(void*, curlsocktype, curl_sockaddr* address) {
    return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

}  // namespace

void ensureCurlGlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CurlEasy makeCurlEasy() {
    ensureCurlGlobalInit();
    CurlEasy handle(curl_easy_init());
    if (handle) {
        curl_easy_setopt(handle.get(), CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(handle.get(), CURLOPT_OPENSOCKETFUNCTION, &openCloseOnExecSocket);
    }
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
