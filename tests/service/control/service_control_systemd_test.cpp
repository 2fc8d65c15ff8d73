// The service-control logic over the real Linux adapters, with a stand-in systemd on a
// private D-Bus daemon: the D-Bus calls, the unit file and the log lines of a whole cycle.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "fake_net_file_api.h"
#include "files_beside_test_program.h"
#include "no_prompts.h"
#include "platform/log_viewer.h"
#include "platform/service_files.h"
#include "platform/service_manager.h"
#include "platform/system_info.h"
#include "service/control/service_control.h"
#include "stand_in_systemd.h"
#include "systemd_sandbox.h"

namespace pellquin {
namespace {

// Removes a test's temporary tree; what cannot be removed is left for the system's cleaning.
void RemoveTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

using Lines = std::vector<std::string>;

const std::string kCredentialsStillToProvide =
    "Still to provide: the credentials of an administrator of the Samba server (username = , "
    "password = ) in /etc/pellquin/credentials, owned by pellquin, mode 0600";

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Installation writes the machine's unit, program and configuration folders, so each test runs
// in the systemd sandbox (whose /etc, /usr/local and /var are its own), with the stand-in
// systemd started inside it.
class ServiceControlSystemd : public ::testing::Test {
protected:
    void SetUp() override {
        test::RunCurrentTestInSystemdSandbox(&m_inside);
        if (!m_inside) {
            return;
        }
        char pattern[] = "/tmp/pellquin-install-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_system = m_dir + "/system";
        mkdir((m_dir + "/tools").c_str(), 0755);
        std::ofstream(m_dir + "/tools/PellquinService") << "program";
        setenv("PELLQUIN_SYSTEM_DIR", m_system.c_str(), 1);

        m_systemd = std::make_unique<test::StandInSystemd>();
        ASSERT_TRUE(m_systemd->ok()) << m_systemd->error();
        m_info = MakeSystemInfo();
        m_control = std::make_unique<ServiceControl>(
            MakeServiceManager(std::string()),
            std::make_unique<test::FilesBesideTestProgram>(MakeServiceFiles(std::string()),
                                                           m_dir + "/tools/"),
            MakeLogViewer(), m_shares, *m_info, m_prompts);
    }
    void TearDown() override {
        if (!m_inside) {
            return;
        }
        m_control.reset();
        m_systemd.reset();
        unsetenv("PELLQUIN_SYSTEM_DIR");
        RemoveTree(m_dir);
    }
    Lines NewLines() {
        const Lines& all = m_control->LogLines();
        Lines lines(all.begin() + static_cast<long>(m_seen), all.end());
        m_seen = all.size();
        return lines;
    }
    std::string Status() {
        m_control->PollStatus();
        return m_control->Controls().lblStatus;
    }

    bool m_inside = false;
    std::string m_dir;
    std::string m_system;
    std::unique_ptr<test::StandInSystemd> m_systemd;
    std::unique_ptr<SystemInfo> m_info;
    test::FakeNetFileApi m_shares;
    test::NoPrompts m_prompts;
    std::unique_ptr<ServiceControl> m_control;
    size_t m_seen = 0;
};

TEST_F(ServiceControlSystemd, InstallStartStopAndRemoveOnThisMachine) {
    if (!m_inside) {
        return;
    }
    m_control->ConnectServiceManager();
    EXPECT_EQ(NewLines(), (Lines{"Connected to ServiceManager on This Machine",
                                 "Service is not installed on this host"}));
    EXPECT_EQ(Status(), "Not Installed");

    m_control->InstallService();
    const std::string program = "/usr/local/lib/pellquin/PellquinService";
    EXPECT_EQ(NewLines(), (Lines{"Copying service executable to " + program,
                                 "Service configuration written to "
                                 "/etc/pellquin/PellquinService.conf",
                                 kCredentialsStillToProvide, "Installing Service",
                                 "Service Installed Successfully", "Disconnected from This Machine",
                                 "Connected to ServiceManager on This Machine",
                                 "Connected to Service on This Machine"}));
    EXPECT_EQ(ReadText(program), "program");
    const std::string unit = ReadText("/etc/systemd/system/Pellquin.service");
    EXPECT_NE(unit.find("ExecStart=\"" + program + "\" --foreground\n"), std::string::npos);
    const Lines calls = m_systemd->Calls();
    const Lines expected = {"Reload()", "EnableUnitFiles(Pellquin.service,persistent,force)",
                            "Reload()"};
    EXPECT_NE(std::search(calls.begin(), calls.end(), expected.begin(), expected.end()),
              calls.end());

    EXPECT_EQ(Status(), "Stopped");
    EXPECT_TRUE(m_control->Controls().cmdStartService);
    m_control->StopService();
    m_control->StartServiceRequest();
    EXPECT_EQ(Status(), "Running");
    EXPECT_TRUE(m_control->Controls().cmdStopService);
    m_control->StartServiceRequest();
    m_control->StopService();
    EXPECT_EQ(Status(), "Stopped");
    m_systemd->DenyStart(true);
    m_control->StartServiceRequest();
    EXPECT_EQ(NewLines(),
              (Lines{"Failed to stop service. : Message = The service has not been started(1062)",
                     "Service Start request sent",
                     "Failed to start service : Message = An instance of the service is already "
                     "running(1056)",
                     "Service Stop request sent",
                     "Failed to start service : Message = Access is denied(5)"}));

    m_control->UninstallService();
    EXPECT_EQ(NewLines(),
              (Lines{"Failed to stop service. : Message = The service has not been started(1062)",
                     "Service Uninstalled successfully"}));
    EXPECT_EQ(m_systemd->Calls().back(), "Reload()");
    EXPECT_EQ(m_systemd->Calls()[m_systemd->Calls().size() - 2],
              "DisableUnitFiles(Pellquin.service,persistent)");
    EXPECT_EQ(Status(), "Not Installed");
    EXPECT_TRUE(m_control->Controls().cmdInstall);

    m_control->DisconnectServiceManager();
    m_control->ConnectServiceManager();
    EXPECT_EQ(NewLines().back(), "Service is not installed on this host");
}

TEST_F(ServiceControlSystemd, PendingStatesEnableNeitherButtonAndAVanishedUnitIsUnknown) {
    if (!m_inside) {
        return;
    }
    m_control->ConnectServiceManager();
    m_control->InstallService();
    m_systemd->SetActiveState("active");
    EXPECT_EQ(Status(), "Running");
    m_systemd->SetActiveState("deactivating");
    EXPECT_EQ(Status(), "Stop Pending");
    EXPECT_FALSE(m_control->Controls().cmdStartService);
    EXPECT_FALSE(m_control->Controls().cmdStopService);
    m_systemd->SetActiveState("active");
    EXPECT_EQ(Status(), "Running");

    // Removed behind the page's back: the query fails and the last state's buttons stay.
    m_systemd->Unload();
    EXPECT_EQ(Status(), "Unknown");
    EXPECT_EQ(m_control->LastServiceState(), 4);
    EXPECT_TRUE(m_control->Controls().cmdStopService);
}

}  // namespace
}  // namespace pellquin
