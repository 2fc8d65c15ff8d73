// The update check over libcurl against a private web server and microsocks on loopback.

#include <gtest/gtest.h>

#include "hive_fixture.h"
#include "local_servers.h"
#include "platform/http_client.h"
#include "platform/registry.h"
#include "settings/proxy_settings.h"
#include "settings/registry_values.h"
#include "update/core/update_checker.h"

namespace pellquin::test {
namespace {

using Outcome = UpdateCheckResult::Outcome;

const std::string kWebIp = "127.0.0.140";
const std::string kProxyIp = "127.0.0.141";
const std::string kDownIp = "127.0.0.142";

std::string VersionsFile(const std::string& version, const std::string& url) {
    return "<?xml version=\"1.0\"?>\n<ProductVersions>\n  <Pellquin>\n    <Version>" + version +
           "</Version>\n    <URL>" + url + "</URL>\n  </Pellquin>\n</ProductVersions>\n";
}

ProxySettings Proxy(uint16_t port, const std::string& user = "", const std::string& password = "") {
    ProxySettings settings;
    settings.ProxyEnabled = 1;
    settings.ProxyServer = kProxyIp;
    settings.ProxyPort = port;
    settings.ProxyUser = user;
    settings.ProxyPassword = password;
    return settings;
}

class UpdateCheckNetworkTest : public HiveTest {
protected:
    void SetUp() override {
        HiveTest::SetUp();
        // The client must not take proxies from the environment: direct checks would go to
        // this dead HTTP proxy, and checks through SOCKS would bypass it for every host.
        for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
            setenv(name, ("http://" + kDownIp + ":9").c_str(), 1);
        }
        setenv("no_proxy", "*", 1);
        setenv("NO_PROXY", "*", 1);
        if (!HaveProgram("python3") || !HaveProgram("microsocks")) {
            GTEST_SKIP() << "needs python3 and microsocks (scripts/setup.sh installs them)";
        }
        m_server = std::make_unique<VersionsServer>(kWebIp);
        ASSERT_TRUE(m_server->ok()) << m_server->error();
        m_checker = MakeChecker(m_server->Url("/versions/versions.xml"));
    }

    void TearDown() override {
        for (const char* name :
             {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
            unsetenv(name);
        }
        HiveTest::TearDown();
    }

    static std::unique_ptr<UpdateChecker> MakeChecker(const std::string& url) {
        return std::make_unique<UpdateChecker>(MakeHttpClient(), url);
    }

    std::unique_ptr<VersionsServer> m_server;
    std::unique_ptr<UpdateChecker> m_checker;
};

TEST_F(UpdateCheckNetworkTest, VerdictsForTheFilesVersion) {
    const struct {
        const char* version;
        Outcome outcome;
    } cases[] = {{"2.1", Outcome::UpToDate},
                 {"2.10", Outcome::UpToDate},
                 {"2.11", Outcome::Newer},
                 {"2.0", Outcome::UpToDate}};
    for (const auto& c : cases) {
        const std::string url =
            std::string("http://www.morrowfen.example/pellquin-") + c.version + ".exe";
        m_server->Publish(VersionsFile(c.version, url));
        const UpdateCheckResult result = m_checker->Check(ProxySettings{}, '.');
        EXPECT_EQ(result.outcome, c.outcome) << c.version << ": " << result.failureText;
        EXPECT_EQ(m_checker->DownloadURL(), url);
    }
    const std::string log = m_server->RequestLog();
    EXPECT_NE(log.find("GET /versions/versions.xml HTTP/1.1\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\nAccept: text/html, */*\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\nUser-Agent: Mozilla/3.0 (compatible; Indy Library)\n"), std::string::npos)
        << log;
}

TEST_F(UpdateCheckNetworkTest, FilesWithoutThisProductsEntry) {
    m_server->Publish(VersionsFile("2.11", "http://www.morrowfen.example/new.exe"));
    ASSERT_EQ(m_checker->Check(ProxySettings{}, '.').outcome, Outcome::Newer);
    for (const char* file :
         {"<ProductVersions><Other><Version>9</Version><URL>o</URL></Other></ProductVersions>",
          "<ProductVersions><PELLQUIN><Version>9</Version><URL>o</URL></PELLQUIN>"
          "</ProductVersions>"}) {
        m_server->Publish(file);
        EXPECT_EQ(m_checker->Check(ProxySettings{}, '.').outcome, Outcome::FileContentError)
            << file;
    }
    EXPECT_EQ(m_checker->DownloadURL(), "http://www.morrowfen.example/new.exe");
}

TEST_F(UpdateCheckNetworkTest, RedirectIsAnErrorAndNotFollowed) {
    m_server->Publish(VersionsFile("2.11", "http://d/"));
    auto checker = MakeChecker(m_server->Url("/moved/versions/versions.xml"));
    const UpdateCheckResult result = checker->Check(ProxySettings{}, '.');
    EXPECT_EQ(result.outcome, Outcome::Failure);
    EXPECT_EQ(result.failureText, "HTTP/1.1 301 Moved Permanently");
    EXPECT_EQ(m_server->RequestLog().find("GET /versions/"), std::string::npos);
}

TEST_F(UpdateCheckNetworkTest, MalformedXmlIsShownAsItsParseError) {
    m_server->Publish("<ProductVersions><Pellquin><Version>2.11</Version></ProductVersions>");
    const UpdateCheckResult result = m_checker->Check(ProxySettings{}, '.');
    EXPECT_EQ(result.outcome, Outcome::Failure);
    EXPECT_EQ(result.failureText,
              "The versions file is not well-formed XML: Start-end tags mismatch (at offset 52)");
}

TEST_F(UpdateCheckNetworkTest, OversizedFileIsRefused) {
    m_server->Publish(VersionsFile("2.11", "http://d/") + std::string(1 << 20, ' '));
    const UpdateCheckResult result = m_checker->Check(ProxySettings{}, '.');
    EXPECT_EQ(result.outcome, Outcome::Failure);
    EXPECT_EQ(result.failureText, "The response is larger than 1048576 bytes");
    EXPECT_EQ(m_checker->DownloadURL(), "");
}

TEST_F(UpdateCheckNetworkTest, WebServerDownIsASocketError) {
    m_server->Stop();
    const UpdateCheckResult result = m_checker->Check(ProxySettings{}, '.');
    EXPECT_EQ(result.outcome, Outcome::SocketError);
    EXPECT_EQ(result.socketError, ECONNREFUSED);
}

// The .invalid domain never resolves (RFC 6761); the box shows the Winsock number for it.
TEST_F(UpdateCheckNetworkTest, HostThatDoesNotResolveIsASocketError) {
    const UpdateCheckResult result =
        MakeChecker("http://versions.pellquin.invalid/versions/versions.xml")
            ->Check(ProxySettings{}, '.');
    EXPECT_EQ(result.outcome, Outcome::SocketError);
    EXPECT_EQ(result.socketError, 11001);
}

TEST_F(UpdateCheckNetworkTest, ThroughTheProxyWithAndWithoutCredentials) {
    m_server->Publish(VersionsFile("2.11", "http://d/"));
    SocksServer open(kProxyIp);
    SocksServer guarded(kProxyIp, "ann", "s3cret");
    ASSERT_TRUE(open.ok() && guarded.ok());

    EXPECT_EQ(m_checker->Check(Proxy(open.port()), '.').outcome, Outcome::Newer);
    EXPECT_EQ(m_checker->Check(Proxy(guarded.port(), "ann", "s3cret"), '.').outcome,
              Outcome::Newer);

    const UpdateCheckResult wrong = m_checker->Check(Proxy(guarded.port(), "ann", "nope"), '.');
    EXPECT_EQ(wrong.outcome, Outcome::Failure);
    EXPECT_EQ(wrong.failureText, "The SOCKS 5 proxy rejected the user name or password");

    const UpdateCheckResult none = m_checker->Check(Proxy(guarded.port()), '.');
    EXPECT_EQ(none.outcome, Outcome::Failure);
    EXPECT_EQ(none.failureText,
              "The SOCKS 5 proxy accepts none of the offered authentication methods");
}

TEST_F(UpdateCheckNetworkTest, ProxyDownIsASocketErrorAndOffGoesStraightToTheServer) {
    m_server->Publish(VersionsFile("2.0", "http://d/"));
    const uint16_t down = UnusedPort(kProxyIp);
    const UpdateCheckResult result = m_checker->Check(Proxy(down), '.');
    EXPECT_EQ(result.outcome, Outcome::SocketError);
    EXPECT_EQ(result.socketError, ECONNREFUSED);

    ProxySettings off = Proxy(down);
    off.ProxyEnabled = 0;
    EXPECT_EQ(m_checker->Check(off, '.').outcome, Outcome::UpToDate);
}

TEST_F(UpdateCheckNetworkTest, ProxyThatCannotReachTheWebServerRefusesTheRequest) {
    SocksServer proxy(kProxyIp);
    ASSERT_TRUE(proxy.ok());
    auto checker = MakeChecker("http://" + kDownIp + ":" + std::to_string(UnusedPort(kDownIp)) +
                               "/versions/versions.xml");
    const UpdateCheckResult result = checker->Check(Proxy(proxy.port()), '.');
    EXPECT_EQ(result.outcome, Outcome::Failure);
    EXPECT_EQ(result.failureText,
              "The SOCKS 5 proxy could not connect to the web server: connection refused");
}

// A stored password without a user name: the load gives an empty user, and the check then
// uses no authentication, which an open proxy accepts.
TEST_F(UpdateCheckNetworkTest, StoredPasswordWithoutUserConnectsWithoutAuthentication) {
    m_server->Publish(VersionsFile("2.11", "http://d/"));
    SocksServer proxy(kProxyIp);
    ASSERT_TRUE(proxy.ok());
    WriteHive(
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Morrowfen\\ProxySettings]\r\n"
        "\"ProxyEnabled\"=dword:00000001\r\n\"ProxyServer\"=\"" +
        kProxyIp + "\"\r\n\"ProxyPort\"=dword:" +
        [&] {
            char hex[16];
            std::snprintf(hex, sizeof hex, "%08x", proxy.port());
            return std::string(hex);
        }() +
        "\r\n\"ProxyPassword\"=\"stale\"\r\n\r\n");
    auto registry = MakeRegistry();
    ProxySettings settings;
    settings.ProxyUser = "earlier";
    LoadProxySettings(*registry, settings);
    EXPECT_EQ(settings.ProxyUser, "");
    EXPECT_EQ(settings.ProxyPassword, "stale");
    const UpdateCheckResult result = m_checker->Check(settings, '.');
    EXPECT_EQ(result.outcome, Outcome::Newer) << result.failureText;
}

}  // namespace
}  // namespace pellquin::test
