// pellquin-cli against private Samba servers: what an administrator's script sees, and a logon
// failure, which libnetapi reports by printing to stdout.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <thread>

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

}  // namespace
}  // namespace pellquin
