// pellquin-cli against private Samba servers: what an administrator's script sees, and a logon
// failure, which libnetapi reports by printing to stdout.
#include <sched.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <regex>

#include "answer_in_child.h"
#include "file_holder.h"
#include "run_program.h"
#include "samba_sandbox.h"

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
    EXPECT_NE(usage.err.find("check takes exactly one path"), std::string::npos);
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

// A local path is listed against this machine's own Samba server, and the rows come back in
// the local form the user typed (the server's "C:\..." form with --server-relative). "This
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
                              {"r:reports/q1.xls", "r:readme.txt", "r:rep/notes.txt"});
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
            const auto localRows = RunProgram(local);
            const auto serverRows = RunProgram(server);
            return folder + "\n" + localRows.out + "--\n" + serverRows.out + "--\n" +
                   localRows.err + serverRows.err;
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
    EXPECT_EQ(answer.find("readme"), std::string::npos) << answer;
    EXPECT_EQ(answer.find("notes"), std::string::npos) << answer;
}

}  // namespace
}  // namespace pellquin
