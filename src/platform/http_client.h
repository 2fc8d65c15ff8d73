#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace pellquin {

// A SOCKS version 5 proxy (RFC 1928). The proxy resolves the web server's host name itself.
struct SocksProxy {
    std::string host;  // name or address; an IPv6 address without brackets
    uint16_t port = 0;
    std::string user;  // empty: no authentication; else user name and password (RFC 1929)
    std::string password;
};

struct HttpRequest {
    std::string url;  // http:// or https://
    std::vector<std::pair<std::string, std::string>> headers;
    bool useSocks = false;  // connect through `socks`, else straight to the web server
    SocksProxy socks;
    // A body that grows beyond this many bytes ends the request as a failure, so that a
    // misbehaving server cannot exhaust memory.
    size_t maxBodyBytes = 1 << 20;
};

enum class HttpFailure {
    None,    // a response arrived, whatever its status
    Socket,  // the sockets layer failed; socketError holds the platform's number
    Other,   // anything else (proxy refusal, protocol error, body too large); see failureText
};

struct HttpResponse {
    HttpFailure failure = HttpFailure::None;
    // The platform's socket error number (errno on Linux, WSAGetLastError on Windows). A host
    // name that does not resolve reports 11001, the Winsock number for "host not found",
    // as POSIX has no error number for it.
    int socketError = 0;
    std::string failureText;  // for the user, when failure == Other
    int status = 0;
    std::string statusLine;  // the response's first line without its line break
    std::string body;
};

// One HTTP/1.1 GET at a time, blocking until it completes or fails. Redirects are never
// followed: a 3xx response comes back as it is. Abstract so that the update check runs
// against scripted answers in tests and against a real client in the program.
class HttpClient {
public:
    virtual ~HttpClient() = default;
    virtual HttpResponse Get(const HttpRequest& request) = 0;
};

// libcurl on every platform; defined in the pellquin_http library, which links it.
std::unique_ptr<HttpClient> MakeHttpClient();

}  // namespace pellquin
