// The HTTP client on every platform: libcurl, which reports the sockets layer's own error
// number (CURLINFO_OS_ERRNO: errno on Linux, the Winsock error on Windows) and speaks SOCKS 5
// with RFC 1929 user name and password.

#include <curl/curl.h>

#include <memory>
#include <mutex>
#include <string>

#include "platform/http_client.h"

namespace pellquin {
namespace {

// WSAHOST_NOT_FOUND; see HttpResponse::socketError.
constexpr int kHostNotFound = 11001;

struct Transfer {
    std::string body;
    std::string statusLine;
    size_t maxBodyBytes = 0;
    bool tooLarge = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (transfer->body.size() + bytes > transfer->maxBodyBytes) {
        transfer->tooLarge = true;
        return 0;  // ends the transfer with CURLE_WRITE_ERROR
    }
    transfer->body.append(data, bytes);
    return bytes;
}

// Keeps the last status line, so that an interim 1xx response gives way to the final one.
size_t WriteHeader(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    std::string line(data, bytes);
    if (line.compare(0, 5, "HTTP/") == 0) {
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        transfer->statusLine = line;
    }
    return bytes;
}

// RFC 1928 and RFC 1929 outcomes in words; empty for failures that are not the proxy's answer.
std::string ProxyRefusal(long code) {
    switch (code) {
        case CURLPX_USER_REJECTED:
            return "The SOCKS 5 proxy rejected the user name or password";
        case CURLPX_NO_AUTH:
            return "The SOCKS 5 proxy accepts none of the offered authentication methods";
        case CURLPX_REPLY_GENERAL_SERVER_FAILURE:
            return "The SOCKS 5 proxy reported a general failure";
        case CURLPX_REPLY_NOT_ALLOWED:
            return "The SOCKS 5 proxy does not allow the connection to the web server";
        case CURLPX_REPLY_NETWORK_UNREACHABLE:
            return "The SOCKS 5 proxy could not reach the web server's network";
        case CURLPX_REPLY_HOST_UNREACHABLE:
            return "The SOCKS 5 proxy could not reach the web server";
        case CURLPX_REPLY_CONNECTION_REFUSED:
            return "The SOCKS 5 proxy could not connect to the web server: connection refused";
        case CURLPX_REPLY_TTL_EXPIRED:
            return "The SOCKS 5 proxy could not connect to the web server: TTL expired";
        case CURLPX_REPLY_COMMAND_NOT_SUPPORTED:
            return "The SOCKS 5 proxy does not support the connect command";
        case CURLPX_REPLY_ADDRESS_TYPE_NOT_SUPPORTED:
            return "The SOCKS 5 proxy does not support the web server's address type";
        case CURLPX_LONG_USER:
        case CURLPX_LONG_PASSWD:
            return "The proxy user name and password may have at most 255 characters each";
        case CURLPX_LONG_HOSTNAME:
            return "The web server's host name is too long for the SOCKS 5 proxy";
        default:
            return std::string();
    }
}

std::string ProxyUrl(const SocksProxy& proxy) {
    // The scheme is always ours: a host typed as "http://..." must not turn the proxy into
    // an HTTP proxy.
    const bool ipv6 = proxy.host.find(':') != std::string::npos;
    return "socks5h://" + (ipv6 ? "[" + proxy.host + "]" : proxy.host) + ":" +
           std::to_string(proxy.port);
}

using Easy = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using Headers = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

class CurlHttpClient : public HttpClient {
public:
    CurlHttpClient() {
        static std::once_flag once;
        std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });
    }

    HttpResponse Get(const HttpRequest& request) override {
        HttpResponse response;
        Easy easy(curl_easy_init(), &curl_easy_cleanup);
        if (!easy) {
            response.failure = HttpFailure::Other;
            response.failureText = "The HTTP client could not start";
            return response;
        }
        Headers headers(nullptr, &curl_slist_free_all);
        for (const auto& [name, value] : request.headers) {
            curl_slist* more = curl_slist_append(headers.get(), (name + ": " + value).c_str());
            if (more != nullptr) {
                headers.release();
                headers.reset(more);
            }
        }

        Transfer transfer;
        transfer.maxBodyBytes = request.maxBodyBytes;
        char errorText[CURL_ERROR_SIZE] = {};
        CURL* handle = easy.get();
        curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
        curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &WriteBody);
        curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
        curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &WriteHeader);
        curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
        const std::string proxyUrl = request.useSocks ? ProxyUrl(request.socks) : std::string();
        // An empty proxy also keeps libcurl from taking one from the environment
        // (http_proxy, all_proxy): the connection goes straight to the web server.
        curl_easy_setopt(handle, CURLOPT_PROXY, proxyUrl.c_str());
        // Likewise no_proxy: a proxy that is set is used for every host.
        curl_easy_setopt(handle, CURLOPT_NOPROXY, "");
        if (request.useSocks && !request.socks.user.empty()) {
            curl_easy_setopt(handle, CURLOPT_SOCKS5_AUTH, static_cast<long>(CURLAUTH_BASIC));
            curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, request.socks.user.c_str());
            curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, request.socks.password.c_str());
        } else {
            curl_easy_setopt(handle, CURLOPT_SOCKS5_AUTH, static_cast<long>(CURLAUTH_NONE));
        }

        const CURLcode result = curl_easy_perform(handle);
        long osErrno = 0;
        long status = 0;
        long proxyError = CURLPX_OK;
        curl_easy_getinfo(handle, CURLINFO_OS_ERRNO, &osErrno);
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(handle, CURLINFO_PROXY_ERROR, &proxyError);

        if (result == CURLE_OK) {
            response.status = static_cast<int>(status);
            response.statusLine = transfer.statusLine;
            response.body = std::move(transfer.body);
            return response;
        }
        const std::string text = errorText[0] != '\0' ? errorText : curl_easy_strerror(result);
        const std::string refusal = result == CURLE_PROXY ? ProxyRefusal(proxyError) : "";
        if (!refusal.empty()) {
            response.failure = HttpFailure::Other;
            response.failureText = refusal;
        } else if (result == CURLE_COULDNT_RESOLVE_HOST || result == CURLE_COULDNT_RESOLVE_PROXY) {
            response.failure = HttpFailure::Socket;
            response.socketError = kHostNotFound;
        } else if (osErrno != 0) {
            response.failure = HttpFailure::Socket;
            response.socketError = static_cast<int>(osErrno);
        } else if (transfer.tooLarge) {
            response.failure = HttpFailure::Other;
            response.failureText =
                "The response is larger than " + std::to_string(request.maxBodyBytes) + " bytes";
        } else {
            response.failure = HttpFailure::Other;
            response.failureText = text;
        }
        return response;
    }
};

}  // namespace

std::unique_ptr<HttpClient> MakeHttpClient() {
    return std::make_unique<CurlHttpClient>();
}

}  // namespace pellquin
