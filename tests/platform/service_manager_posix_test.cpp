// The Linux service manager without a systemd (connecting fails with a system error instead
// of hanging), and against a real systemd booted in a private sandbox, locally and over ssh.
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "platform/service_manager.h"
#include "systemd_sandbox.h"

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
// stopped and removed through the adapter, as the Service Control tab does it. The program
// lies where the sandboxed unit can run it (its /tmp is private to it).
TEST(ServiceManagerPosix, RegistersStartsStopsAndRemovesAUnit) {
    PELLQUIN_IN_SYSTEMD_SANDBOX();
    ASSERT_TRUE(SystemdRuns());
    mkdir("/usr/local/lib", 0755);
    char pattern[] = "/usr/local/lib/pellquin-unit-XXXXXX";
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

// Polls a status until it is `state` or about 20 s have passed; returns the last one read.
ServiceStatusResult WaitForState(ServiceManager& manager, ServiceManagerHandle service,
                                 int32_t state) {
    ServiceStatusResult status = manager.QueryStatus(service);
    for (int i = 0; i < 200 && status.state != state; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        status = manager.QueryStatus(service);
    }
    return status;
}

// The remote transport (ssh to the machine, systemd-stdio-bridge there) against the sandbox's
// sshd: the destination as an administrator types it reaches the same systemd, and a unit
// started there shows up as running, then as stopped.
TEST(ServiceManagerPosix, RemoteManagerOverSshReadsAUnitsStatus) {
    PELLQUIN_IN_SYSTEMD_SANDBOX();
    const std::string unit = "PellquinRemoteProbe";
    {
        std::ofstream file("/etc/systemd/system/" + unit + ".service");
        file << "[Service]\nExecStart=/bin/sleep 300\n";
    }
    ASSERT_EQ(std::system("systemctl daemon-reload"), 0);

    const std::string address = test::SystemdSandbox::kSshAddress;
    for (const std::string& machine :
         {"root@" + address, address, std::string("root@") + test::SystemdSandbox::kSshAlias}) {
        SCOPED_TRACE(machine);
        ASSERT_EQ(std::system(("systemctl start " + unit).c_str()), 0);
        auto manager = MakeServiceManager(std::string());
        const ServiceHandleResult scm = manager->OpenManager(machine);
        ASSERT_NE(scm.handle, 0u) << scm.error;
        EXPECT_EQ(manager->Open(scm.handle, "PellquinNoSuchUnit").error, 1060u);
        const ServiceHandleResult service = manager->Open(scm.handle, unit);
        ASSERT_NE(service.handle, 0u) << service.error;
        EXPECT_EQ(WaitForState(*manager, service.handle, 4).state, 4);
        ASSERT_EQ(std::system(("systemctl stop " + unit).c_str()), 0);
        EXPECT_EQ(WaitForState(*manager, service.handle, 1).state, 1);
        manager->Close(service.handle);
        manager->Close(scm.handle);
    }
}

// An ordinary account reaches the manager over ssh and may read a unit's state, but systemd
// refuses it control (no polkit agent grants it): Access is denied, as on Windows.
TEST(ServiceManagerPosix, RemoteManagerOverSshAsAnOrdinaryUserMayReadButNotControl) {
    PELLQUIN_IN_SYSTEMD_SANDBOX();
    const std::string unit = "PellquinRemoteProbe";
    {
        std::ofstream file("/etc/systemd/system/" + unit + ".service");
        file << "[Service]\nExecStart=/bin/sleep 300\n";
    }
    ASSERT_EQ(std::system("systemctl daemon-reload"), 0);
    auto manager = MakeServiceManager(std::string());
    const ServiceHandleResult scm = manager->OpenManager(
        std::string(test::SystemdSandbox::kPlainUser) + "@" + test::SystemdSandbox::kSshAddress);
    ASSERT_NE(scm.handle, 0u) << scm.error;
    const ServiceHandleResult service = manager->Open(scm.handle, unit);
    ASSERT_NE(service.handle, 0u) << service.error;
    EXPECT_EQ(manager->QueryStatus(service.handle).state, 1);
    EXPECT_EQ(manager->Start(service.handle), 5u);
    EXPECT_EQ(std::system(("systemctl is-active --quiet " + unit).c_str()) == 0, false);
    manager->Close(service.handle);
    manager->Close(scm.handle);
}

// ssh refusing the connection (nothing listens on 127.0.0.3) or the login (a user without a
// key) fails the connection as unreachable, promptly, instead of hanging at a prompt.
TEST(ServiceManagerPosix, RemoteManagerOverSshFailsWhenSshIsRefused) {
    PELLQUIN_IN_SYSTEMD_SANDBOX();
    for (const std::string& machine :
         {std::string("root@127.0.0.3"),
          std::string("nobody@") + test::SystemdSandbox::kSshAddress}) {
        SCOPED_TRACE(machine);
        auto manager = MakeServiceManager(std::string());
        const auto started = std::chrono::steady_clock::now();
        const ServiceHandleResult result = manager->OpenManager(machine);
        EXPECT_EQ(result.handle, 0u);
        EXPECT_EQ(result.error, 1722u);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    }
}

// An ordinary local user asks with polkit's interactive authentication allowed; where polkit
// grants nothing (the sandbox has no polkit), the refusal is Access is denied, as on Windows.
TEST(ServiceManagerPosix, AnOrdinaryLocalUserIsRefusedControlAsAccessDenied) {
    PELLQUIN_IN_SYSTEMD_SANDBOX();
    const std::string unit = "PellquinLocalProbe";
    std::ofstream("/etc/systemd/system/" + unit + ".service")
        << "[Service]\nExecStart=/bin/sleep 300\n";
    ASSERT_EQ(std::system("systemctl daemon-reload"), 0);
    const passwd* user = getpwnam(test::SystemdSandbox::kPlainUser);
    ASSERT_NE(user, nullptr);
    const uid_t uid = user->pw_uid;
    const gid_t gid = user->pw_gid;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(gid) != 0 || setuid(uid) != 0) {
            _exit(90);
        }
        auto manager = MakeServiceManager(std::string());
        const ServiceHandleResult scm = manager->OpenManager(std::string());
        if (scm.handle == 0) {
            _exit(91);
        }
        const ServiceHandleResult service = manager->Open(scm.handle, unit);
        if (service.handle == 0) {
            _exit(92);
        }
        _exit(static_cast<int>(manager->Start(service.handle)));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 5);
    EXPECT_NE(std::system(("systemctl is-active --quiet " + unit).c_str()), 0);
}

}  // namespace
}  // namespace pellquin
