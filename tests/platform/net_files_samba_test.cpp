// The direct query and close through Samba's libnetapi, against private servers. Each test
// runs in its own process under ctest (one libnetapi context per process) and has its own
// address, 127.0.0.10 to 127.0.0.59.
#include <gtest/gtest.h>

#include <csignal>

#include <chrono>

#include <thread>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>

#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "fake_service_exchange.h"
#include "file_holder.h"
#include "platform/net_file_api.h"
#include "platform/system_info.h"
#include "platform/universal_names.h"
#include "query/direct_query.h"
#include "query/mod_pq.h"
#include "query/path_resolution.h"
#include "query/result_rows.h"
#include "run_program.h"
#include "samba_sandbox.h"

namespace pellquin {
namespace {

using test::FileHolder;
using test::SambaSandbox;

// The files pquser holds in the listing tests, by index; "w:" ones are opened read-write.
const std::vector<std::string> kHeld = {
    "r:readme.txt",
    "w:reports/q1.xls",
    "r:reports/archive/2023 summary.txt",
    "w:Projekte Übersicht/Café Zürich.txt",
    "r:rep/notes.txt",
};

class RealSamba : public ::testing::Test {
protected:
    void SetUp() override {
        std::string reason;
        if (!SambaSandbox::CanRun(&reason)) {
            GTEST_SKIP() << "private Samba server: " << reason;
        }
    }

    // The engine with the real adapters, authenticating with `credentialsFile`. Only one may
    // live at a time; reset the previous one first.
    std::unique_ptr<TmodPQ> MakeEngine(const std::string& credentialsFile) {
        std::string error;
        auto netFiles = MakeNetFileApi(NetCredentials{credentialsFile}, &error);
        EXPECT_NE(netFiles, nullptr) << error;
        if (!netFiles) {
            return nullptr;
        }
        return std::make_unique<TmodPQ>(std::move(netFiles), MakeUniversalNames(), MakeSystemInfo(),
                                        std::make_unique<test::FakeServiceExchange>());
    }

    static TPellquinRequest Query(TmodPQ& modPQ, const std::string& path) {
        TPellquinRequest request;
        request.ClientPath = request.Path = path;
        request.RequestKind = REQUEST_QUERY;
        modPQ.QueryOpenFiles(request, 1, 0);
        return request;
    }

    static TPellquinRequest Close(TmodPQ& modPQ, const std::string& path, uint32_t id) {
        TPellquinRequest request;
        request.ClientPath = request.Path = path;
        request.RequestKind = REQUEST_CLOSE;
        request.FileId = id;
        modPQ.CloseOpenFile(request, 1, 0);
        return request;
    }

    // The rows' paths below the share, with '/' separators.
    static std::set<std::string> Names(const SambaSandbox& sandbox,
                                       const TPellquinRequest& request) {
        const std::string root = sandbox.serverFolder() + "\\";
        std::set<std::string> names;
        for (const auto& item : request.Items) {
            std::string name = item.PathName.rfind(root, 0) == 0 ? item.PathName.substr(root.size())
                                                                 : "(outside) " + item.PathName;
            for (char& c : name) {
                if (c == '\\') {
                    c = '/';
                }
            }
            names.insert(name);
        }
        return names;
    }

    static uint32_t IdOf(const SambaSandbox& sandbox, const TPellquinRequest& request,
                         const std::string& name) {
        std::string wanted = sandbox.serverFolder() + "\\" + name;
        for (char& c : wanted) {
            if (c == '/') {
                c = '\\';
            }
        }
        for (const auto& item : request.Items) {
            if (item.PathName == wanted) {
                return item.Id;
            }
        }
        ADD_FAILURE() << "no row for " << name;
        return 0;
    }
};

// One row of `net rpc file`: FileId, user, permissions, locks, path.
struct PeerRow {
    std::string user;
    uint32_t permissions;
    uint32_t locks;
    std::string path;
};

std::map<uint32_t, PeerRow> PeerListing(const SambaSandbox& sandbox) {
    const auto result = test::RunProgram(
        {"net", "rpc", "file", "-S", sandbox.ip(), "-U",
         std::string(SambaSandbox::ADMIN_USER) + "%" + SambaSandbox::ADMIN_PASSWORD});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    std::map<uint32_t, PeerRow> rows;
    std::istringstream lines(result.out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        uint32_t id = 0;
        PeerRow row;
        std::string permissions;
        if (!(fields >> id >> row.user >> permissions >> row.locks)) {
            continue;
        }
        row.permissions = static_cast<uint32_t>(std::stoul(permissions, nullptr, 16));
        std::getline(fields >> std::ws, row.path);
        rows[id] = row;
    }
    return rows;
}

// On a case-sensitive share "Reports" and "reports" are two folders: each lists its own files
// only, shown under its own name, and "REPORTS", which the server does not find, lists
// nothing. Address 127.0.0.204.
TEST_F(RealSamba, CaseSensitiveShareKeepsFoldersThatDifferInCaseApart) {
    SambaSandbox sandbox("127.0.0.204");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    // [data] is the last section of the configuration; smbd reads it again on SIGHUP.
    std::ofstream(sandbox.configFile(), std::ios::app) << "  case sensitive = yes\n";
    std::filesystem::create_directories(sandbox.shareDir() + "/Reports");
    std::ofstream(sandbox.shareDir() + "/Reports/big.txt") << "big\n";
    std::ifstream pidFile(sandbox.dir() + "/pid/smbd.pid");
    pid_t smbd = 0;
    pidFile >> smbd;
    ASSERT_GT(smbd, 0);
    ASSERT_EQ(kill(smbd, SIGHUP), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    FileHolder holder(sandbox, sandbox.userCredentials(),
                      {"r:Reports/big.txt", "r:reports/q1.xls"});
    ASSERT_TRUE(holder.ok()) << holder.error();
    auto modPQ = MakeEngine(sandbox.adminCredentials());
    ASSERT_NE(modPQ, nullptr);

    const std::string unc = sandbox.uncRoot();
    const struct {
        std::string path;
        std::set<std::string> names;
        std::string shown;  // the client-relative name of the first row
    } cases[] = {
        {unc + "\\Reports", {"Reports/big.txt"}, unc + "\\Reports\\big.txt"},
        {unc + "\\reports", {"reports/q1.xls"}, unc + "\\reports\\q1.xls"},
        {unc + "\\REPORTS", {}, ""},
    };
    for (const auto& c : cases) {
        const TPellquinRequest request = Query(*modPQ, c.path);
        EXPECT_EQ(request.ErrorText, "") << c.path;
        EXPECT_EQ(Names(sandbox, request), c.names) << c.path;
        const auto rows = MakeResultRows(request, false);
        EXPECT_EQ(rows.empty() ? "" : rows[0].cells[kColumnFileName], c.shown) << c.path;
    }
}

TEST_F(RealSamba, ListsWhatIsHeldUnderEachPathAsTheServerReportsIt) {
    SambaSandbox sandbox("127.0.0.10");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    FileHolder holder(sandbox, sandbox.userCredentials(), kHeld);
    ASSERT_TRUE(holder.ok()) << holder.error();
    auto modPQ = MakeEngine(sandbox.adminCredentials());
    ASSERT_NE(modPQ, nullptr);

    const std::string unc = sandbox.uncRoot();
    const std::string slashes = "//" + sandbox.ip() + "/data";
    struct Case {
        std::string path;
        std::set<std::string> names;
    };
    const std::set<std::string> all = {"readme.txt", "reports/q1.xls",
                                       "reports/archive/2023 summary.txt",
                                       "Projekte Übersicht/Café Zürich.txt", "rep/notes.txt"};
    const Case cases[] = {
        {unc, all},
        {unc + "\\", all},
        {slashes, all},
        {unc + "\\reports", {"reports/q1.xls", "reports/archive/2023 summary.txt"}},
        {slashes + "/reports", {"reports/q1.xls", "reports/archive/2023 summary.txt"}},
        {unc + "\\REPORTS\\Archive", {"reports/archive/2023 summary.txt"}},
        // "rep" is a folder of its own, not the start of "reports".
        {unc + "\\rep", {"rep/notes.txt"}},
        {unc + "\\reports\\q1.xls", {"reports/q1.xls"}},
        {slashes + "/Projekte Übersicht", {"Projekte Übersicht/Café Zürich.txt"}},
        {unc + "\\Projekte Übersicht\\Café Zürich.txt", {"Projekte Übersicht/Café Zürich.txt"}},
        {unc + "\\bench", {}},
    };
    for (const auto& c : cases) {
        const TPellquinRequest request = Query(*modPQ, c.path);
        EXPECT_EQ(request.ErrorText, "") << c.path;
        EXPECT_EQ(Names(sandbox, request), c.names) << c.path;
    }

    // Ids, users, permissions and locks are the server's, as its own tool lists them.
    const TPellquinRequest request = Query(*modPQ, unc);
    const auto peer = PeerListing(sandbox);
    ASSERT_EQ(request.Items.size(), peer.size());
    for (const auto& item : request.Items) {
        const auto it = peer.find(item.Id);
        ASSERT_NE(it, peer.end()) << item.Id << " " << item.PathName;
        EXPECT_EQ(item.PathName, it->second.path);
        EXPECT_EQ(item.UserName, it->second.user);
        EXPECT_EQ(item.UserName, SambaSandbox::PLAIN_USER);
        EXPECT_EQ(item.Permissions, it->second.permissions);
        EXPECT_EQ(item.NumLocks, it->second.locks);
    }
    std::map<std::string, uint32_t> permissions;
    for (const auto& item : request.Items) {
        permissions[item.PathName.substr(sandbox.serverFolder().size() + 1)] = item.Permissions;
    }
    EXPECT_EQ(permissions["readme.txt"], PERM_FILE_READ);
    EXPECT_EQ(permissions["reports\\q1.xls"], PERM_FILE_READ | PERM_FILE_WRITE);
}

TEST_F(RealSamba, ClosingOneIdReleasesOnlyThatHandle) {
    SambaSandbox sandbox("127.0.0.11");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    FileHolder holder(sandbox, sandbox.userCredentials(),
                      {"r:readme.txt", "w:reports/q1.xls", "r:reports/q2.xls"});
    ASSERT_TRUE(holder.ok()) << holder.error();
    auto modPQ = MakeEngine(sandbox.adminCredentials());
    ASSERT_NE(modPQ, nullptr);

    const std::string folder = sandbox.uncRoot() + "\\reports";
    const TPellquinRequest before = Query(*modPQ, folder);
    ASSERT_EQ(before.ErrorText, "");
    const uint32_t id = IdOf(sandbox, before, "reports/q1.xls");

    const TPellquinRequest close = Close(*modPQ, folder, id);
    EXPECT_EQ(close.ErrorText, "");
    EXPECT_EQ(holder.probe(1), FileHolder::Probe::Closed);
    EXPECT_EQ(holder.probe(0), FileHolder::Probe::Open);
    EXPECT_EQ(holder.probe(2), FileHolder::Probe::Open);
    EXPECT_EQ(Names(sandbox, Query(*modPQ, sandbox.uncRoot())),
              (std::set<std::string>{"readme.txt", "reports/q2.xls"}));

    // The id is gone now; closing it again is the server's "not found".
    const TPellquinRequest again = Close(*modPQ, folder, id);
    EXPECT_EQ(again.ErrorText, "The system cannot find the file specified");
}

TEST_F(RealSamba, AnOrdinaryUserIsDeniedListingAndClosing) {
    SambaSandbox sandbox("127.0.0.12");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    FileHolder holder(sandbox, sandbox.userCredentials(), {"r:readme.txt"});
    ASSERT_TRUE(holder.ok()) << holder.error();
    uint32_t id = 0;
    {
        auto admin = MakeEngine(sandbox.adminCredentials());
        ASSERT_NE(admin, nullptr);
        const TPellquinRequest request = Query(*admin, sandbox.uncRoot());
        ASSERT_EQ(request.Items.size(), 1u) << request.ErrorText;
        id = request.Items[0].Id;
    }
    auto modPQ = MakeEngine(sandbox.userCredentials());
    ASSERT_NE(modPQ, nullptr);
    auto system = MakeSystemInfo();
    auto names = MakeUniversalNames();
    std::string error;

    TPellquinRequest direct;
    direct.ClientPath = direct.Path = sandbox.uncRoot() + "\\reports";
    ResolvePath(direct, *names, *system);
    ASSERT_EQ(direct.ErrorCode, 0);
    {
        // The engine's own adapter is the one this process may hold; borrow the query's.
        modPQ.reset();
        auto netFiles = MakeNetFileApi(NetCredentials{sandbox.userCredentials()}, &error);
        ASSERT_NE(netFiles, nullptr) << error;
        EXPECT_FALSE(QueryDirect(direct, *netFiles, *system));
        EXPECT_EQ(direct.ErrorCode, 5);
        EXPECT_EQ(direct.ErrorText, "Access is denied");
    }
    modPQ = MakeEngine(sandbox.userCredentials());
    ASSERT_NE(modPQ, nullptr);
    // With the service not tried, the engine explains the denial.
    EXPECT_EQ(Query(*modPQ, sandbox.uncRoot()).ErrorText, kMessageAccessDeniedTryService);
    EXPECT_EQ(Close(*modPQ, sandbox.uncRoot(), id).ErrorText, "Access is denied");
    EXPECT_EQ(holder.probe(0), FileHolder::Probe::Open);
}

TEST_F(RealSamba, FailuresReachTheUserAsTheirSystemTexts) {
    SambaSandbox sandbox("127.0.0.13");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    auto modPQ = MakeEngine(sandbox.adminCredentials());
    ASSERT_NE(modPQ, nullptr);

    const TPellquinRequest unknownShare =
        Query(*modPQ, "\\\\" + sandbox.ip() + "\\nosuch\\reports");
    EXPECT_EQ(unknownShare.ErrorCode, 123);
    EXPECT_EQ(unknownShare.ErrorText,
              "The filename, directory name, or volume label syntax is incorrect");

    // 127.0.0.14 is reserved for this test and nothing listens there.
    const TPellquinRequest nobody = Query(*modPQ, "\\\\127.0.0.14\\data");
    EXPECT_EQ(nobody.ErrorCode, 1003);
    EXPECT_EQ(nobody.ErrorText, "Cannot complete this function");
    EXPECT_EQ(Close(*modPQ, "\\\\127.0.0.14\\data", 1).ErrorText, "Cannot complete this function");
}

TEST_F(RealSamba, ALogonFailureStaysOffStdout) {
    SambaSandbox sandbox("127.0.0.15");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    const std::string wrong = sandbox.dir() + "/wrong.credentials";
    std::ofstream(wrong) << "username = " << SambaSandbox::ADMIN_USER
                         << "\npassword = not-the-password\n";
    ASSERT_EQ(chmod(wrong.c_str(), 0600), 0);
    auto modPQ = MakeEngine(wrong);
    ASSERT_NE(modPQ, nullptr);

    testing::internal::CaptureStdout();
    const TPellquinRequest request = Query(*modPQ, sandbox.uncRoot());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(request.ErrorCode, 1003);
    EXPECT_EQ(out, "");
}

// A local path (no server name) goes to this machine's server, which reports it as "C:" and
// the Unix path; only this test uses 127.0.0.1.
TEST_F(RealSamba, ALocalPathIsListedByThisMachine) {
    SambaSandbox sandbox("127.0.0.1");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    FileHolder holder(sandbox, sandbox.userCredentials(), kHeld);
    ASSERT_TRUE(holder.ok()) << holder.error();
    auto modPQ = MakeEngine(sandbox.adminCredentials());
    ASSERT_NE(modPQ, nullptr);

    const TPellquinRequest reports = Query(*modPQ, sandbox.shareDir() + "/reports");
    EXPECT_EQ(reports.ErrorText, "");
    EXPECT_EQ(reports.IsLocal, 1);
    EXPECT_EQ(Names(sandbox, reports),
              (std::set<std::string>{"reports/q1.xls", "reports/archive/2023 summary.txt"}));
    const TPellquinRequest one = Query(*modPQ, sandbox.shareDir() + "/rep/notes.txt");
    EXPECT_EQ(Names(sandbox, one), (std::set<std::string>{"rep/notes.txt"}));
    // The server names files by their real paths; a path through a symlink still finds them.
    const std::string link = sandbox.dir() + "/link-to-reports";
    ASSERT_EQ(symlink((sandbox.shareDir() + "/reports").c_str(), link.c_str()), 0);
    EXPECT_EQ(Names(sandbox, Query(*modPQ, link + "/")),
              (std::set<std::string>{"reports/q1.xls", "reports/archive/2023 summary.txt"}));

    const uint32_t id = IdOf(sandbox, reports, "reports/q1.xls");
    EXPECT_EQ(Close(*modPQ, sandbox.shareDir(), id).ErrorText, "");
    EXPECT_EQ(holder.probe(1), FileHolder::Probe::Closed);

    // A query service answering for its own machine names no server at all.
    modPQ.reset();
    std::string error;
    auto netFiles = MakeNetFileApi(NetCredentials{sandbox.adminCredentials()}, &error);
    ASSERT_NE(netFiles, nullptr) << error;
    std::string folder;
    EXPECT_EQ(netFiles->ShareGetInfo("", "data", &folder), 0u);
    EXPECT_EQ(folder, sandbox.serverFolder());
}

// These need no server: they stop before any call.
TEST(NetFileApiCredentials, RefusesUnsafeOrMissingNamedFiles) {
    char pattern[] = "/tmp/pellquin-netcred-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const std::string file = dir + "/credentials";
    std::ofstream(file) << "username = a\npassword = b\n";
    ASSERT_EQ(chmod(file.c_str(), 0644), 0);

    std::string error;
    EXPECT_EQ(MakeNetFileApi(NetCredentials{file}, &error), nullptr);
    EXPECT_NE(error.find("may be read by other users"), std::string::npos) << error;
    error.clear();
    EXPECT_EQ(MakeNetFileApi(NetCredentials{dir + "/missing"}, &error), nullptr);
    EXPECT_NE(error.find(dir + "/missing"), std::string::npos) << error;

    ASSERT_EQ(chmod(file.c_str(), 0600), 0);
    error.clear();
    auto first = MakeNetFileApi(NetCredentials{file}, &error);
    ASSERT_NE(first, nullptr) << error;
    // libnetapi has one context per process: a second adapter would share and free it.
    EXPECT_EQ(MakeNetFileApi(NetCredentials{file}, &error), nullptr);
    EXPECT_NE(error, "");
    first.reset();
    EXPECT_NE(MakeNetFileApi(NetCredentials{file}, &error), nullptr) << error;
    unlink(file.c_str());
    rmdir(dir.c_str());
}

TEST(NetFileApiCredentials, TheDefaultFileIsOptionalButMustBePrivate) {
    struct stat info {};
    if (stat(("/tmp/krb5cc_" + std::to_string(getuid())).c_str(), &info) == 0) {
        GTEST_SKIP() << "a Kerberos ticket cache takes the place of the default file";
    }
    char pattern[] = "/tmp/pellquin-xdg-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string config = pattern;
    const char* saved = getenv("XDG_CONFIG_HOME");
    const std::string savedValue = saved ? saved : "";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const char* savedCache = getenv("KRB5CCNAME");
    const std::string savedCacheValue = savedCache ? savedCache : "";
    unsetenv("KRB5CCNAME");

    std::string error;
    EXPECT_NE(MakeNetFileApi(NetCredentials{}, &error), nullptr) << error;

    const std::string folder = config + "/pellquin";
    const std::string file = folder + "/credentials";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    std::ofstream(file) << "username = a\npassword = b\n";
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    EXPECT_EQ(MakeNetFileApi(NetCredentials{}, &error), nullptr);
    EXPECT_NE(error.find(file), std::string::npos) << error;

    unlink(file.c_str());
    rmdir(folder.c_str());
    rmdir(config.c_str());
    if (saved) {
        setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
    if (savedCache) {
        setenv("KRB5CCNAME", savedCacheValue.c_str(), 1);
    }
}

}  // namespace
}  // namespace pellquin
