#include "update/core/update_checker.h"

#include "settings/constants.h"
#include "update/core/application_info.h"
#include "update/core/version_text.h"
#include "update/core/versions_file.h"

namespace pellquin {
namespace {

using Outcome = UpdateCheckResult::Outcome;

UpdateCheckResult Failed(std::string text) {
    UpdateCheckResult result;
    result.outcome = Outcome::Failure;
    result.failureText = std::move(text);
    return result;
}

bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == ':';
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

}  // namespace

std::string SocketErrorMessage(int socketError) {
    return "An Error occured whilst Checking for updates. \n\n Error Code : " +
           std::to_string(socketError);
}

std::string ApplyProxySettings(const ProxySettings& settings, HttpRequest& request) {
    if (settings.ProxyEnabled == 0) {
        request.useSocks = false;
        return std::string();
    }
    if (settings.ProxyServer.empty()) {
        return "No proxy host name is set";
    }
    for (char c : settings.ProxyServer) {
        if (!IsHostCharacter(c)) {
            return "The proxy host name \"" + settings.ProxyServer + "\" is not valid";
        }
    }
    if (settings.ProxyPort < 1 || settings.ProxyPort > 65535) {
        return "The proxy port " + std::to_string(settings.ProxyPort) +
               " is not a TCP port (1 to 65535)";
    }
    request.useSocks = true;
    request.socks.host = settings.ProxyServer;
    request.socks.port = static_cast<uint16_t>(settings.ProxyPort);
    request.socks.user = settings.ProxyUser;
    request.socks.password = settings.ProxyUser.empty() ? std::string() : settings.ProxyPassword;
    return std::string();
}

UpdateChecker::UpdateChecker(std::unique_ptr<HttpClient> http, std::string versionsUrl)
    : m_http(std::move(http)), m_versionsUrl(std::move(versionsUrl)) {}

UpdateCheckResult UpdateChecker::Check(const ProxySettings& proxy, char decimalSeparator) {
    HttpRequest request;
    request.url = m_versionsUrl;
    request.headers = {{"Accept", kUpdateAccept}, {"User-Agent", kUpdateUserAgent}};
    if (std::string error = ApplyProxySettings(proxy, request); !error.empty()) {
        return Failed(std::move(error));
    }

    HttpResponse response = m_http->Get(request);
    if (response.failure == HttpFailure::Socket) {
        UpdateCheckResult result;
        result.outcome = Outcome::SocketError;
        result.socketError = response.socketError;
        return result;
    }
    if (response.failure == HttpFailure::Other) {
        return Failed(std::move(response.failureText));
    }
    // Redirects are not followed, so a 3xx fails here like any other non-success status.
    if (response.status < 200 || response.status > 299) {
        return Failed(response.statusLine.empty() ? "HTTP status " + std::to_string(response.status)
                                                  : response.statusLine);
    }

    const VersionsFileEntry entry = ReadVersionsFile(response.body, kProductName);
    if (entry.kind == VersionsFileEntry::Kind::Malformed) {
        return Failed(entry.error);
    }
    double version = 0;
    if (entry.kind == VersionsFileEntry::Kind::Missing ||
        !ConvertVersionText(entry.version, decimalSeparator, &version)) {
        UpdateCheckResult result;
        result.outcome = Outcome::FileContentError;
        return result;
    }
    m_downloadUrl = entry.url;
    UpdateCheckResult result;
    result.outcome = version > CurrentVersion ? Outcome::Newer : Outcome::UpToDate;
    return result;
}

bool IsWebAddress(const std::string& address) {
    const std::string lower = Lower(address);
    return lower.compare(0, 7, "http://") == 0 || lower.compare(0, 8, "https://") == 0;
}

}  // namespace pellquin
