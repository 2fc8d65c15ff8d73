// pellquin-cli against a private Samba server: what a user at a terminal sees on stdout and
// stderr. Addresses 127.0.0.16 to 127.0.0.19.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "file_holder.h"
#include "run_program.h"
#include "samba_sandbox.h"

namespace pellquin {
namespace {

using test::FileHolder;
using test::RunProgram;
using test::SambaSandbox;

class CliSamba : public ::testing::Test {
protected:
    void SetUp() override {
        std::string reason;
        if (!SambaSandbox::CanRun(&reason)) {
            GTEST_SKIP() << "private Samba server: " << reason;
        }
    }
};

TEST_F(CliSamba, ChecksClosesAndKeepsSambaMessagesOffStdout) {
    SambaSandbox sandbox("127.0.0.16");
    ASSERT_TRUE(sandbox.ok()) << sandbox.error();
    FileHolder holder(sandbox, sandbox.userCredentials(),
                      {"r:reports/q1.xls", "w:Projekte Übersicht/Café Zürich.txt"});
    ASSERT_TRUE(holder.ok()) << holder.error();
    const std::string folder = sandbox.uncRoot() + "\\Projekte Übersicht";

    const auto check = RunProgram({PELLQUIN_CLI_PATH, "--mechanism", "direct", "--credentials",
                                   sandbox.adminCredentials(), "--csv", "check", folder});
    EXPECT_EQ(check.exitCode, 0) << check.err;
    EXPECT_NE(check.out.find("Café Zürich.txt"), std::string::npos) << check.out;
    EXPECT_EQ(check.out.find("q1.xls"), std::string::npos) << check.out;

    // The id as the listing shows it closes that handle, and only that one.
    const auto rowStart = check.out.find("\r\n");
    ASSERT_NE(rowStart, std::string::npos) << check.out;
    const std::string id =
        check.out.substr(rowStart + 2, check.out.find(',', rowStart) - rowStart - 2);
    const auto close = RunProgram({PELLQUIN_CLI_PATH, "--mechanism", "direct", "--credentials",
                                   sandbox.adminCredentials(), "close", folder, id});
    EXPECT_EQ(close.exitCode, 0) << close.err;
    EXPECT_EQ(close.out, "closed " + id + "\n");
    EXPECT_EQ(holder.probe(1), FileHolder::Probe::Closed);
    EXPECT_EQ(holder.probe(0), FileHolder::Probe::Open);

    // A logon failure: the engine's text on stderr, nothing from libnetapi on stdout.
    const std::string wrong = sandbox.dir() + "/wrong.credentials";
    std::ofstream(wrong) << "username = pqadmin\npassword = wrong\n";
    ASSERT_EQ(chmod(wrong.c_str(), 0600), 0);
    const auto denied = RunProgram(
        {PELLQUIN_CLI_PATH, "--mechanism", "direct", "--credentials", wrong, "check", folder});
    EXPECT_EQ(denied.exitCode, 1);
    EXPECT_EQ(denied.out, "");
    EXPECT_NE(denied.err.find("Cannot complete this function"), std::string::npos) << denied.err;

    // A credentials file that others may read is refused before anything is sent.
    ASSERT_EQ(chmod(wrong.c_str(), 0644), 0);
    const auto unsafe = RunProgram(
        {PELLQUIN_CLI_PATH, "--mechanism", "direct", "--credentials", wrong, "check", folder});
    EXPECT_EQ(unsafe.exitCode, 1);
    EXPECT_NE(unsafe.err.find("chmod 600"), std::string::npos) << unsafe.err;
}

}  // namespace
}  // namespace pellquin
