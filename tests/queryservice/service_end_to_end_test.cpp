// The service program against a private Samba server, with the client side through the real
// engine. The service runs as a child process with the administrator's credentials, on the
// same address as its smbd; the test process is the ordinary user (one libnetapi context per
// process). Each test has its own address, 127.0.0.60 to 127.0.0.89 and 127.0.0.210.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>
#include <tuple>

#include "fake_service_exchange.h"
#include "file_holder.h"
#include "platform/net_file_api.h"
#include "platform/system_info.h"
#include "platform/universal_names.h"
#include "platform/wire_text.h"
#include "query/mod_pq.h"
#include "query/service_client.h"
#include "query/tcp_transport.h"
#include "raw_client.h"
#include "samba_sandbox.h"
#include "service_process.h"

namespace pellquin {
namespace {

using test::FileHolder;
using test::SambaSandbox;
using test::ServiceProcess;

const std::vector<std::string> kHeld = {"r:readme.txt", "w:reports/q1.xls",
                                        "r:reports/archive/2023 summary.txt"};

// (id, path, user, permissions, locks) of every row, order aside.
using Row = std::tuple<uint32_t, std::string, std::string, uint32_t, uint32_t>;
struct Answer {
    std::string errorText;
    std::string serverPath;
    std::set<Row> rows;
};

Answer AnswerOf(const TPellquinRequest& request) {
    Answer answer{request.ErrorText, request.ServerPath, {}};
    for (const auto& item : request.Items) {
        answer.rows.insert(
            {item.Id, item.PathName, item.UserName, item.Permissions, item.NumLocks});
    }
    return answer;
}

TPellquinRequest Query(TmodPQ& modPQ, const std::string& path, int tryDirect, int tryService) {
    TPellquinRequest request;
    request.ClientPath = path;
    request.Path = path;
    request.RequestKind = REQUEST_QUERY;
    modPQ.QueryOpenFiles(request, tryDirect, tryService);
    return request;
}

// An administrator's direct check of `paths`, made in a child process so that this process
// stays free to be the ordinary user.
std::vector<Answer> AdministratorsDirectCheck(const SambaSandbox& sandbox,
                                              const std::vector<std::string>& paths) {
    int fds[2];
    if (pipe(fds) != 0) {
        return {};
    }
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        std::string error;
        auto netFiles = MakeNetFileApi(NetCredentials{sandbox.adminCredentials()}, &error);
        std::ostringstream out;
        if (netFiles) {
            TmodPQ modPQ(std::move(netFiles), MakeUniversalNames(), MakeSystemInfo(),
                         std::make_unique<test::FakeServiceExchange>());
            for (const auto& path : paths) {
                const TPellquinRequest request = Query(modPQ, path, 1, 0);
                out << request.ErrorText << '\0' << request.ServerPath << '\0'
                    << request.Items.size() << '\0';
                for (const auto& item : request.Items) {
                    out << item.Id << '\0' << item.PathName << '\0' << item.UserName << '\0'
                        << item.Permissions << '\0' << item.NumLocks << '\0';
                }
            }
        }
        const std::string text = out.str();
        const bool written =
            write(fds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        _exit(written ? 0 : 1);
    }
    close(fds[1]);
    std::string text;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<size_t>(n));
    }
    close(fds[0]);
    waitpid(child, nullptr, 0);

    std::istringstream in(text);
    const auto next = [&in] {
        std::string field;
        std::getline(in, field, '\0');
        return field;
    };
    std::vector<Answer> answers;
    for (size_t i = 0; i < paths.size() && in; ++i) {
        Answer answer;
        answer.errorText = next();
        answer.serverPath = next();
        const size_t count = std::stoul("0" + next());
        for (size_t r = 0; r < count; ++r) {
            const uint32_t id = static_cast<uint32_t>(std::stoul(next()));
            const std::string path = next();
            const std::string user = next();
            const uint32_t permissions = static_cast<uint32_t>(std::stoul(next()));
            const uint32_t locks = static_cast<uint32_t>(std::stoul(next()));
            answer.rows.insert({id, path, user, permissions, locks});
        }
        answers.push_back(std::move(answer));
    }
    return answers;
}

class ServiceEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        std::string reason;
        if (!SambaSandbox::CanRun(&reason)) {
            GTEST_SKIP() << "private Samba server: " << reason;
        }
    }

    // The service for `sandbox`, answering on its address with the administrator's rights,
    // its records in `codePage` (empty: the default).
    static std::unique_ptr<ServiceProcess> StartService(const SambaSandbox& sandbox,
                                                        const std::string& codePage = "") {
        return std::make_unique<ServiceProcess>(
            sandbox.ip(), SERVICE_PORT,
            "samba_server = " + sandbox.ip() + "\ncredentials_file = " +
                sandbox.adminCredentials() + "\ncodepage = " + codePage + "\n");
    }

    // The ordinary user's engine with the real adapters and the real service client, its
    // records in `codePage` (empty: the default).
    static std::unique_ptr<TmodPQ> UserEngine(const SambaSandbox& sandbox,
                                              const std::string& codePage = "") {
        std::string error;
        auto netFiles = MakeNetFileApi(NetCredentials{sandbox.userCredentials()}, &error);
        EXPECT_NE(netFiles, nullptr) << error;
        auto wireText = MakeWireText(codePage, &error);
        EXPECT_NE(wireText, nullptr) << error;
        if (!netFiles || !wireText) {
            return nullptr;
        }
        return std::make_unique<TmodPQ>(
            std::move(netFiles), MakeUniversalNames(), MakeSystemInfo(),
            std::make_unique<ServiceClient>(MakeSystemInfo(), std::make_unique<TcpTransport>(),
                                            std::move(wireText)));
    }
};

std::string ReadFile(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST_F(ServiceEndToEnd, OrdinaryUserThroughTheServiceSeesTheAdministratorsDirectRows) {
    SambaSandbox sandbox("127.0.0.60");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    FileHolder holder(sandbox, sandbox.userCredentials(), kHeld);
    ASSERT_TRUE(holder.ok()) << holder.error();
    const std::vector<std::string> paths = {sandbox.uncRoot(), sandbox.uncRoot() + "\\reports",
                                            sandbox.uncRoot() + "\\reports\\q1.xls",
                                            sandbox.uncRoot() + "\\bench"};
    const std::vector<Answer> expected = AdministratorsDirectCheck(sandbox, paths);
    ASSERT_EQ(expected.size(), paths.size());
    auto service = StartService(sandbox);
    ASSERT_TRUE(service->ok()) << service->error();
    auto modPQ = UserEngine(sandbox);
    ASSERT_NE(modPQ, nullptr);

    const size_t counts[] = {3, 2, 1, 0};
    for (size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i]);
        const Answer answer = AnswerOf(Query(*modPQ, paths[i], 0, 1));
        EXPECT_EQ(expected[i].errorText, "");
        EXPECT_EQ(expected[i].rows.size(), counts[i]);
        EXPECT_EQ(answer.errorText, "");
        EXPECT_EQ(answer.serverPath, expected[i].serverPath);
        EXPECT_EQ(answer.rows, expected[i].rows);
    }
    EXPECT_NE(ReadFile(service->logPath())
                  .find(" \"" + MakeSystemInfo()->UserName() + "\"@\"" +
                        MakeSystemInfo()->ComputerName() +
                        "\" query \"\\\\127.0.0.60\\data\\reports\": 2 rows"),
              std::string::npos)
        << ReadFile(service->logPath());
}

TEST_F(ServiceEndToEnd, WithBothFlagsTheDeniedDirectAttemptGivesWayToTheService) {
    SambaSandbox sandbox("127.0.0.61");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    FileHolder holder(sandbox, sandbox.userCredentials(), kHeld);
    ASSERT_TRUE(holder.ok()) << holder.error();
    auto service = StartService(sandbox);
    ASSERT_TRUE(service->ok()) << service->error();
    auto modPQ = UserEngine(sandbox);
    ASSERT_NE(modPQ, nullptr);
    const std::string path = sandbox.uncRoot() + "\\reports";

    // On its own, the direct attempt is denied to this user.
    EXPECT_EQ(Query(*modPQ, path, 1, 0).ErrorText, kMessageAccessDeniedTryService);

    const TPellquinRequest request = Query(*modPQ, path, 1, 1);
    EXPECT_EQ(request.ErrorText, "");
    EXPECT_EQ(request.ServerPath, sandbox.serverFolder() + "\\reports");
    std::set<std::string> names;
    for (const auto& item : request.Items) {
        names.insert(item.PathName);
    }
    EXPECT_EQ(names, (std::set<std::string>{
                         sandbox.serverFolder() + "\\reports\\q1.xls",
                         sandbox.serverFolder() + "\\reports\\archive\\2023 summary.txt"}));
}

TEST_F(ServiceEndToEnd, WithTheServiceStoppedTheFlagsChooseTheMessage) {
    SambaSandbox sandbox("127.0.0.62");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    auto service = StartService(sandbox);
    ASSERT_TRUE(service->ok()) << service->error();
    auto modPQ = UserEngine(sandbox);
    ASSERT_NE(modPQ, nullptr);
    EXPECT_EQ(Query(*modPQ, sandbox.uncRoot(), 1, 1).ErrorText, "");

    service->stop();
    const struct {
        int tryDirect;
        int tryService;
        const char* message;
    } cases[] = {
        {1, 1, kMessageAccessDeniedNoService},
        {0, 1, kMessageNoService},
        {1, 0, kMessageAccessDeniedTryService},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.tryDirect) + std::to_string(c.tryService));
        EXPECT_EQ(Query(*modPQ, sandbox.uncRoot(), c.tryDirect, c.tryService).ErrorText, c.message);
    }
}

TEST_F(ServiceEndToEnd, CloseThroughTheServiceClosesTheHandleOnTheServer) {
    SambaSandbox sandbox("127.0.0.63");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    FileHolder holder(sandbox, sandbox.userCredentials(), kHeld);
    ASSERT_TRUE(holder.ok()) << holder.error();
    auto service = StartService(sandbox);
    ASSERT_TRUE(service->ok()) << service->error();
    auto modPQ = UserEngine(sandbox);
    ASSERT_NE(modPQ, nullptr);

    const TPellquinRequest listing = Query(*modPQ, sandbox.uncRoot() + "\\reports\\q1.xls", 0, 1);
    ASSERT_EQ(listing.ErrorText, "");
    ASSERT_EQ(listing.Items.size(), 1u);

    TPellquinRequest close;
    close.ClientPath = close.Path = sandbox.uncRoot() + "\\reports\\q1.xls";
    close.RequestKind = REQUEST_CLOSE;
    close.FileId = listing.Items[0].Id;
    modPQ->CloseOpenFile(close, 1, 1);
    EXPECT_EQ(close.ErrorText, "");

    EXPECT_EQ(holder.probe(1), FileHolder::Probe::Closed);
    EXPECT_EQ(holder.probe(0), FileHolder::Probe::Open);
    EXPECT_EQ(Query(*modPQ, sandbox.uncRoot(), 0, 1).Items.size(), 2u);

    // The same id again: the server no longer knows it, and the user is told so.
    TPellquinRequest again = close;
    again.ErrorText.clear();
    again.Path = again.ClientPath;
    modPQ->CloseOpenFile(again, 0, 1);
    EXPECT_EQ(again.ErrorText, "The system cannot find the file specified");
}

// A file named with non-ASCII letters comes back through the service exactly as the
// administrator's direct check names it, with the records in Windows-1252 and in UTF-8 on both
// sides; a request in the code page's own bytes, as a Windows client sends it, finds it too.
TEST_F(ServiceEndToEnd, NonAsciiNamesComeBackWhole) {
    SambaSandbox sandbox("127.0.0.210");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    FileHolder holder(sandbox, sandbox.userCredentials(),
                      {"r:Projekte \xC3\x9C"
                       "bersicht/Caf\xC3\xA9 Z\xC3\xBCrich.txt",
                       "r:readme.txt"});
    ASSERT_TRUE(holder.ok()) << holder.error();
    const std::string folder = sandbox.uncRoot() +
                               "\\Projekte \xC3\x9C"
                               "bersicht";
    const std::vector<Answer> expected = AdministratorsDirectCheck(sandbox, {folder});
    ASSERT_EQ(expected.size(), 1u);
    ASSERT_EQ(expected[0].rows.size(), 1u);
    const std::string name = std::get<1>(*expected[0].rows.begin());
    ASSERT_EQ(name, sandbox.serverFolder() +
                        "\\Projekte \xC3\x9C"
                        "bersicht\\Caf\xC3\xA9 Z\xC3\xBCrich.txt");

    const struct {
        const char* codePage;
        std::string folder;  // below the share, in the code page
        std::string file;
    } cases[] = {
        {"Windows-1252",
         "Projekte \xDC"
         "bersicht",
         "Caf\xE9 Z\xFCrich.txt"},
        {"UTF-8",
         "Projekte \xC3\x9C"
         "bersicht",
         "Caf\xC3\xA9 Z\xC3\xBCrich.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codePage);
        auto service = StartService(sandbox, c.codePage);
        ASSERT_TRUE(service->ok()) << service->error();
        auto modPQ = UserEngine(sandbox, c.codePage);
        ASSERT_NE(modPQ, nullptr);
        const Answer answer = AnswerOf(Query(*modPQ, folder, 0, 1));
        EXPECT_EQ(answer.errorText, "");
        EXPECT_EQ(answer.serverPath, expected[0].serverPath);
        EXPECT_EQ(answer.rows, expected[0].rows);

        test::RawClient raw(sandbox.ip(), SERVICE_PORT);
        ASSERT_TRUE(raw.ok());
        const auto reply = raw.Exchange(test::QueryRecord(sandbox.ip(), "data", c.folder));
        ASSERT_TRUE(reply.has_value());
        ASSERT_EQ(reply->rows.size(), 1u) << reply->header.ErrorText;
        const std::string& path = reply->rows[0].PathName;
        const std::string ending = "\\" + c.folder + "\\" + c.file;
        EXPECT_EQ(path.substr(path.size() - std::min(path.size(), ending.size())), ending);
    }
}

}  // namespace
}  // namespace pellquin
