#include "update/core/update_checker.h"

#include <gtest/gtest.h>

#include "fake_http_client.h"
#include "update/core/application_info.h"

namespace pellquin::test {
namespace {

using Outcome = UpdateCheckResult::Outcome;

std::string VersionsFile(const std::string& version, const std::string& url) {
    return "<ProductVersions><Pellquin><Version>" + version + "</Version><URL>" + url +
           "</URL></Pellquin></ProductVersions>";
}

HttpResponse Status(int status, const std::string& line) {
    HttpResponse response;
    response.status = status;
    response.statusLine = line;
    return response;
}

class UpdateCheckerTest : public ::testing::Test {
protected:
    UpdateCheckerTest() {
        auto http = std::make_unique<FakeHttpClient>();
        m_http = http.get();
        m_checker = std::make_unique<UpdateChecker>(std::move(http), "http://versions.test/v.xml");
    }

    FakeHttpClient* m_http;
    std::unique_ptr<UpdateChecker> m_checker;
};

TEST(ApplicationInfo, VersionShowsWithTwoDecimals) {
    EXPECT_EQ(FormattedVersion(), "2.10");
    // The About box, --version and the packages name one version.
    EXPECT_EQ(FormattedVersion(), PELLQUIN_VERSION);
}

TEST_F(UpdateCheckerTest, AsksForTheVersionsFileWithTheClientsHeaders) {
    m_checker->Check(ProxySettings{}, '.');
    ASSERT_EQ(m_http->requests.size(), 1u);
    const HttpRequest& request = m_http->requests[0];
    EXPECT_EQ(request.url, "http://versions.test/v.xml");
    using Headers = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(request.headers, (Headers{{"Accept", "text/html, */*"},
                                        {"User-Agent", "Mozilla/3.0 (compatible; Indy Library)"}}));
    EXPECT_FALSE(request.useSocks);
}

TEST_F(UpdateCheckerTest, ComparesStrictlyAndKeepsTheUrlWhateverTheVerdict) {
    const struct {
        const char* version;
        Outcome outcome;
    } cases[] = {{"2.1", Outcome::UpToDate},
                 {"2.10", Outcome::UpToDate},
                 {"2.11", Outcome::Newer},
                 {"2.0", Outcome::UpToDate},
                 {"10", Outcome::Newer}};
    for (const auto& c : cases) {
        const std::string url = std::string("http://d/") + c.version;
        m_http->Serve(VersionsFile(c.version, url));
        EXPECT_EQ(m_checker->Check(ProxySettings{}, '.').outcome, c.outcome) << c.version;
        EXPECT_EQ(m_checker->DownloadURL(), url) << c.version;
    }
}

TEST_F(UpdateCheckerTest, ReadsTheVersionWithTheUsersSeparator) {
    m_http->Serve(VersionsFile("2,11", "http://d/comma"));
    EXPECT_EQ(m_checker->Check(ProxySettings{}, ',').outcome, Outcome::Newer);

    // Not a number for this user: the file's content is at fault, and the address of the
    // earlier check stays.
    m_http->Serve(VersionsFile("2.20", "http://d/point"));
    EXPECT_EQ(m_checker->Check(ProxySettings{}, ',').outcome, Outcome::FileContentError);
    EXPECT_EQ(m_checker->DownloadURL(), "http://d/comma");
}

TEST_F(UpdateCheckerTest, MissingElementsAreAFileContentError) {
    m_http->Serve(VersionsFile("2.11", "http://d/new"));
    m_checker->Check(ProxySettings{}, '.');
    m_http->Serve(
        "<ProductVersions><Other><Version>3</Version><URL>x</URL></Other>"
        "</ProductVersions>");
    const UpdateCheckResult result = m_checker->Check(ProxySettings{}, '.');
    EXPECT_EQ(result.outcome, Outcome::FileContentError);
    EXPECT_EQ(result.failureText, "");
    EXPECT_EQ(m_checker->DownloadURL(), "http://d/new");
}

TEST_F(UpdateCheckerTest, FailuresCarryTheirNumberOrText) {
    HttpResponse refused;
    refused.failure = HttpFailure::Socket;
    refused.socketError = 111;
    HttpResponse proxy;
    proxy.failure = HttpFailure::Other;
    proxy.failureText = "The SOCKS 5 proxy rejected the user name or password";
    HttpResponse bare = Status(502, "");
    HttpResponse malformed = Status(200, "HTTP/1.1 200 OK");
    malformed.body = "<ProductVersions>";

    const struct {
        HttpResponse response;
        Outcome outcome;
        int socketError;
        std::string text;
    } cases[] = {
        {refused, Outcome::SocketError, 111, ""},
        {proxy, Outcome::Failure, 0, "The SOCKS 5 proxy rejected the user name or password"},
        {Status(301, "HTTP/1.1 301 Moved Permanently"), Outcome::Failure, 0,
         "HTTP/1.1 301 Moved Permanently"},
        {Status(404, "HTTP/1.0 404 Not Found"), Outcome::Failure, 0, "HTTP/1.0 404 Not Found"},
        {bare, Outcome::Failure, 0, "HTTP status 502"},
        {malformed, Outcome::Failure, 0,
         "The versions file is not well-formed XML: Start-end tags mismatch (at offset 16)"},
    };
    for (const auto& c : cases) {
        m_http->responses.push_back(c.response);
        const UpdateCheckResult result = m_checker->Check(ProxySettings{}, '.');
        EXPECT_EQ(result.outcome, c.outcome) << c.text;
        EXPECT_EQ(result.socketError, c.socketError) << c.text;
        EXPECT_EQ(result.failureText, c.text);
    }
    EXPECT_EQ(m_checker->DownloadURL(), "");
}

TEST(SocketErrorMessage, NamesTheNumber) {
    EXPECT_EQ(SocketErrorMessage(10061),
              "An Error occured whilst Checking for updates. \n\n Error Code : 10061");
}

TEST(ApplyProxySettings, SocksFiveOnlyWhenEnabled) {
    HttpRequest request;
    ProxySettings settings;
    settings.ProxyServer = "proxy.test";
    settings.ProxyPort = 1080;
    settings.ProxyUser = "ann";
    settings.ProxyPassword = "pw";
    EXPECT_EQ(ApplyProxySettings(settings, request), "");
    EXPECT_FALSE(request.useSocks);

    settings.ProxyEnabled = 7;  // any value but 0 is on
    EXPECT_EQ(ApplyProxySettings(settings, request), "");
    EXPECT_TRUE(request.useSocks);
    EXPECT_EQ(request.socks.host, "proxy.test");
    EXPECT_EQ(request.socks.port, 1080);
    EXPECT_EQ(request.socks.user, "ann");
    EXPECT_EQ(request.socks.password, "pw");

    // Without a user name there is no authentication, whatever password is stored.
    settings.ProxyUser.clear();
    EXPECT_EQ(ApplyProxySettings(settings, request), "");
    EXPECT_EQ(request.socks.user, "");
    EXPECT_EQ(request.socks.password, "");
}

TEST(ApplyProxySettings, RefusesSettingsThatNameNoProxy) {
    const struct {
        const char* host;
        int32_t port;
        const char* error;
    } cases[] = {
        {"", 1080, "No proxy host name is set"},
        {"http://proxy.test", 1080, "The proxy host name \"http://proxy.test\" is not valid"},
        {"user@proxy", 1080, "The proxy host name \"user@proxy\" is not valid"},
        {"proxy.test", 0, "The proxy port 0 is not a TCP port (1 to 65535)"},
        {"proxy.test", 65536, "The proxy port 65536 is not a TCP port (1 to 65535)"},
        {"proxy.test", -1, "The proxy port -1 is not a TCP port (1 to 65535)"},
        {"::1", 65535, ""},
        {"10.0.0.1", 1, ""},
    };
    for (const auto& c : cases) {
        ProxySettings settings;
        settings.ProxyEnabled = 1;
        settings.ProxyServer = c.host;
        settings.ProxyPort = c.port;
        HttpRequest request;
        EXPECT_EQ(ApplyProxySettings(settings, request), c.error) << c.host << ":" << c.port;
    }
}

TEST_F(UpdateCheckerTest, UnusableProxySettingsFailBeforeAnyRequest) {
    ProxySettings settings;
    settings.ProxyEnabled = 1;
    const UpdateCheckResult result = m_checker->Check(settings, '.');
    EXPECT_EQ(result.outcome, Outcome::Failure);
    EXPECT_EQ(result.failureText, "No proxy host name is set");
    EXPECT_TRUE(m_http->requests.empty());
}

TEST(IsWebAddress, OnlyHttpAndHttps) {
    EXPECT_TRUE(IsWebAddress("http://www.morrowfen.example/get"));
    EXPECT_TRUE(IsWebAddress("HTTPS://www.morrowfen.example/get"));
    EXPECT_FALSE(IsWebAddress("file:///etc/passwd"));
    EXPECT_FALSE(IsWebAddress("C:\\Windows\\System32\\calc.exe"));
    EXPECT_FALSE(IsWebAddress("\\\\host\\share\\setup.exe"));
    EXPECT_FALSE(IsWebAddress(""));
}

}  // namespace
}  // namespace pellquin::test
