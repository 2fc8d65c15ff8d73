// The Service Control page's logic over the real Linux adapters against a real systemd and
// sshd booted in a private sandbox: the whole life of the sandboxed service on this machine
// and over ssh as "user@host", ssh's own reasons in the message log, and a hung link.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "fake_net_file_api.h"
#include "files_beside_test_program.h"
#include "platform/log_viewer.h"
#include "platform/service_files.h"
#include "platform/service_manager.h"
#include "platform/system_info.h"
#include "scripted_prompts.h"
#include "service/control/service_control.h"
#include "systemd_sandbox.h"

namespace pellquin {
namespace {

using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

const std::string kProgram = "/usr/local/lib/pellquin/PellquinService";
const std::string kUnitFile = "/etc/systemd/system/Pellquin.service";
const std::string kConfig = "/etc/pellquin/PellquinService.conf";
const std::string kCredentialsLine =
    "Still to provide: the credentials of an administrator of the Samba server (username = , "
    "password = ) in /etc/pellquin/credentials, owned by pellquin, mode 0600";

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Output(const std::string& command) {
    std::string out;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return out;
    }
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        out.append(buffer, got);
    }
    pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) {
        out.pop_back();
    }
    return out;
}

class ServiceControlOverSystemd : public ::testing::Test {
protected:
    void SetUp() override {
        test::RunCurrentTestInSystemdSandbox(&m_inside);
        if (!m_inside) {
            return;
        }
        // No desktop in the sandbox: View Log shows the program's text window, recorded here.
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("PELLQUIN_SYSTEM_DIR");
        char pattern[] = "/tmp/pellquin-source-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_source = std::string(pattern) + "/";
        // The service's stand-in notes who it runs as in its log, where the unit says.
        std::ofstream(m_source + "PellquinService")
            << "#!/bin/sh\necho \"started as $(id -un)\" >>\"$PELLQUIN_SYSTEM_DIR/Pellquin.log\"\n"
               "exec sleep 300\n";
        chmod((m_source + "PellquinService").c_str(), 0700);
        m_info = MakeSystemInfo();
        auto window = [this](const std::string& path) {
            m_windowPaths.push_back(path);
            m_windowTexts.push_back(ReadText(path));
            return true;
        };
        m_control =
            std::make_unique<ServiceControl>(MakeServiceManager(std::string()),
                                             std::make_unique<test::FilesBesideTestProgram>(
                                                 MakeServiceFiles(std::string()), m_source),
                                             MakeLogViewer(window), m_shares, *m_info, m_prompts);
    }
    void TearDown() override {
        if (!m_inside) {
            return;
        }
        m_control.reset();
        std::error_code ignored;
        std::filesystem::remove_all(m_source, ignored);
    }
    Lines NewLines() {
        const Lines& all = m_control->LogLines();
        Lines lines(all.begin() + static_cast<long>(m_seen), all.end());
        m_seen = all.size();
        return lines;
    }
    // Polls once a second, as the window's timer does, until the status reads `wanted`.
    std::string PollUntil(const std::string& wanted) {
        for (int i = 0; i < 20; ++i) {
            m_control->PollStatus();
            if (m_control->Controls().lblStatus == wanted) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        return m_control->Controls().lblStatus;
    }
    void UseRemote(const std::string& name) {
        m_control->SelectRemoteMachine();
        m_control->SetRemoteName(name);
    }
    // The whole installation and removal on the machine the page connects to, `where` being
    // the program's place as the message log names it and `host` the display name.
    void InstallRunAndRemove(const std::string& where, const std::string& host) {
        m_control->ConnectServiceManager();
        EXPECT_EQ(NewLines(), (Lines{"Connected to ServiceManager on " + host,
                                     "Service is not installed on this host"}));
        m_control->InstallService();
        EXPECT_EQ(NewLines(),
                  (Lines{"Copying service executable to " + where,
                         "Service configuration written to " + kConfig, kCredentialsLine,
                         "Installing Service", "Service Installed Successfully",
                         "Disconnected from " + host, "Connected to ServiceManager on " + host,
                         "Connected to Service on " + host}));

        // Everything systemd runs or reads belongs to root, and the unit is in its place.
        struct stat info {};
        for (const auto& [path, mode] : std::vector<std::pair<std::string, unsigned>>{
                 {kProgram, 0755}, {kUnitFile, 0644}, {kConfig, 0644}}) {
            SCOPED_TRACE(path);
            ASSERT_EQ(stat(path.c_str(), &info), 0);
            EXPECT_EQ(info.st_uid, 0u);
            EXPECT_EQ(info.st_gid, 0u);
            EXPECT_EQ(info.st_mode & 07777, mode);
        }
        EXPECT_EQ(ReadText(kProgram), ReadText(m_source + "PellquinService"));
        EXPECT_EQ(Output("systemctl is-enabled Pellquin.service"), "enabled");
        EXPECT_EQ(Output("getent passwd pellquin | cut -d: -f7"), "/usr/sbin/nologin");

        EXPECT_EQ(PollUntil("Stopped"), "Stopped");
        EXPECT_TRUE(m_control->Controls().cmdStartService);
        m_control->StartServiceRequest();
        EXPECT_EQ(PollUntil("Running"), "Running");
        EXPECT_TRUE(m_control->Controls().cmdStopService);
        EXPECT_EQ(NewLines(), (Lines{"Service Start request sent"}));

        // The service writes its log where View Log reads it, as its own user.
        for (int i = 0; i < 50 && ReadText("/var/lib/pellquin/Pellquin.log").empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        EXPECT_EQ(ReadText("/var/lib/pellquin/Pellquin.log"), "started as pellquin\n");
        m_control->ViewLog();
        ASSERT_EQ(m_windowTexts.size(), 1u);
        EXPECT_EQ(m_windowTexts[0], "started as pellquin\n");
        m_prompts.answers = {true};
        m_control->ClearLog();
        EXPECT_FALSE(std::filesystem::exists("/var/lib/pellquin/Pellquin.log"));

        m_control->StopService();
        EXPECT_EQ(PollUntil("Stopped"), "Stopped");
        m_control->UninstallService();
        EXPECT_EQ(NewLines(), (Lines{"Service Stop request sent",
                                     "Failed to stop service. : Message = The service has not "
                                     "been started(1062)",
                                     "Service Uninstalled successfully"}));
        EXPECT_FALSE(std::filesystem::exists(kUnitFile));
        EXPECT_TRUE(std::filesystem::exists(kProgram));  // as on Windows, the program stays
        EXPECT_EQ(PollUntil("Not Installed"), "Not Installed");
        EXPECT_TRUE(m_control->Controls().cmdInstall);

        // A second installation keeps the configuration the administrator may have edited.
        std::ofstream(kConfig, std::ios::app) << "refuse_close = yes\n";
        m_control->InstallService();
        const Lines again = NewLines();
        ASSERT_GE(again.size(), 2u);
        EXPECT_EQ(again[1], "Service configuration " + kConfig + " kept as it was");
        EXPECT_NE(ReadText(kConfig).find("refuse_close = yes\n"), std::string::npos);
        m_control->UninstallService();
        m_control->DisconnectServiceManager();
        m_control->ConnectServiceManager();
        EXPECT_EQ(NewLines().back(), "Service is not installed on this host");
        m_control->DisconnectServiceManager();
    }

    bool m_inside = false;
    std::string m_source;
    std::unique_ptr<SystemInfo> m_info;
    test::FakeNetFileApi m_shares;
    test::ScriptedPrompts m_prompts;
    std::unique_ptr<ServiceControl> m_control;
    std::vector<std::string> m_windowPaths;
    std::vector<std::string> m_windowTexts;
    size_t m_seen = 0;
};

TEST_F(ServiceControlOverSystemd, InstallsRunsAndRemovesTheServiceOnThisMachine) {
    if (!m_inside) {
        return;
    }
    InstallRunAndRemove(kProgram, "This Machine");
    EXPECT_EQ(m_shares.shareCalls.size(), 0u);
}

// root logs in by key, as administrators set it up: "root@host" works for every step, all of
// it over ssh, and the fetched log is gone once shown.
TEST_F(ServiceControlOverSystemd, InstallsRunsAndRemovesTheServiceOverSshAsUserAtHost) {
    if (!m_inside) {
        return;
    }
    const std::string machine = std::string("root@") + test::SystemdSandbox::kSshAddress;
    UseRemote(machine);
    InstallRunAndRemove(machine + ":" + kProgram, machine);
    ASSERT_EQ(m_windowPaths.size(), 1u);
    EXPECT_NE(m_windowPaths[0], "/var/lib/pellquin/Pellquin.log");
    EXPECT_FALSE(std::filesystem::exists(m_windowPaths[0]));
    EXPECT_EQ(m_shares.shareCalls.size(), 0u);
}

// With the system's package installed, its program is used where it is: nothing is copied
// and the unit runs the packaged program.
TEST_F(ServiceControlOverSystemd, APackagedProgramIsUsedWhereItIs) {
    if (!m_inside) {
        return;
    }
    const std::string packaged = "/usr/libexec/pellquin/PellquinService";
    // The sandbox's /usr is the host's, read-only: a private folder in its place, here only.
    ASSERT_EQ(std::system("mount -t tmpfs -o mode=0755 tmpfs /usr/libexec && "
                          "mkdir -m 0755 /usr/libexec/pellquin"),
              0);
    std::filesystem::copy_file(m_source + "PellquinService", packaged);
    chmod(packaged.c_str(), 0755);
    const std::string machine = std::string("root@") + test::SystemdSandbox::kSshAddress;
    for (const std::string& target : {std::string(), machine}) {
        SCOPED_TRACE(target);
        const std::string host = target.empty() ? "This Machine" : target;
        if (!target.empty()) {
            UseRemote(target);
        }
        m_control->ConnectServiceManager();
        m_control->InstallService();
        const Lines lines = NewLines();
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines[2], "Using the service executable installed with the system: " +
                                (target.empty() ? packaged : target + ":" + packaged));
        EXPECT_EQ(lines.back(), "Connected to Service on " + host);
        EXPECT_NE(ReadText(kUnitFile).find("\nExecStart=\"" + packaged + "\" --foreground\n"),
                  std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(kProgram));
        m_control->StartServiceRequest();
        EXPECT_EQ(PollUntil("Running"), "Running");
        m_control->UninstallService();
        m_control->DisconnectServiceManager();
        NewLines();
    }
    EXPECT_EQ(std::system("umount /usr/libexec"), 0);
}

// ssh's own reason follows the page's line: refused, no key accepted, no rights there.
TEST_F(ServiceControlOverSystemd, SshFailuresShowSshsOwnReason) {
    if (!m_inside) {
        return;
    }
    const std::string address = test::SystemdSandbox::kSshAddress;
    const struct {
        std::string machine;
        std::string reason;
    } cases[] = {
        {"root@127.0.0.3", "ssh: connect to host 127.0.0.3 port 22: Connection refused"},
        {"nobody@" + address, "nobody@" + address + ": Permission denied (publickey)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.machine);
        UseRemote(c.machine);
        m_control->ConnectServiceManager();
        EXPECT_EQ(NewLines(), (Lines{"Failed to Connect to SCManager : Message = The RPC server is "
                                     "unavailable(1722)",
                                     c.reason}));
        EXPECT_EQ(m_control->ScmConnected(), 0);
    }

    // An ordinary account may connect but not install: the reason comes from the machine.
    const std::string plain = std::string(test::SystemdSandbox::kPlainUser) + "@" + address;
    UseRemote(plain);
    m_control->ConnectServiceManager();
    m_control->InstallService();
    const Lines lines = NewLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3], "Failed to Copy " + m_source + "PellquinService to " + plain + ":" +
                            kProgram + " : Message = Access is denied(5)");
    EXPECT_EQ(lines[4], std::string(test::SystemdSandbox::kPlainUser) +
                            " may not install programs here (root may)");
    EXPECT_FALSE(std::filesystem::exists(kProgram));
}

// The ssh link stops answering (its far end frozen): the poll gives up in about 2 s and shows
// "Unknown", and Disconnect does not wait for the link at all.
TEST_F(ServiceControlOverSystemd, AHungLinkReadsUnknownAndDisconnectsAtOnce) {
    if (!m_inside) {
        return;
    }
    std::ofstream(kUnitFile) << "[Service]\nExecStart=/bin/sleep 300\n";
    ASSERT_EQ(std::system("systemctl daemon-reload"), 0);
    const std::string machine = std::string("root@") + test::SystemdSandbox::kSshAddress;
    UseRemote(machine);
    m_control->ConnectServiceManager();
    ASSERT_EQ(m_control->ServiceOpen(), 1);
    EXPECT_EQ(PollUntil("Stopped"), "Stopped");

    const std::string bridge = Output("pgrep -x -f systemd-stdio-bridge");
    ASSERT_FALSE(bridge.empty());
    ASSERT_EQ(bridge.find('\n'), std::string::npos) << bridge;
    const pid_t pid = static_cast<pid_t>(std::stol(bridge));
    ASSERT_EQ(kill(pid, SIGSTOP), 0);

    auto started = Clock::now();
    m_control->PollStatus();
    const auto pollTime = Clock::now() - started;
    EXPECT_EQ(m_control->Controls().lblStatus, "Unknown");
    EXPECT_LT(pollTime, std::chrono::milliseconds(3000));
    EXPECT_TRUE(m_control->Controls().cmdStartService);  // the last state read stays

    started = Clock::now();
    m_control->DisconnectServiceManager();
    EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(1000));
    EXPECT_EQ(NewLines().back(), "Disconnected from " + machine);
    m_control->PollStatus();
    EXPECT_EQ(m_control->Controls().lblHost, "Not Connected");
    kill(pid, SIGCONT);
}

}  // namespace
}  // namespace pellquin
