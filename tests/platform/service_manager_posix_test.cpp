// The Linux service manager against the machine's own systemd, where one runs; without one
// (a container), that connecting fails with a system error instead of hanging.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "platform/service_manager.h"

namespace pellquin {
namespace {

bool SystemdRuns() {
    struct stat info {};
    return stat("/run/systemd/system", &info) == 0 && S_ISDIR(info.st_mode);
}

TEST(ServiceManagerPosix, WithoutSystemdConnectFailsAsUnreachable) {
    if (SystemdRuns()) {
        GTEST_SKIP() << "skipped: systemd runs on this machine, so there is no missing manager "
                        "to connect to";
    }
    auto manager = MakeServiceManager(std::string());
    const ServiceHandleResult result = manager->OpenManager(std::string());
    EXPECT_EQ(result.handle, 0u);
    EXPECT_EQ(result.error, 1722u);
}

TEST(ServiceManagerPosix, UnreachableRemoteMachineFailsWithoutHanging) {
    auto manager = MakeServiceManager(std::string());
    // .invalid never resolves (RFC 2606), so ssh gives up at once.
    const ServiceHandleResult result = manager->OpenManager("pellquin-test.invalid");
    EXPECT_EQ(result.handle, 0u);
    EXPECT_EQ(result.error, 1722u);
}

// A throwaway service whose program is a shell script that sleeps: registered, started,
// stopped and removed through the adapter, as the Service Control tab does it.
TEST(ServiceManagerPosix, RegistersStartsStopsAndRemovesAUnit) {
    if (!SystemdRuns()) {
        GTEST_SKIP() << "skipped: systemd does not run on this machine (no /run/systemd/system), "
                        "so there is no real service manager to test against";
    }
    if (geteuid() != 0) {
        GTEST_SKIP() << "skipped: registering a systemd unit needs root";
    }
    char pattern[] = "/tmp/pellquin-unit-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string directory = pattern;
    chmod(directory.c_str(), 0755);
    const std::string program = directory + "/PellquinService";
    {
        std::ofstream script(program);
        script << "#!/bin/sh\nexec sleep 300\n";
    }
    chmod(program.c_str(), 0755);
    const std::string name = "PellquinTest" + std::to_string(getpid());

    auto manager = MakeServiceManager(std::string());
    const ServiceHandleResult scm = manager->OpenManager(std::string());
    ASSERT_NE(scm.handle, 0u) << scm.error;
    EXPECT_EQ(manager->Open(scm.handle, name).error, 1060u);

    const ServiceHandleResult created = manager->Create(scm.handle, {name, name, program});
    ASSERT_NE(created.handle, 0u) << created.error;
    auto waitFor = [&](int32_t state) {
        for (int i = 0; i < 100; ++i) {
            if (manager->QueryStatus(created.handle).state == state) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    };
    EXPECT_EQ(manager->QueryStatus(created.handle).state, 1);
    EXPECT_EQ(manager->Stop(created.handle), 1062u);
    EXPECT_EQ(manager->Start(created.handle), 0u);
    EXPECT_TRUE(waitFor(4));
    EXPECT_EQ(manager->Start(created.handle), 1056u);
    EXPECT_EQ(manager->Stop(created.handle), 0u);
    EXPECT_TRUE(waitFor(1));
    EXPECT_EQ(manager->Delete(created.handle), 0u);
    manager->Close(created.handle);
    EXPECT_EQ(manager->Open(scm.handle, name).error, 1060u);
    manager->Close(scm.handle);

    unlink((directory + "/" + name + ".service").c_str());
    unlink(program.c_str());
    rmdir(directory.c_str());
}

}  // namespace
}  // namespace pellquin
