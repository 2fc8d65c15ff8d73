#include "queryservice/service_config.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "answer_in_child.h"
#include "fake_net_file_api.h"
#include "fake_system_info.h"
#include "query/direct_query.h"
#include "queryservice/own_server_net_file_api.h"

namespace pellquin {
namespace {

TEST(ServiceConfig, ReadsEverySettingWithCommentsAndBlanks) {
    ServiceConfig config;
    std::string error;
    ASSERT_TRUE(
        ParseServiceConfig("# the service\n"
                           "listen = 10.0.0.1\n"
                           "port=9000   # not the default\n"
                           "\n"
                           "samba_server = fs01\n"
                           "credentials_file = /etc/pellquin/credentials\n"
                           "log_dir = /var/log/pq\n"
                           "allow_clients = 10.0.0.5, 10.0.0.6 ,\n"
                           "refuse_close = yes\n"
                           "max_connections = 64\n"
                           "io_timeout_ms = 2500\n",
                           &config, &error))
        << error;
    EXPECT_EQ(config.listenAddress, "10.0.0.1");
    EXPECT_EQ(config.port, 9000);
    EXPECT_EQ(config.sambaServer, "fs01");
    EXPECT_EQ(config.credentialsFile, "/etc/pellquin/credentials");
    EXPECT_EQ(config.logDirectory, "/var/log/pq");
    EXPECT_EQ(config.allowedClients, (std::vector<std::string>{"10.0.0.5", "10.0.0.6"}));
    EXPECT_TRUE(config.refuseClose);
    EXPECT_EQ(config.maxConnections, 64u);
    EXPECT_EQ(config.ioTimeoutMs, 2500u);
}

TEST(ServiceConfig, AllowedClientsAreKeptInTheFormPeersAreSeenIn) {
    ServiceConfig config;
    std::string error;
    ASSERT_TRUE(ParseServiceConfig(
        "allow_clients = ::ffff:10.0.0.5, 0:0:0:0:0:0:0:1, FE80:0::AB, 192.168.1.1\n", &config,
        &error))
        << error;
    EXPECT_EQ(config.allowedClients,
              (std::vector<std::string>{"10.0.0.5", "::1", "fe80::ab", "192.168.1.1"}));

    for (const char* text : {"allow_clients = 10.0.0.256\n", "allow_clients = fs01\n"}) {
        EXPECT_FALSE(ParseServiceConfig(text, &config, &error)) << text;
        EXPECT_NE(error.find("bad value for allow_clients"), std::string::npos) << error;
    }
}

TEST(ServiceConfig, DefaultsServeEveryoneOnPort8021) {
    const ServiceConfig config;
    EXPECT_EQ(config.port, 8021);
    EXPECT_TRUE(config.allowedClients.empty());
    EXPECT_FALSE(config.refuseClose);
}

TEST(ServiceConfig, MistakesAreErrorsNamingTheLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"port = 8021\nprot = 1\n", "line 2: unknown setting 'prot'"},
        {"port = 70000\n", "line 1: bad value for port: '70000'"},
        {"port = -1\n", "line 1: bad value for port: '-1'"},
        {"refuse_close = maybe\n", "line 1: bad value for refuse_close: 'maybe'"},
        {"max_connections = 0\n", "line 1: bad value for max_connections: '0'"},
        {"listen 10.0.0.1\n", "line 1: expected key = value"},
        // The stand-in file server of the test build is no setting of the service.
        {"canned_engine = 3\n", "line 1: unknown setting 'canned_engine'"},
    };
    for (const auto& c : cases) {
        ServiceConfig config;
        std::string error;
        EXPECT_FALSE(ParseServiceConfig(c.text, &config, &error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
}

// The name is tried when the file is read, so a misspelt code page stops the start instead of
// garbling every name later.
TEST(ServiceConfig, CodePagesAreCheckedAsTheFileIsRead) {
    const struct {
        const char* text;
        const char* codePage;  // nullptr: refused
        const char* error;
    } cases[] = {
        {"codepage = UTF-8\n", "UTF-8", ""},
        {"codepage = ISO-8859-15\n", "ISO-8859-15", ""},
        {"codepage =\n", "", ""},
        {"port = 8021\ncodepage = Latin-9x\n", nullptr,
         "line 2: codepage: unknown code page 'Latin-9x' (use a name iconv knows, such as "
         "Windows-1252, ISO-8859-15 or UTF-8)"},
        {"codepage = UTF-16\n", nullptr,
         "line 1: codepage: code page 'UTF-16' does not keep ASCII as it is, so paths would not "
         "survive it"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ServiceConfig config;
        std::string error;
        EXPECT_EQ(ParseServiceConfig(c.text, &config, &error), c.codePage != nullptr);
        EXPECT_EQ(error, c.error);
        if (c.codePage != nullptr) {
            EXPECT_EQ(config.codePage, c.codePage);
        }
    }
}

TEST(ServiceConfig, CommandLineOverridesTheFile) {
    char path[] = "/tmp/pq-config-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    std::ofstream(path) << "listen = 10.0.0.1\nport = 9000\nlog_dir = /var/log/pq\n";

    ServiceOptions options;
    std::string error;
    ASSERT_TRUE(ParseServiceOptions(
        {"--foreground", "--config", path, "--port", "8022", "--listen", "127.0.0.61"}, &options,
        &error))
        << error;
    ServiceConfig config;
    ASSERT_TRUE(LoadServiceConfig(options, &config, &error)) << error;
    std::remove(path);

    EXPECT_TRUE(options.foreground);
    EXPECT_EQ(config.listenAddress, "127.0.0.61");
    EXPECT_EQ(config.port, 8022);
    EXPECT_EQ(config.logDirectory, "/var/log/pq");
}

TEST(ServiceConfig, BadCommandLinesAndMissingNamedFileAreRefused) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--port"}, {"--port", "x"}, {"--verbose"}, {"--canned-engine", "3"}}) {
        ServiceOptions options;
        std::string error;
        EXPECT_FALSE(ParseServiceOptions(args, &options, &error)) << args[0];
    }
    ServiceOptions options;
    options.configFile = "/nonexistent/pellquin.conf";
    ServiceConfig config;
    std::string error;
    EXPECT_FALSE(LoadServiceConfig(options, &config, &error));
    EXPECT_EQ(error, "/nonexistent/pellquin.conf: cannot be read");
}

TEST(ServiceConfig, AFileOthersCouldChangeIsRefused) {
    char path[] = "/tmp/pq-config-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    std::ofstream(path) << "allow_clients = 10.0.0.5\n";
    ServiceOptions options;
    options.configFile = path;
    ServiceConfig config;
    std::string error;

    ASSERT_EQ(chmod(path, 0666), 0);
    EXPECT_FALSE(LoadServiceConfig(options, &config, &error));
    EXPECT_EQ(error, std::string(path) + " may be changed by other users (mode 0666); allow its " +
                         "owner only to write it: chmod go-w " + path);
    EXPECT_TRUE(config.allowedClients.empty());

    ASSERT_EQ(chmod(path, 0644), 0);
    EXPECT_TRUE(LoadServiceConfig(options, &config, &error)) << error;
    EXPECT_EQ(config.allowedClients, std::vector<std::string>{"10.0.0.5"});

    // Another user could change its mode back at any time.
    if (geteuid() == 0 && chown(path, 65534, 65534) == 0) {
        error.clear();
        EXPECT_FALSE(LoadServiceConfig(options, &config, &error));
        EXPECT_NE(error.find("belongs to user 65534"), std::string::npos) << error;
    }
    std::remove(path);
}

// LoadServiceConfig of the file at `path`, where a file that blocks the reader fails the
// test instead of hanging it: its error, or "(loaded)" with the listen address.
std::string LoadInChild(const std::string& path) {
    return test::AnswerInChild([&] {
        ServiceOptions options;
        options.configFile = path;
        ServiceConfig config;
        std::string error;
        return LoadServiceConfig(options, &config, &error) ? "(loaded) " + config.listenAddress
                                                           : error;
    });
}

TEST(ServiceConfig, OnlyARegularFileOfSensibleSizeIsRead) {
    char pattern[] = "/tmp/pq-config-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = dir + "/huge";
    const int fd = open(huge.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t{2} << 20), 0);  // sparse
    close(fd);
    const std::string real = dir + "/real";
    std::ofstream(real) << "listen = 10.0.0.9\n";
    const std::string link = dir + "/link";
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);

    struct Case {
        std::string path;
        std::string answer;
    };
    const Case cases[] = {
        {fifo, fifo + ": cannot be read (it is not a regular file)"},
        {dir, dir + ": cannot be read (it is not a regular file)"},
        {huge, huge + ": cannot be read (it is larger than 1048576 bytes)"},
        {real + "/x", real + "/x: cannot be read (Not a directory)"},
        // An administrator may keep the file elsewhere and link to it.
        {link, "(loaded) 10.0.0.9"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LoadInChild(c.path), c.answer);
    }
    for (const std::string& path : {link, real, huge, fifo, dir}) {
        std::remove(path.c_str());
    }
}

TEST(OwnServerNetFileApi, EveryCallGoesToTheServiceOwnServer) {
    auto inner = std::make_unique<test::FakeNetFileApi>();
    test::FakeNetFileApi& fake = *inner;
    fake.shareFolders["data"] = "C:\\srv\\data";
    OwnServerNetFileApi api(std::move(inner), "127.0.0.5");

    std::string folder;
    uint32_t resume = 0;
    std::vector<OpenFileEntry> entries;
    EXPECT_EQ(api.ShareGetInfo("elsewhere", "data", &folder), 0u);
    api.FileEnum(std::string("elsewhere"), "C:\\srv\\data\\x", &resume, &entries);
    // A local path of this machine is named in its file server's own form.
    api.FileEnum(std::nullopt, "/srv/data/x", &resume, &entries);
    api.FileClose(std::string("\\\\elsewhere"), 4);
    api.FileClose(std::nullopt, 5);

    EXPECT_EQ(fake.shareCalls[0].server, "127.0.0.5");
    EXPECT_EQ(fake.enumCalls[0].server, std::optional<std::string>("127.0.0.5"));
    EXPECT_EQ(fake.enumCalls[0].basePath, "C:\\srv\\data\\x");
    EXPECT_EQ(fake.enumCalls[1].server, std::optional<std::string>("127.0.0.5"));
    EXPECT_EQ(fake.enumCalls[1].basePath, "C:\\srv\\data\\x");
    EXPECT_EQ(fake.closeCalls[0].server, std::optional<std::string>("\\\\127.0.0.5"));
    EXPECT_EQ(fake.closeCalls[1].server, std::optional<std::string>("\\\\127.0.0.5"));

    // Without a configured server, "this machine" is passed on as such.
    auto local = std::make_unique<test::FakeNetFileApi>();
    test::FakeNetFileApi& localFake = *local;
    OwnServerNetFileApi thisMachine(std::move(local), "");
    thisMachine.FileEnum(std::string("elsewhere"), "/srv/data", &resume, &entries);
    thisMachine.FileClose(std::string("\\\\elsewhere"), 4);
    EXPECT_EQ(localFake.enumCalls[0].server, std::nullopt);
    EXPECT_EQ(localFake.closeCalls[0].server, std::nullopt);
}

// A local path names a folder of the service's machine; its Samba server answers every open
// file, named in its own form, and the query keeps the ones under that folder.
TEST(OwnServerNetFileApi, ALocalPathKeepsTheRowsUnderItInTheServersForm) {
    const std::vector<OpenFileEntry> everyOpenFile = {
        {1, 1, 0, "C:\\srv\\data\\x\\a.txt", "bob"},
        {2, 1, 0, "C:\\srv\\data\\xy\\b.txt", "bob"},
        {3, 1, 0, "C:\\srv\\other\\c.txt", "bob"},
    };
    test::FakeSystemInfo system;
    for (const char* server : {"127.0.0.5", ""}) {
        SCOPED_TRACE(server);
        auto inner = std::make_unique<test::FakeNetFileApi>();
        inner->rounds = {{NET_OK, everyOpenFile}};
        // This machine's own adapter makes the server's form itself.
        inner->reportedBasePaths["/srv/data/x"] = "C:\\srv\\data\\x";
        OwnServerNetFileApi api(std::move(inner), server);
        TPellquinRequest request;
        request.IsLocal = 1;
        request.Path = "/srv/data/x";

        ASSERT_TRUE(QueryDirect(request, api, system));

        ASSERT_EQ(request.Items.size(), 1u);
        EXPECT_EQ(request.Items[0].Id, 1u);
    }
}

}  // namespace
}  // namespace pellquin
