// A service configured with `user = ...` gives up root once it listens, and still answers.

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "raw_client.h"
#include "service_process.h"

namespace pellquin {
namespace {

constexpr const char* kIp = "127.0.0.91";

// The real user id of a process, from /proc.
long RealUid(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Uid:", 0) == 0) {
            return std::stol(line.substr(4));
        }
    }
    return -1;
}

TEST(ServiceIdentity, RunsAsTheConfiguredUserOnceItListens) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root, to give it up";
    }
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    // The log directory belongs to the user the service becomes.
    char pattern[] = "/tmp/pellquin-identity.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string logDir = pattern;
    ASSERT_EQ(chown(logDir.c_str(), nobody->pw_uid, nobody->pw_gid), 0);

    {
        test::ServiceProcess service(kIp, 8021, "user = nobody\n",
                                     {"--log-dir", logDir, "--canned-engine", "3"});
        ASSERT_TRUE(service.ok()) << service.error();
        EXPECT_EQ(RealUid(service.pid()), static_cast<long>(nobody->pw_uid));

        test::RawClient client(kIp, 8021, 20000);
        const auto reply = client.Exchange(test::QueryRecord(kIp, "data", "dir"));
        ASSERT_TRUE(reply && reply->ok);
        EXPECT_EQ(reply->rows.size(), 3u);
        EXPECT_TRUE(std::filesystem::exists(logDir + "/Pellquin.log"));
    }
    {
        // A user that does not exist stops the start, saying so.
        test::ServiceProcess service(kIp, 8021, "user = no-such-user-pq\n",
                                     {"--log-dir", logDir, "--canned-engine", "3"});
        EXPECT_FALSE(service.ok());
        EXPECT_NE(service.error().find("no-such-user-pq"), std::string::npos) << service.error();
    }
    std::error_code ignored;
    std::filesystem::remove_all(logDir, ignored);
}

}  // namespace
}  // namespace pellquin
