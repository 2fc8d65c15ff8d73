#pragma once

#include <memory>
#include <string>

#include "platform/http_client.h"
#include "settings/proxy_settings.h"

namespace pellquin {

// The header values every versions file request carries.
inline constexpr const char kUpdateAccept[] = "text/html, */*";
inline constexpr const char kUpdateUserAgent[] = "Mozilla/3.0 (compatible; Indy Library)";

// The verdicts and the file-content error as the About box shows them.
inline constexpr const char kCheckingText[] = "Checking for Updates";
inline constexpr const char kNewerVersionText[] = "A Newer Version Is Available";
inline constexpr const char kUpToDateText[] = "The current version is up to date";
inline constexpr const char kUpdateInfoErrorText[] = "Error fetching update info";
inline constexpr const char kSocketErrorCaption[] = "Check for Updates";

struct UpdateCheckResult {
    enum class Outcome {
        Newer,             // the file names a strictly greater version
        UpToDate,          // equal or lower
        FileContentError,  // an element is missing, or "Version" is not a number
        SocketError,       // socketError holds the platform's number
        Failure,           // anything else; failureText says what
    };
    Outcome outcome = Outcome::Failure;
    int socketError = 0;
    std::string failureText;
};

// The socket-error box's text for `socketError`.
std::string SocketErrorMessage(int socketError);

// Points `request` at the SOCKS 5 proxy when settings.ProxyEnabled is not 0 (with user name
// and password only when ProxyUser is not empty), else at no proxy. Returns a text for the
// user when the settings cannot be used (no host, a host that is no name or address, a port
// outside 1 to 65535), else "".
std::string ApplyProxySettings(const ProxySettings& settings, HttpRequest& request);

// Asks the maker's web server whether a newer version than CurrentVersion exists.
class UpdateChecker {
public:
    // `versionsUrl` is kVersionsFileUrl in the program; tests point it at their own server.
    UpdateChecker(std::unique_ptr<HttpClient> http, std::string versionsUrl);

    // One GET of the versions file through `proxy`, then the comparison. A version text that
    // does not convert with `decimalSeparator` counts as a file-content error.
    UpdateCheckResult Check(const ProxySettings& proxy, char decimalSeparator);

    // The "URL" text of the last check that read a convertible version; "" until then.
    const std::string& DownloadURL() const { return m_downloadUrl; }

private:
    std::unique_ptr<HttpClient> m_http;
    std::string m_versionsUrl;
    std::string m_downloadUrl;
};

// Whether `address` is an http or https address, the only kinds the Download button opens:
// the file comes from the network, and the shell would run a program named there.
bool IsWebAddress(const std::string& address);

}  // namespace pellquin
