// pellquin-cli against private Samba servers: what an administrator's script sees, and a logon
// failure, which libnetapi reports by printing to stdout.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <regex>
#include <sstream>
#include <thread>

#include "answer_in_child.h"
#include "file_holder.h"
#include "run_program.h"
#include "samba_sandbox.h"
#include "service_process.h"

namespace pellquin {
namespace {

using test::FileHolder;
using test::RunProgram;
using test::SambaSandbox;

class CliAgainstSamba : public ::testing::Test {
protected:
    void SetUp() override {
        std::string reason;
        if (!SambaSandbox::CanRun(&reason)) {
            GTEST_SKIP() << reason;
        }
    }

    test::ProgramResult Cli(std::vector<std::string> args) {
        args.insert(args.begin(), PELLQUIN_CLI_PATH);
        return RunProgram(args);
    }
};

TEST_F(CliAgainstSamba, AdministratorListsAndClosesOneHandle) {
    SambaSandbox sandbox("127.0.0.120");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    FileHolder holder(sandbox, sandbox.userCredentials(), {"r:readme.txt", "w:reports/q1.xls"});
    ASSERT_TRUE(holder.ok()) << holder.error();
    const std::string admin = sandbox.adminCredentials();

    const auto listed = Cli({"--credentials", admin, "--mechanism", "direct", "--json", "check",
                             "//127.0.0.120/data/reports"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    std::smatch match;
    ASSERT_TRUE(std::regex_search(
        listed.out, match,
        std::regex(R"(\{"id": (\d+), "fileName": "//127.0.0.120/data/reports/q1.xls".*)"
                   R"("userName": "pquser".*"permissions": "RW")")))
        << listed.out;
    EXPECT_EQ(listed.out.find("readme"), std::string::npos) << listed.out;

    const std::string id = match[1];
    const auto closed = Cli({"--credentials", admin, "--mechanism", "direct", "close",
                             "\\\\127.0.0.120\\data\\reports", id});
    EXPECT_EQ(closed.exitCode, 0) << closed.err;
    EXPECT_EQ(holder.probe(1), FileHolder::Probe::Closed);
    EXPECT_EQ(holder.probe(0), FileHolder::Probe::Open);

    const auto again = Cli(
        {"--credentials", admin, "--mechanism", "direct", "close", "\\\\127.0.0.120\\data", id});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("The system cannot find the file specified"), std::string::npos)
        << again.err;
}

TEST_F(CliAgainstSamba, FailuresGoToStderrWithTheSystemsTexts) {
    SambaSandbox sandbox("127.0.0.121");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();

    const auto denied = Cli({"--credentials", sandbox.userCredentials(), "--mechanism", "direct",
                             "check", "\\\\127.0.0.121\\data"});
    EXPECT_EQ(denied.exitCode, 1);
    EXPECT_EQ(denied.out, "");
    EXPECT_EQ(denied.err.rfind("Access Denied\n\nYou do not have sufficient permissions", 0), 0u)
        << denied.err;

    const auto nobody = Cli({"--credentials", sandbox.adminCredentials(), "--mechanism", "direct",
                             "check", "\\\\127.0.0.122\\data"});
    EXPECT_EQ(nobody.exitCode, 1);
    EXPECT_EQ(nobody.out, "");
    EXPECT_EQ(nobody.err, "Cannot complete this function\n");

    // Others may read this copy of the administrator's password: refused before any call.
    const std::string exposed = sandbox.dir() + "/exposed.credentials";
    {
        std::ifstream in(sandbox.adminCredentials());
        std::ofstream out(exposed);
        out << in.rdbuf();
    }
    ASSERT_EQ(chmod(exposed.c_str(), 0644), 0);
    const auto refused = Cli({"--credentials", exposed, "check", "\\\\127.0.0.121\\data"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find(exposed), std::string::npos) << refused.err;

    const auto usage = Cli({"check"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_NE(usage.err.find("check takes at least one path"), std::string::npos);
}

// Two users hold files under reports/: the filters pick one user's rows, and closing that
// user's handles leaves the other's open.
TEST_F(CliAgainstSamba, UserAndMatchPickRowsAndCloseUserClosesOnlyThatUsersHandles) {
    SambaSandbox sandbox("127.0.0.190");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    FileHolder user(sandbox, sandbox.userCredentials(), {"r:reports/q1.xls", "w:reports/q2.xls"});
    ASSERT_TRUE(user.ok()) << user.error();
    FileHolder admin(sandbox, sandbox.adminCredentials(), {"r:reports/q1.xls", "r:readme.txt"});
    ASSERT_TRUE(admin.ok()) << admin.error();
    const std::vector<std::string> asAdmin = {"--credentials", sandbox.adminCredentials(),
                                              "--mechanism", "direct"};
    auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), asAdmin.begin(), asAdmin.end());
        return Cli(args);
    };
    const std::string reports = sandbox.uncRoot() + "\\reports";
    // The CSV lines without their ids, the rows sorted (the server's order is its own).
    auto lines = [](const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            out.push_back(out.empty() ? line : line.substr(line.find(',') + 1));
        }
        if (!out.empty()) {
            std::sort(out.begin() + 1, out.end());
        }
        return out;
    };

    const auto byUser = cli({"--csv", "check", "--user", "PQUSER", reports});
    ASSERT_EQ(byUser.exitCode, 0) << byUser.err;
    EXPECT_EQ(lines(byUser.out),
              (std::vector<std::string>{"ID,File Name,User Name,# Locks,Permissions\r",
                                        reports + "\\q1.xls,pquser,0,R\r",
                                        reports + "\\q2.xls,pquser,0,RW\r"}))
        << byUser.out;
    const auto byMatch = cli({"--csv", "check", "--match", "Q2", sandbox.uncRoot()});
    ASSERT_EQ(byMatch.exitCode, 0) << byMatch.err;
    EXPECT_EQ(lines(byMatch.out),
              (std::vector<std::string>{"ID,File Name,User Name,# Locks,Permissions\r",
                                        reports + "\\q2.xls,pquser,0,RW\r"}))
        << byMatch.out;

    // Off a terminal a bulk close needs --yes.
    const auto unconfirmed = cli({"close", "--user", "pquser", reports});
    EXPECT_EQ(unconfirmed.exitCode, 2) << unconfirmed.err;
    EXPECT_EQ(user.probe(0), FileHolder::Probe::Open);

    const auto closed = cli({"close", "--yes", "--user", "pquser", reports});
    EXPECT_EQ(closed.exitCode, 0) << closed.err;
    EXPECT_NE(closed.out.find("closed 2 of 2 handles"), std::string::npos) << closed.out;
    EXPECT_EQ(user.probe(0), FileHolder::Probe::Closed);
    EXPECT_EQ(user.probe(1), FileHolder::Probe::Closed);
    EXPECT_EQ(admin.probe(0), FileHolder::Probe::Open);
    EXPECT_EQ(admin.probe(1), FileHolder::Probe::Open);
}

// wait answers 1 while a handle stays open (listing it) and 0 once the holder lets go.
TEST_F(CliAgainstSamba, WaitEndsWhenThePathIsFreeOrAtTheTimeout) {
    SambaSandbox sandbox("127.0.0.191");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    FileHolder holder(sandbox, sandbox.userCredentials(), {"w:reports/q1.xls"});
    ASSERT_TRUE(holder.ok()) << holder.error();
    const std::string reports = sandbox.uncRoot() + "\\reports";
    auto wait = [&](const std::string& timeout) {
        return Cli({"--credentials", sandbox.adminCredentials(), "--mechanism", "direct", "wait",
                    "--timeout", timeout, "--interval", "0.2", reports});
    };

    const auto timedOut = wait("0.5");
    EXPECT_EQ(timedOut.exitCode, 1) << timedOut.err;
    EXPECT_NE(timedOut.out.find("q1.xls"), std::string::npos) << timedOut.out;
    EXPECT_NE(timedOut.err.find("still open under"), std::string::npos) << timedOut.err;

    // The holder lets go while wait polls; wait then ends well before its time-out.
    auto waiting = std::async(std::launch::async, [&] { return wait("300"); });
    std::this_thread::sleep_for(std::chrono::seconds(1));
    holder.release();
    const auto freed = waiting.get();
    EXPECT_EQ(freed.exitCode, 0) << freed.err;
    EXPECT_EQ(freed.out, "");
    EXPECT_EQ(wait("0").exitCode, 0);
}

// One call checks paths on two servers; each row names the path it was found under.
TEST_F(CliAgainstSamba, SeveralPathsOnSeveralServersInOneCall) {
    SambaSandbox first("127.0.0.192");
    ASSERT_TRUE(first.ok()) << first.error();
    SambaSandbox second("127.0.0.193");
    ASSERT_TRUE(second.ok()) << second.error();
    FileHolder a(first, first.userCredentials(), {"r:readme.txt"});
    ASSERT_TRUE(a.ok()) << a.error();
    FileHolder b(second, second.userCredentials(), {"r:reports/q2.xls"});
    ASSERT_TRUE(b.ok()) << b.error();
    // Both sandboxes have the same accounts and passwords.
    const auto both = Cli({"--credentials", first.adminCredentials(), "--mechanism", "direct",
                           "--json", "check", "//127.0.0.192/data", "//127.0.0.193/data"});
    ASSERT_EQ(both.exitCode, 0) << both.err;
    EXPECT_TRUE(std::regex_search(
        both.out, std::regex(R"(\{"path": "//127.0.0.192/data", "id": \d+, "fileName": )"
                             R"("//127.0.0.192/data/readme.txt")")))
        << both.out;
    EXPECT_TRUE(std::regex_search(
        both.out, std::regex(R"(\{"path": "//127.0.0.193/data", "id": \d+, "fileName": )"
                             R"("//127.0.0.193/data/reports/q2.xls")")))
        << both.out;
}

// A file manager's smb:// URL is a UNC name: percent-decoded, the user dropped, and the rows
// shown in UNC form. Address 127.0.0.203.
TEST_F(CliAgainstSamba, SmbUrlsAreCheckedAsTheirUncNames) {
    SambaSandbox sandbox("127.0.0.203");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    FileHolder holder(sandbox, sandbox.userCredentials(),
                      {"r:Projekte Übersicht/Café Zürich.txt", "r:readme.txt"});
    ASSERT_TRUE(holder.ok()) << holder.error();

    const auto listed =
        Cli({"--credentials", sandbox.adminCredentials(), "--mechanism", "direct", "--csv", "check",
             "smb://pqadmin@127.0.0.203/data/Projekte%20%C3%9Cbersicht"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(
        listed.out.find(",\\\\127.0.0.203\\data\\Projekte Übersicht\\Café Zürich.txt,pquser,"),
        std::string::npos)
        << listed.out;
    EXPECT_EQ(listed.out.find("readme"), std::string::npos) << listed.out;
}

// The records' code page as the command line takes it: --codepage, else the user's
// ServiceCodePage setting, else Windows-1252; a name this system does not know stops the
// program before it asks anything. Address 127.0.0.211, with the service in UTF-8.
TEST_F(CliAgainstSamba, TheServicesCodePageComesFromTheOptionOrTheSetting) {
    SambaSandbox sandbox("127.0.0.211");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    FileHolder holder(sandbox, sandbox.userCredentials(),
                      {"r:Projekte \xC3\x9C"
                       "bersicht/Caf\xC3\xA9 Z\xC3\xBCrich.txt"});
    ASSERT_TRUE(holder.ok()) << holder.error();
    test::ServiceProcess service(sandbox.ip(), 8021,
                                 "samba_server = " + sandbox.ip() + "\ncredentials_file = " +
                                     sandbox.adminCredentials() + "\ncodepage = UTF-8\n");
    ASSERT_TRUE(service.ok()) << service.error();

    char pattern[] = "/tmp/pq-cli-settings-XXXXXX";
    const std::string home = mkdtemp(pattern);
    const auto setting = [&home](const std::string& codePage) {
        mkdir((home + "/pellquin").c_str(), 0700);
        std::ofstream(home + "/pellquin/HKEY_CURRENT_USER.reg")
            << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Morrowfen\\Pellquin\\Options]\r\n"
            << "\"ServiceCodePage\"=\"" << codePage << "\"\r\n";
    };
    const std::string row =
        ",//127.0.0.211/data/Projekte \xC3\x9C"
        "bersicht/Caf\xC3\xA9 Z\xC3\xBCrich.txt,pquser,";
    const struct {
        const char* what;
        const char* setting;  // nullptr: none stored
        std::vector<std::string> options;
        int exitCode;
        const char* shown;  // in stdout, or for a failure in stderr
    } cases[] = {
        {"the option", nullptr, {"--codepage", "UTF-8"}, 0, row.c_str()},
        {"the setting", "utf8", {}, 0, row.c_str()},
        // Windows-1252 sends "\xDC", which the UTF-8 service cannot read: nothing matches.
        {"the option over the setting", "UTF-8", {"--codepage", "Windows-1252"}, 0, ""},
        {"an unknown option",
         "UTF-8",
         {"--codepage", "Latin-9x"},
         2,
         "pellquin-cli: --codepage: unknown code page 'Latin-9x'"},
        {"an unknown setting",
         "Latin-9x",
         {},
         2,
         "pellquin-cli: the ServiceCodePage setting: unknown code page 'Latin-9x'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(home + "/pellquin");
        if (c.setting != nullptr) {
            setting(c.setting);
        }
        std::vector<std::string> args = {
            "env", "XDG_CONFIG_HOME=" + home, PELLQUIN_CLI_PATH, "--mechanism", "service", "--csv"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), {"check",
                                 "//127.0.0.211/data/Projekte \xC3\x9C"
                                 "bersicht"});
        const auto result = RunProgram(args);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        if (c.exitCode != 0) {
            EXPECT_NE(result.err.find(c.shown), std::string::npos) << result.err;
        } else if (*c.shown != '\0') {
            EXPECT_NE(result.out.find(c.shown), std::string::npos) << result.out;
        } else {
            EXPECT_EQ(result.out.find("Caf"), std::string::npos) << result.out;
        }
    }
    std::filesystem::remove_all(home);
}

// Address 127.0.0.16.
TEST(CliSamba, ALogonFailureLeavesStdoutToTheResults) {
    std::string reason;
    if (!SambaSandbox::CanRun(&reason)) {
        GTEST_SKIP() << "private Samba server: " << reason;
    }
    SambaSandbox sandbox("127.0.0.16");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    FileHolder holder(sandbox, sandbox.userCredentials(), {"r:Projekte Übersicht/Café Zürich.txt"});
    ASSERT_TRUE(holder.ok()) << holder.error();
    const std::string folder = sandbox.uncRoot() + "\\Projekte Übersicht";

    const std::string wrong = sandbox.dir() + "/wrong.credentials";
    std::ofstream(wrong) << "username = " << SambaSandbox::ADMIN_USER << "\npassword = wrong\n";
    ASSERT_EQ(chmod(wrong.c_str(), 0600), 0);
    const auto denied = RunProgram(
        {PELLQUIN_CLI_PATH, "--mechanism", "direct", "--credentials", wrong, "check", folder});
    EXPECT_EQ(denied.exitCode, 1);
    EXPECT_EQ(denied.out, "");
    EXPECT_EQ(denied.err, "Cannot complete this function\n");

    // The same session with the right password: only the rows reach stdout.
    const auto check = RunProgram({PELLQUIN_CLI_PATH, "--mechanism", "direct", "--credentials",
                                   sandbox.adminCredentials(), "--csv", "check", folder});
    EXPECT_EQ(check.exitCode, 0) << check.err;
    EXPECT_EQ(check.out.rfind("ID,", 0), 0u) << check.out;
    EXPECT_NE(check.out.find("Café Zürich.txt"), std::string::npos) << check.out;
}

// A service that declines every handshake, on 127.0.0.92:8021: the script must learn that
// nothing was asked, not that nothing is open or that the close worked.
TEST(CliService, ADecliningServiceIsNeitherNothingOpenNorAClose) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    const int one = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(8021);
    address.sin_addr.s_addr = inet_addr("127.0.0.92");
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    std::thread service([listener] {
        for (int i = 0; i < 2; ++i) {
            const int peer = accept(listener, nullptr, nullptr);
            if (peer < 0) {
                return;
            }
            char line[64];
            if (read(peer, line, sizeof line) > 0) {
                const char no[] = "NO\r\n";
                if (write(peer, no, sizeof no - 1) < 0) {
                    // The client went away; the test sees that in its own result.
                }
            }
            close(peer);
        }
    });
    const auto check =
        RunProgram({PELLQUIN_CLI_PATH, "--mechanism", "service", "check", "//127.0.0.92/data"});
    const auto closing = RunProgram(
        {PELLQUIN_CLI_PATH, "--mechanism", "service", "close", "//127.0.0.92/data", "7"});
    service.join();
    close(listener);

    EXPECT_EQ(check.exitCode, 3);
    EXPECT_EQ(check.out, "");
    EXPECT_NE(check.err.find("declined"), std::string::npos) << check.err;
    EXPECT_EQ(closing.exitCode, 3);
    EXPECT_EQ(closing.out.find("closed"), std::string::npos) << closing.out;
    EXPECT_NE(closing.err.find("7: "), std::string::npos) << closing.err;
}

// A local path is listed against this machine's own Samba server, and the rows come back in
// the local form the user typed (the server's "C:\..." form with --server-relative); a
// file:// URL, as file managers hand local items, is that local path, percent-decoded. "This
// machine's server" listens on 127.0.0.1, so the test runs in a private network namespace of
// its own where that address is free.
TEST(CliSamba, ALocalPathListsThisMachinesServerInTheLocalForm) {
    std::string reason;
    if (!SambaSandbox::CanRun(&reason)) {
        GTEST_SKIP() << "private Samba server: " << reason;
    }
    const std::string answer = test::AnswerInChild(
        [] {
            if (unshare(CLONE_NEWNET) != 0 ||
                std::system("ip link set lo up >/dev/null 2>&1") != 0) {
                return std::string("(no private network namespace)");
            }
            SambaSandbox sandbox("127.0.0.1");
            if (!sandbox.ok()) {
                return "(no server) " + sandbox.error();
            }
            FileHolder holder(sandbox, sandbox.userCredentials(),
                              {"r:reports/q1.xls", "r:readme.txt", "r:rep/notes.txt",
                               "r:Projekte Übersicht/Café Zürich.txt"});
            if (!holder.ok()) {
                return "(no holder) " + holder.error();
            }
            const std::string folder = sandbox.shareDir() + "/reports";
            const std::vector<std::string> check = {
                PELLQUIN_CLI_PATH,          "--mechanism", "direct", "--credentials",
                sandbox.adminCredentials(), "--csv"};
            auto local = check;
            local.insert(local.end(), {"check", folder});
            auto server = check;
            server.insert(server.end(), {"--server-relative", "check", folder});
            auto url = check;
            url.insert(url.end(),
                       {"check", "file://" + sandbox.shareDir() + "/Projekte%20%C3%9Cbersicht"});
            const auto localRows = RunProgram(local);
            const auto serverRows = RunProgram(server);
            const auto urlRows = RunProgram(url);
            return folder + "\n" + localRows.out + "--\n" + serverRows.out + "--\n" + urlRows.out +
                   "--\n" + localRows.err + serverRows.err + urlRows.err;
        },
        120);
    if (answer.rfind("(no private network namespace)", 0) == 0) {
        GTEST_SKIP() << answer;
    }
    const std::string folder = answer.substr(0, answer.find('\n'));
    ASSERT_EQ(folder.rfind("/", 0), 0u) << answer;
    std::string serverForm = "C:" + folder;
    std::replace(serverForm.begin(), serverForm.end(), '/', '\\');
    EXPECT_NE(answer.find("," + folder + "/q1.xls,pquser,0,R\r\n--\n"), std::string::npos)
        << answer;
    EXPECT_NE(answer.find("," + serverForm + "\\q1.xls,pquser,0,R\r\n--\n"), std::string::npos)
        << answer;
    const std::string decoded =
        folder.substr(0, folder.rfind('/')) + "/Projekte Übersicht/Café Zürich.txt";
    EXPECT_NE(answer.find("," + decoded + ",pquser,0,R\r\n--\n"), std::string::npos) << answer;
    EXPECT_EQ(answer.find("readme"), std::string::npos) << answer;
    EXPECT_EQ(answer.find("notes"), std::string::npos) << answer;
}

}  // namespace
}  // namespace pellquin
