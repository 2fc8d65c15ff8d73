#include "service/control/service_control.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fake_net_file_api.h"
#include "fake_service_files.h"
#include "fake_service_manager.h"
#include "fake_system_info.h"
#include "scripted_prompts.h"

namespace pellquin {
namespace {

using Lines = std::vector<std::string>;

// Names of the enabled controls, in the tab's order.
Lines Enabled(const ServiceControls& c) {
    Lines names;
    const std::pair<bool, const char*> all[] = {
        {c.cmdConnect, "cmdConnect"},
        {c.cmdDisconnect, "cmdDisconnect"},
        {c.cmdInstall, "cmdInstall"},
        {c.cmdUninstall, "cmdUninstall"},
        {c.cmdStartService, "cmdStartService"},
        {c.cmdStopService, "cmdStopService"},
        {c.cmdViewLog, "cmdViewLog"},
        {c.cmdClearLog, "cmdClearLog"},
        {c.optThisMachine, "optThisMachine"},
        {c.optRemoteMachine, "optRemoteMachine"},
        {c.txtRemoteMachine, "txtRemoteMachine"},
    };
    for (const auto& [enabled, name] : all) {
        if (enabled) {
            names.push_back(name);
        }
    }
    return names;
}

class ServiceControlTest : public ::testing::Test {
protected:
    ServiceControlTest() {
        system.messages[1056] = "An instance of the service is already running.\r\n";
        system.messages[1060] = "The specified service does not exist as an installed service.\r\n";
        system.messages[1062] = "The service has not been started.\r\n";
        system.messages[1072] = "The specified service has been marked for deletion.\r\n";
        system.messages[1722] = "The RPC server is unavailable.\r\n";
        auto managerOwned = std::make_unique<test::FakeServiceManager>();
        auto filesOwned = std::make_unique<test::FakeServiceFiles>();
        auto viewerOwned = std::make_unique<test::FakeLogViewer>();
        manager = managerOwned.get();
        files = filesOwned.get();
        viewer = viewerOwned.get();
        shares.shareFolders["Admin$"] = "C:\\WINDOWS";
        control = std::make_unique<ServiceControl>(std::move(managerOwned), std::move(filesOwned),
                                                   std::move(viewerOwned), shares, system, prompts);
    }

    void ConnectThisMachine() { control->ConnectServiceManager(); }
    void ConnectRemote(const std::string& name) {
        control->SelectRemoteMachine();
        control->SetRemoteName(name);
        control->ConnectServiceManager();
    }
    // The log lines written since the last call.
    Lines NewLines() {
        const Lines& all = control->LogLines();
        Lines lines(all.begin() + static_cast<long>(m_seen), all.end());
        m_seen = all.size();
        return lines;
    }

    test::FakeSystemInfo system;
    test::FakeNetFileApi shares;
    test::ScriptedPrompts prompts;
    test::FakeServiceManager* manager = nullptr;
    test::FakeServiceFiles* files = nullptr;
    test::FakeLogViewer* viewer = nullptr;
    std::unique_ptr<ServiceControl> control;

private:
    size_t m_seen = 0;
};

const Lines kNotConnected = {"cmdConnect", "optThisMachine", "optRemoteMachine"};

TEST_F(ServiceControlTest, StartsNotConnectedAndPollShowsIt) {
    EXPECT_EQ(Enabled(control->Controls()), kNotConnected);
    EXPECT_EQ(control->LastServiceState(), -1);
    control->PollStatus();
    EXPECT_EQ(control->Controls().lblHost, "Not Connected");
    EXPECT_EQ(control->Controls().lblStatus, "");
    EXPECT_TRUE(manager->calls.empty());
}

TEST_F(ServiceControlTest, EmptyRemoteNameShowsErrorAndChangesNothing) {
    ConnectRemote("");
    EXPECT_EQ(prompts.shown, Lines{"Error: Please enter the server name to connect to"});
    EXPECT_TRUE(control->LogLines().empty());
    EXPECT_TRUE(manager->calls.empty());
    EXPECT_EQ(Enabled(control->Controls()),
              (Lines{"cmdConnect", "optThisMachine", "optRemoteMachine", "txtRemoteMachine"}));
    EXPECT_EQ(control->ScmConnected(), 0);
}

TEST_F(ServiceControlTest, ManagerThatCannotBeOpenedLeavesTabNotConnected) {
    manager->openManagerError = 1722;
    ConnectRemote("SRV1");
    EXPECT_EQ(
        NewLines(),
        Lines{"Failed to Connect to SCManager : Message = The RPC server is unavailable(1722)"});
    EXPECT_EQ(manager->calls, Lines{"OpenManager(SRV1)"});
    EXPECT_EQ(control->ConnectedHost(), "");
    EXPECT_EQ(control->ScmConnected(), 0);
    EXPECT_EQ(control->ScmHandle(), 0u);
    EXPECT_EQ(Enabled(control->Controls()),
              (Lines{"cmdConnect", "optThisMachine", "optRemoteMachine", "txtRemoteMachine"}));
}

TEST_F(ServiceControlTest, MachineWithoutServiceOffersInstallOnly) {
    ConnectRemote("SRV1");
    EXPECT_EQ(NewLines(), (Lines{"Connected to ServiceManager on SRV1",
                                 "Service is not installed on this host"}));
    EXPECT_EQ(Enabled(control->Controls()),
              (Lines{"cmdDisconnect", "cmdInstall", "txtRemoteMachine"}));
    EXPECT_EQ(control->ScmConnected(), 1);
    EXPECT_EQ(control->ServiceOpen(), 0);
    control->PollStatus();
    EXPECT_EQ(control->Controls().lblHost, "SRV1");
    EXPECT_EQ(control->Controls().lblStatus, "Not Installed");
}

TEST_F(ServiceControlTest, ServiceThatCannotBeOpenedLogsTheReasonAndOffersInstall) {
    manager->installed = true;
    manager->openServiceError = 5;
    ConnectThisMachine();
    EXPECT_EQ(NewLines(), (Lines{"Connected to ServiceManager on This Machine",
                                 "Failed to Open Service : Message = Access is denied(5)"}));
    EXPECT_EQ(Enabled(control->Controls()), (Lines{"cmdDisconnect", "cmdInstall"}));
    control->PollStatus();
    EXPECT_EQ(control->Controls().lblHost, "This Machine");
    EXPECT_EQ(control->Controls().lblStatus, "Not Installed");
}

TEST_F(ServiceControlTest, DisconnectFromThisMachineClosesBothHandles) {
    manager->installed = true;
    ConnectThisMachine();
    EXPECT_EQ(Enabled(control->Controls()),
              (Lines{"cmdDisconnect", "cmdUninstall", "cmdViewLog", "cmdClearLog"}));
    EXPECT_EQ(manager->openHandles.size(), 2u);
    control->DisconnectServiceManager();
    EXPECT_EQ(NewLines(),
              (Lines{"Connected to ServiceManager on This Machine",
                     "Connected to Service on This Machine", "Disconnected from This Machine"}));
    EXPECT_TRUE(manager->openHandles.empty());
    EXPECT_EQ(Enabled(control->Controls()), kNotConnected);
    EXPECT_EQ(control->LastServiceState(), -1);
    EXPECT_EQ(control->ScmConnected(), 0);
    EXPECT_EQ(control->ServiceOpen(), 0);
    control->PollStatus();
    EXPECT_EQ(control->Controls().lblHost, "Not Connected");
}

TEST_F(ServiceControlTest, ConnectWhileConnectedKeepsTheConnection) {
    manager->installed = true;
    ConnectThisMachine();
    const auto handles = manager->openHandles;
    ConnectThisMachine();
    EXPECT_EQ(manager->openHandles, handles);
    EXPECT_EQ(control->LogLines().size(), 2u);
}

TEST_F(ServiceControlTest, RemoteNameStaysEditableWhileConnectedHostKeepsTheConnectedName) {
    manager->installed = true;
    ConnectRemote("SRV1");
    EXPECT_TRUE(control->Controls().txtRemoteMachine);
    control->SetRemoteName("SRV2");
    EXPECT_EQ(control->ConnectedHost(), "SRV1");
    control->PollStatus();
    EXPECT_EQ(control->Controls().lblHost, "SRV1");
    EXPECT_EQ(control->ServiceLogPath(), "\\\\SRV1\\Admin$\\System32\\Pellquin.log");
    control->DisconnectServiceManager();
    EXPECT_EQ(control->LogLines().back(), "Disconnected from SRV1");
    EXPECT_EQ(control->ConnectedHost(), "");
}

TEST_F(ServiceControlTest, StartAndStopWaitForTheFirstSuccessfulStatus) {
    manager->installed = true;
    manager->queryError = 5;
    ConnectThisMachine();
    control->PollStatus();
    EXPECT_EQ(control->LastServiceState(), -1);
    EXPECT_EQ(control->Controls().lblStatus, "Unknown");
    EXPECT_FALSE(control->Controls().cmdStartService);
    EXPECT_FALSE(control->Controls().cmdStopService);
}

TEST_F(ServiceControlTest, EachStateShowsItsNameAndEnablesStartOrStopOnlyWhenSettled) {
    const struct {
        int32_t state;
        const char* name;
        bool start;
        bool stop;
    } cases[] = {
        {1, "Stopped", true, false},           {2, "Start Pending", false, false},
        {3, "Stop Pending", false, false},     {4, "Running", false, true},
        {5, "Continue Pending", false, false}, {6, "Pause Pending", false, false},
        {7, "Paused", false, false},           {0, "Unknown", false, false},
        {8, "Unknown", false, false},
    };
    manager->installed = true;
    ConnectThisMachine();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        manager->state = c.state;
        control->PollStatus();
        EXPECT_EQ(control->LastServiceState(), c.state);
        EXPECT_EQ(control->Controls().lblStatus, c.name);
        EXPECT_EQ(ServiceStateName(c.state), c.name);
        EXPECT_EQ(control->Controls().cmdStartService, c.start);
        EXPECT_EQ(control->Controls().cmdStopService, c.stop);
    }
}

TEST_F(ServiceControlTest, FailedStatusQueryShowsUnknownAndKeepsTheLastState) {
    manager->installed = true;
    manager->state = 4;
    ConnectThisMachine();
    control->PollStatus();
    manager->queryError = 6;
    control->PollStatus();
    EXPECT_EQ(control->Controls().lblStatus, "Unknown");
    EXPECT_EQ(control->LastServiceState(), 4);
    EXPECT_TRUE(control->Controls().cmdStopService);
    EXPECT_FALSE(control->Controls().cmdStartService);
}

TEST_F(ServiceControlTest, StateReadOnOneConnectionEnablesNothingOnTheNext) {
    manager->installed = true;
    manager->state = 1;
    ConnectRemote("SRV1");
    control->PollStatus();
    EXPECT_TRUE(control->Controls().cmdStartService);
    control->DisconnectServiceManager();
    manager->queryError = 5;
    ConnectRemote("SRV2");
    control->PollStatus();
    EXPECT_EQ(control->LastServiceState(), -1);
    EXPECT_FALSE(control->Controls().cmdStartService);
    EXPECT_FALSE(control->Controls().cmdStopService);
}

TEST_F(ServiceControlTest, StartAndStopReportTheManagersAnswer) {
    manager->installed = true;
    manager->state = 1;
    ConnectThisMachine();
    NewLines();
    control->StopService();
    control->StartServiceRequest();
    control->StartServiceRequest();
    control->StopService();
    EXPECT_EQ(NewLines(),
              (Lines{"Failed to stop service. : Message = The service has not been started(1062)",
                     "Service Start request sent",
                     "Failed to start service : Message = An instance of the service is already "
                     "running(1056)",
                     "Service Stop request sent"}));
}

TEST_F(ServiceControlTest, ViewLogOpensTheConnectedMachinesLogOrSaysItIsMissing) {
    manager->installed = true;
    ConnectThisMachine();
    NewLines();
    control->ViewLog();
    EXPECT_EQ(prompts.shown,
              Lines{"Error: Log File : C:\\WINDOWS\\system32\\Pellquin.log cannot be found or "
                    "accessed"});
    EXPECT_TRUE(viewer->opened.empty());

    files->files.insert("C:\\WINDOWS\\system32\\Pellquin.log");
    control->ViewLog();
    EXPECT_EQ(viewer->opened, Lines{"C:\\WINDOWS\\system32\\Pellquin.log"});

    control->DisconnectServiceManager();
    ConnectRemote("SRV1");
    NewLines();
    files->files.insert("\\\\SRV1\\Admin$\\System32\\Pellquin.log");
    viewer->fails = true;
    control->ViewLog();
    EXPECT_EQ(viewer->opened.back(), "\\\\SRV1\\Admin$\\System32\\Pellquin.log");
    EXPECT_EQ(prompts.shown.back(), "Error: Cannot Execute Notepad.exe");
    EXPECT_TRUE(NewLines().empty());
}

TEST_F(ServiceControlTest, LocalLogOnLinuxIsJoinedWithASlash) {
    files->systemDirectory = "/var/lib/pellquin";
    manager->installed = true;
    ConnectThisMachine();
    EXPECT_EQ(control->ServiceLogPath(), "/var/lib/pellquin/Pellquin.log");
}

TEST_F(ServiceControlTest, ClearLogErasesOnlyOnYesAndReportsNothing) {
    manager->installed = true;
    ConnectThisMachine();
    NewLines();
    const std::string log = "C:\\WINDOWS\\system32\\Pellquin.log";
    files->files.insert(log);
    prompts.answers = {false, true, true};
    control->ClearLog();
    EXPECT_TRUE(files->IsFile(log));
    EXPECT_TRUE(files->calls.empty());
    control->ClearLog();
    EXPECT_FALSE(files->IsFile(log));
    control->ClearLog();  // no log any more: nothing visible happens
    EXPECT_EQ(prompts.shown, Lines(3, "Ask: Erase Log File"));
    EXPECT_EQ(files->calls, Lines(2, "Delete(" + log + ")"));
    EXPECT_TRUE(NewLines().empty());
}

TEST_F(ServiceControlTest, InstallOnThisMachineCopiesAndRegistersInTheSystemDirectory) {
    ConnectThisMachine();
    NewLines();
    control->InstallService();
    EXPECT_TRUE(shares.shareCalls.empty());
    EXPECT_EQ(files->calls, Lines{"Copy(C:\\Tools\\PellquinService.exe -> "
                                  "C:\\WINDOWS\\system32\\PellquinService.exe)"});
    ASSERT_EQ(manager->registrations.size(), 1u);
    EXPECT_EQ(manager->registrations[0].name, "Pellquin");
    EXPECT_EQ(manager->registrations[0].displayName, "Pellquin");
    EXPECT_EQ(manager->registrations[0].executablePath,
              "C:\\WINDOWS\\system32\\PellquinService.exe");
    EXPECT_EQ(
        NewLines(),
        (Lines{"Copying service executable to C:\\WINDOWS\\system32\\PellquinService.exe",
               "Installing Service", "Service Installed Successfully",
               "Disconnected from This Machine", "Connected to ServiceManager on This Machine",
               "Connected to Service on This Machine"}));
    EXPECT_EQ(control->ScmConnected(), 1);
    EXPECT_EQ(control->ServiceOpen(), 1);
    EXPECT_EQ(manager->openHandles.size(), 2u);  // the reconnection's; the rest are closed
    control->PollStatus();
    EXPECT_EQ(control->Controls().lblStatus, "Stopped");
    EXPECT_EQ(
        Enabled(control->Controls()),
        (Lines{"cmdDisconnect", "cmdUninstall", "cmdStartService", "cmdViewLog", "cmdClearLog"}));
}

TEST_F(ServiceControlTest, InstallOnRemoteMachineGoesThroughItsAdminShare) {
    ConnectRemote("SRV1");
    NewLines();
    control->InstallService();
    ASSERT_EQ(shares.shareCalls.size(), 1u);
    EXPECT_EQ(shares.shareCalls[0].server, "SRV1");
    EXPECT_EQ(shares.shareCalls[0].share, "Admin$");
    EXPECT_EQ(files->calls, Lines{"Copy(C:\\Tools\\PellquinService.exe -> "
                                  "\\\\SRV1\\Admin$\\System32\\PellquinService.exe)"});
    ASSERT_EQ(manager->registrations.size(), 1u);
    EXPECT_EQ(manager->registrations[0].executablePath,
              "C:\\WINDOWS\\System32\\PellquinService.exe");
    EXPECT_EQ(
        NewLines(),
        (Lines{"Getting information on $Admin Share",
               "Copying service executable to \\\\SRV1\\Admin$\\System32\\PellquinService.exe",
               "Installing Service", "Service Installed Successfully", "Disconnected from SRV1",
               "Connected to ServiceManager on SRV1", "Connected to Service on SRV1"}));
    EXPECT_EQ(manager->calls.front(), "OpenManager(SRV1)");
    EXPECT_EQ(manager->calls[manager->calls.size() - 2], "OpenManager(SRV1)");
}

TEST_F(ServiceControlTest, InstallTargetsTheConnectedMachineEvenAfterTheNameWasEdited) {
    ConnectRemote("SRV1");
    control->SetRemoteName("SRV2");
    control->InstallService();
    EXPECT_EQ(shares.shareCalls.at(0).server, "SRV1");
    EXPECT_EQ(files->calls, Lines{"Copy(C:\\Tools\\PellquinService.exe -> "
                                  "\\\\SRV1\\Admin$\\System32\\PellquinService.exe)"});
    EXPECT_EQ(control->ConnectedHost(), "SRV1");
    EXPECT_EQ(manager->calls[manager->calls.size() - 2], "OpenManager(SRV1)");
}

TEST_F(ServiceControlTest, MissingAdminShareStopsBeforeCopying) {
    shares.shareFolders.clear();
    ConnectRemote("SRV1");
    NewLines();
    control->InstallService();
    EXPECT_EQ(NewLines(),
              (Lines{"Getting information on $Admin Share",
                     "Cannot NetShareGetInfo on SRV1 : Message = This shared resource does not "
                     "exist(2310)"}));
    EXPECT_TRUE(files->calls.empty());
    EXPECT_TRUE(manager->registrations.empty());
    EXPECT_EQ(Enabled(control->Controls()),
              (Lines{"cmdDisconnect", "cmdInstall", "txtRemoteMachine"}));
}

TEST_F(ServiceControlTest, MissingProgramFileRegistersNothing) {
    files->files.clear();
    ConnectThisMachine();
    NewLines();
    control->InstallService();
    EXPECT_EQ(NewLines(),
              (Lines{"Copying service executable to C:\\WINDOWS\\system32\\PellquinService.exe",
                     "Failed to Copy C:\\Tools\\PellquinService.exe to "
                     "C:\\WINDOWS\\system32\\PellquinService.exe : Message = The system cannot "
                     "find the file specified(2)"}));
    EXPECT_TRUE(manager->registrations.empty());
    EXPECT_EQ(control->ServiceOpen(), 0);
}

TEST_F(ServiceControlTest, ExistingCopyIsOverwrittenWithoutAQuestion) {
    files->files.insert("C:\\WINDOWS\\system32\\PellquinService.exe");
    ConnectThisMachine();
    control->InstallService();
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(files->calls.size(), 1u);
    EXPECT_EQ(control->ServiceOpen(), 1);
}

TEST_F(ServiceControlTest, FailedRegistrationKeepsTheCopyAndTheConnection) {
    manager->createError = 5;
    ConnectThisMachine();
    NewLines();
    control->InstallService();
    EXPECT_EQ(NewLines(),
              (Lines{"Copying service executable to C:\\WINDOWS\\system32\\PellquinService.exe",
                     "Installing Service",
                     "Failed to install service. : Message = Access is "
                     "denied(5)"}));
    EXPECT_TRUE(files->IsFile("C:\\WINDOWS\\system32\\PellquinService.exe"));
    EXPECT_EQ(Enabled(control->Controls()), (Lines{"cmdDisconnect", "cmdInstall"}));
}

TEST_F(ServiceControlTest, RemovingAStoppedServiceLogsTheStopFailureThenSuccess) {
    manager->installed = true;
    manager->state = 1;
    ConnectThisMachine();
    control->PollStatus();
    NewLines();
    const size_t managersOpened = manager->calls.size();
    control->UninstallService();
    EXPECT_EQ(NewLines(),
              (Lines{"Failed to stop service. : Message = The service has not been started(1062)",
                     "Service Uninstalled successfully"}));
    EXPECT_EQ(control->ServiceOpen(), 0);
    EXPECT_EQ(control->ServiceHandle(), 0u);
    EXPECT_EQ(manager->openHandles.size(), 1u);  // the manager only
    EXPECT_EQ(Enabled(control->Controls()),
              (Lines{"cmdDisconnect", "cmdInstall", "cmdViewLog", "cmdClearLog"}));
    control->PollStatus();
    EXPECT_EQ(control->Controls().lblStatus, "Not Installed");
    EXPECT_EQ(manager->calls.size(), managersOpened + 3);  // Stop, Delete, Close: same connection

    // Both log buttons still act on the same log.
    files->files.insert("C:\\WINDOWS\\system32\\Pellquin.log");
    control->ViewLog();
    EXPECT_EQ(viewer->opened, Lines{"C:\\WINDOWS\\system32\\Pellquin.log"});
    control->ClearLog();
    EXPECT_FALSE(files->IsFile("C:\\WINDOWS\\system32\\Pellquin.log"));

    control->InstallService();
    EXPECT_EQ(control->ServiceOpen(), 1);
}

TEST_F(ServiceControlTest, FailedDeletionStillReturnsToConnectedWithoutService) {
    manager->installed = true;
    manager->state = 4;
    manager->deleteError = 1072;
    ConnectThisMachine();
    NewLines();
    control->UninstallService();
    EXPECT_EQ(NewLines(),
              (Lines{"Service Stop request sent",
                     "Failed to delete service. : Message = The specified service has been marked "
                     "for deletion(1072)"}));
    EXPECT_EQ(control->ServiceOpen(), 0);
    EXPECT_TRUE(control->Controls().cmdInstall);
    EXPECT_FALSE(control->Controls().cmdUninstall);
}

TEST(ServiceControlText, LogLineCarriesTextAndCodeOnlyWhenTheSystemHasAText) {
    test::FakeSystemInfo system;
    test::FakeNetFileApi shares;
    test::ScriptedPrompts prompts;
    ServiceControl control(std::make_unique<test::FakeServiceManager>(),
                           std::make_unique<test::FakeServiceFiles>(),
                           std::make_unique<test::FakeLogViewer>(), shares, system, prompts);
    control.LogServiceMessage("Step", 0);
    control.LogServiceMessage("Step", 5);
    control.LogServiceMessage("Step", 99999);
    EXPECT_EQ(control.LogLines(), (Lines{"Step", "Step : Message = Access is denied(5)", "Step"}));
}

TEST(ServiceControlText, PathsJoinWithTheDirectorysOwnSeparator) {
    EXPECT_EQ(JoinServicePath("C:\\WINDOWS\\system32", "a.exe"), "C:\\WINDOWS\\system32\\a.exe");
    EXPECT_EQ(JoinServicePath("\\\\SRV\\Admin$\\System32", "a"), "\\\\SRV\\Admin$\\System32\\a");
    EXPECT_EQ(JoinServicePath("/var/lib/pellquin", "a"), "/var/lib/pellquin/a");
    EXPECT_EQ(JoinServicePath("C:\\srv/admin", "a"), "C:\\srv/admin\\a");
}

}  // namespace
}  // namespace pellquin
