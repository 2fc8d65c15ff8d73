// pellquin-cli against a private Samba server, for what the command-line tests do not reach:
// a logon failure, which libnetapi reports by printing to stdout. Address 127.0.0.16.
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

}  // namespace
}  // namespace pellquin
