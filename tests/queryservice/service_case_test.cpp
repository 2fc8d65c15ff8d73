// Checks through the service program of folders whose names differ in case alone, on a
// private Samba server at 127.0.0.213 with a case-sensitive share and a case-insensitive one
// over the same folder. The service answers for that address, which is this machine.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>

#include "file_holder.h"
#include "platform/net_file_api.h"
#include "platform/system_info.h"
#include "platform/universal_names.h"
#include "query/mod_pq.h"
#include "query/result_rows.h"
#include "query/service_client.h"
#include "query/tcp_transport.h"
#include "samba_sandbox.h"
#include "service_process.h"

namespace pellquin {
namespace {

using test::FileHolder;
using test::SambaSandbox;
using test::ServiceProcess;

// The rows' paths below the share's folder, with '/' separators.
std::set<std::string> Names(const SambaSandbox& sandbox, const TPellquinRequest& request) {
    const std::string root = sandbox.serverFolder() + "\\";
    std::set<std::string> names;
    for (const auto& item : request.Items) {
        std::string name = item.PathName.rfind(root, 0) == 0 ? item.PathName.substr(root.size())
                                                             : "(outside) " + item.PathName;
        for (char& c : name) {
            c = c == '\\' ? '/' : c;
        }
        names.insert(name);
    }
    return names;
}

TEST(ServiceCase, FoldersThatDifferInCaseAloneListTheirOwnFilesUnderTheServersNames) {
    std::string reason;
    if (!SambaSandbox::CanRun(&reason)) {
        GTEST_SKIP() << "private Samba server: " << reason;
    }
    SambaSandbox sandbox("127.0.0.213");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    // [data] is the configuration's last section; smbd reads the file again on SIGHUP.
    std::ofstream(sandbox.configFile(), std::ios::app)
        << "  case sensitive = yes\n[loose]\n  path = " << sandbox.shareDir()
        << "\n  read only = no\n  case sensitive = no\n";
    std::filesystem::create_directories(sandbox.shareDir() + "/Reports");
    std::ofstream(sandbox.shareDir() + "/Reports/big.txt") << "big\n";
    std::ifstream pidFile(sandbox.dir() + "/pid/smbd.pid");
    pid_t smbd = 0;
    pidFile >> smbd;
    ASSERT_GT(smbd, 0);
    ASSERT_EQ(kill(smbd, SIGHUP), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    FileHolder holder(sandbox, sandbox.userCredentials(),
                      {"r:Reports/big.txt", "r:reports/q1.xls", "r:rep/notes.txt"});
    ASSERT_TRUE(holder.ok()) << holder.error();
    ServiceProcess service(sandbox.ip(), SERVICE_PORT,
                           "samba_server = " + sandbox.ip() +
                               "\ncredentials_file = " + sandbox.adminCredentials() + "\n");
    ASSERT_TRUE(service.ok()) << service.error();
    // The ordinary user, who may not list open files: every answer is the service's.
    std::string error;
    auto netFiles = MakeNetFileApi(NetCredentials{sandbox.userCredentials()}, &error);
    ASSERT_NE(netFiles, nullptr) << error;
    TmodPQ modPQ(
        std::move(netFiles), MakeUniversalNames(), MakeSystemInfo(),
        std::make_unique<ServiceClient>(MakeSystemInfo(), std::make_unique<TcpTransport>()));

    const std::string data = sandbox.uncRoot();
    const std::string loose = "\\\\" + sandbox.ip() + "\\loose";
    const struct {
        std::string path;
        std::set<std::string> names;
        // The client-relative name of the first row: the server's spelling throughout.
        std::string shown;
    } cases[] = {
        {data + "\\Reports", {"Reports/big.txt"}, data + "\\Reports\\big.txt"},
        {data + "\\reports", {"reports/q1.xls"}, data + "\\reports\\q1.xls"},
        {data + "\\REPORTS", {}, ""},  // no such folder on a case-sensitive share
        {data + "\\Reports\\big.txt", {"Reports/big.txt"}, data + "\\Reports\\big.txt"},
        // One folder differs from the typed name in case alone: the server's to tell.
        {data + "\\REP", {}, ""},
        {loose + "\\REP", {"rep/notes.txt"}, loose + "\\rep\\notes.txt"},
        {loose + "\\rep\\NOTES.TXT", {"rep/notes.txt"}, loose + "\\rep\\notes.txt"},
        {loose + "\\Reports", {"Reports/big.txt"}, loose + "\\Reports\\big.txt"},
        {loose + "\\reports", {"reports/q1.xls"}, loose + "\\reports\\q1.xls"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        TPellquinRequest request;
        request.ClientPath = request.Path = c.path;
        request.RequestKind = REQUEST_QUERY;
        modPQ.QueryOpenFiles(request, 0, 1);
        EXPECT_EQ(request.ErrorText, "");
        EXPECT_EQ(Names(sandbox, request), c.names);
        const auto rows = MakeResultRows(request, false);
        EXPECT_EQ(rows.empty() ? "" : rows[0].cells[kColumnFileName], c.shown);
    }
}

}  // namespace
}  // namespace pellquin
