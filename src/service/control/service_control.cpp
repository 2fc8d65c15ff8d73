#include "service/control/service_control.h"

#include "query/system_error_text.h"
#include "settings/constants.h"

namespace pellquin {
namespace {

constexpr uint32_t kErrorServiceDoesNotExist = 1060;
constexpr const char* kLogFileName = "Pellquin.log";
constexpr const char* kThisMachine = "This Machine";

std::string AdminSystem32(const std::string& machine) {
    return "\\\\" + machine + "\\Admin$\\System32";
}

}  // namespace

std::string ServiceStateName(int32_t state) {
    switch (state) {
        case 1:
            return "Stopped";
        case 2:
            return "Start Pending";
        case 3:
            return "Stop Pending";
        case 4:
            return "Running";
        case 5:
            return "Continue Pending";
        case 6:
            return "Pause Pending";
        case 7:
            return "Paused";
        default:
            return "Unknown";
    }
}

std::string JoinServicePath(const std::string& directory, const std::string& name) {
    const bool unixForm =
        directory.find('/') != std::string::npos && directory.find('\\') == std::string::npos;
    return directory + (unixForm ? "/" : "\\") + name;
}

ServiceControl::ServiceControl(std::unique_ptr<ServiceManager> manager,
                               std::unique_ptr<ServiceFiles> files,
                               std::unique_ptr<LogViewer> viewer, NetFileApi& shares,
                               SystemInfo& system, Prompts& prompts)
    : m_manager(std::move(manager)),
      m_files(std::move(files)),
      m_viewer(std::move(viewer)),
      m_shares(shares),
      m_system(system),
      m_prompts(prompts) {}

// The handles are left open, as they are when the program ends: the process's end closes
// them.
ServiceControl::~ServiceControl() = default;

void ServiceControl::SelectThisMachine() {
    m_controls.thisMachineSelected = true;
    m_controls.txtRemoteMachine = false;
}

void ServiceControl::SelectRemoteMachine() {
    m_controls.thisMachineSelected = false;
    m_controls.txtRemoteMachine = true;
}

void ServiceControl::SetRemoteName(const std::string& text) {
    m_controls.remoteName = text;
}

std::string ServiceControl::DisplayHost() const {
    return m_connectedHost.empty() ? std::string(kThisMachine) : m_connectedHost;
}

void ServiceControl::LogServiceMessage(const std::string& message, uint32_t code) {
    const std::string text = code != 0 ? SystemErrorText(m_system, code) : std::string();
    if (text.empty()) {
        m_log.push_back(message);
    } else {
        m_log.push_back(message + " : Message = " + text + "(" + std::to_string(code) + ")");
    }
}

void ServiceControl::ConnectServiceManager() {
    // Connect is disabled while connected; a second connection would lose the open handles.
    if (m_scmConnected == 1) {
        return;
    }
    if (!m_controls.thisMachineSelected && m_controls.remoteName.empty()) {
        m_prompts.ShowError("Please enter the server name to connect to");
        return;
    }
    Connect(m_controls.thisMachineSelected, m_controls.remoteName);
}

void ServiceControl::Connect(bool thisMachine, const std::string& remoteName) {
    m_connectedHost.clear();
    const std::string machine = thisMachine ? std::string() : remoteName;
    const ServiceHandleResult manager = m_manager->OpenManager(machine);
    m_connectedHost = machine;
    if (manager.handle == 0) {
        LogServiceMessage("Failed to Connect to SCManager", manager.error);
        LogDetail(m_manager->LastFailureDetail());
        m_connectedHost.clear();
        return;
    }
    m_scmHandle = manager.handle;
    LogServiceMessage("Connected to ServiceManager on " + DisplayHost(), 0);

    m_scmConnected = 1;
    m_controls.cmdConnect = false;
    m_controls.cmdDisconnect = true;
    m_controls.optThisMachine = false;
    m_controls.optRemoteMachine = false;

    const ServiceHandleResult service = m_manager->Open(m_scmHandle, kProductName);
    m_serviceHandle = service.handle;
    if (service.handle == 0) {
        if (service.error == kErrorServiceDoesNotExist) {
            LogServiceMessage("Service is not installed on this host", 0);
        } else {
            LogServiceMessage("Failed to Open Service", service.error);
        }
        m_controls.cmdInstall = true;
        return;
    }
    LogServiceMessage("Connected to Service on " + DisplayHost(), 0);
    m_controls.cmdUninstall = true;
    m_controls.cmdViewLog = true;
    m_controls.cmdClearLog = true;
    m_serviceOpen = 1;
}

void ServiceControl::DisconnectServiceManager() {
    if (m_serviceHandle != 0) {
        m_manager->Close(m_serviceHandle);
    }
    if (m_scmHandle != 0) {
        m_manager->Close(m_scmHandle);
    }
    m_controls.cmdConnect = true;
    m_controls.optThisMachine = true;
    m_controls.optRemoteMachine = true;
    m_controls.cmdDisconnect = false;
    m_controls.cmdStartService = false;
    m_controls.cmdStopService = false;
    m_controls.cmdInstall = false;
    m_controls.cmdUninstall = false;
    m_controls.cmdViewLog = false;
    m_controls.cmdClearLog = false;
    m_serviceOpen = 0;
    m_serviceHandle = 0;
    m_scmConnected = 0;
    m_scmHandle = 0;
    // A state read on this connection says nothing about the next one, whose first failed
    // query must not enable start or stop.
    m_lastServiceState = -1;
    LogServiceMessage("Disconnected from " + DisplayHost(), 0);
    m_connectedHost.clear();
}

void ServiceControl::PollStatus() {
    if (m_scmConnected == 1 && m_serviceOpen == 1) {
        m_controls.lblHost = DisplayHost();
        const ServiceStatusResult status = m_manager->QueryStatus(m_serviceHandle);
        if (status.error == 0) {
            m_lastServiceState = status.state;
            m_controls.lblStatus = ServiceStateName(status.state);
        } else {
            m_controls.lblStatus = "Unknown";
        }
        m_controls.cmdStopService = m_lastServiceState == 4;
        m_controls.cmdStartService = m_lastServiceState == 1;
    } else if (m_scmConnected == 1) {
        m_controls.lblHost = DisplayHost();
        m_controls.lblStatus = "Not Installed";
    } else {
        m_controls.lblHost = "Not Connected";
        m_controls.lblStatus.clear();
    }
}

void ServiceControl::StartServiceRequest() {
    const uint32_t error = m_manager->Start(m_serviceHandle);
    if (error == 0) {
        LogServiceMessage("Service Start request sent", 0);
    } else {
        LogServiceMessage("Failed to start service", error);
    }
}

void ServiceControl::StopService() {
    const uint32_t error = m_manager->Stop(m_serviceHandle);
    if (error == 0) {
        LogServiceMessage("Service Stop request sent", 0);
    } else {
        LogServiceMessage("Failed to stop service.", error);
    }
}

void ServiceControl::LogDetail(const std::string& detail) {
    if (!detail.empty()) {
        m_log.push_back(detail);
    }
}

std::string ServiceControl::ServiceLogPath() {
    if (m_files->OwnPlacement()) {
        return m_files->LogPath(m_connectedHost);
    }
    if (!m_connectedHost.empty()) {
        return AdminSystem32(m_connectedHost) + "\\" + kLogFileName;
    }
    return JoinServicePath(m_files->SystemDirectory(), kLogFileName);
}

void ServiceControl::ViewLog() {
    const std::string path = ServiceLogPath();
    if (!m_files->IsFile(path)) {
        m_prompts.ShowError("Log File : " + path + " cannot be found or accessed");
        return;
    }
    if (!m_viewer->Open(path)) {
        m_prompts.ShowError("Cannot Execute " + m_viewer->Name());
    }
}

void ServiceControl::ClearLog() {
    if (!m_prompts.AskYesNo("Erase Log File")) {
        return;
    }
    m_files->Delete(ServiceLogPath());
}

void ServiceControl::InstallService() {
    if (m_scmConnected != 1 || m_serviceOpen != 0) {
        return;
    }
    // The target is the machine the manager was opened on. The remote name stays editable
    // while connected, and copying to a newly typed name would put the program on one
    // machine and register it with another.
    const bool thisMachine = m_connectedHost.empty();
    const std::string remoteName = m_connectedHost;
    ServiceRegistration registration;
    registration.name = kProductName;
    registration.displayName = kProductName;
    if (m_files->OwnPlacement()) {
        if (!PlaceProgram(&registration.executablePath)) {
            return;
        }
    } else if (!CopyToSystemDirectory(thisMachine, remoteName, &registration.executablePath)) {
        return;
    }

    LogServiceMessage("Installing Service", 0);
    const ServiceHandleResult created = m_manager->Create(m_scmHandle, registration);
    if (created.handle == 0) {
        LogServiceMessage("Failed to install service.", created.error);
        LogDetail(m_manager->LastFailureDetail());
        return;
    }
    LogServiceMessage("Service Installed Successfully", 0);
    m_controls.cmdInstall = false;
    m_controls.cmdUninstall = true;
    m_serviceHandle = created.handle;
    m_serviceOpen = 1;
    DisconnectServiceManager();
    Connect(thisMachine, remoteName);
}

bool ServiceControl::PlaceProgram(std::string* executablePath) {
    const ServicePlacement placement = m_files->Placement(m_connectedHost);
    if (placement.packaged) {
        LogServiceMessage(
            "Using the service executable installed with the system: " + placement.copyDestination,
            0);
    } else {
        const std::string source = m_files->ProgramDirectory() + m_files->ServiceProgramName();
        LogServiceMessage("Copying service executable to " + placement.copyDestination, 0);
        const uint32_t copyError = m_files->Copy(source, placement.copyDestination);
        if (copyError != 0) {
            LogServiceMessage("Failed to Copy " + source + " to " + placement.copyDestination,
                              copyError);
            LogDetail(m_files->LastFailureDetail());
            return false;
        }
    }
    std::vector<std::string> notes;
    const uint32_t configError = m_files->Configure(m_connectedHost, &notes);
    if (configError != 0) {
        LogServiceMessage("Failed to write the service configuration", configError);
        LogDetail(m_files->LastFailureDetail());
        return false;
    }
    for (const std::string& note : notes) {
        LogServiceMessage(note, 0);
    }
    *executablePath = placement.executablePath;
    return true;
}

bool ServiceControl::CopyToSystemDirectory(bool thisMachine, const std::string& remoteName,
                                           std::string* executablePath) {
    std::string copyDirectory;
    std::string serviceDirectory;
    if (thisMachine) {
        copyDirectory = m_files->SystemDirectory();
        serviceDirectory = copyDirectory;
    } else {
        copyDirectory = AdminSystem32(remoteName);
        LogServiceMessage("Getting information on $Admin Share", 0);
        std::string folder;
        const uint32_t status = m_shares.ShareGetInfo(remoteName, "Admin$", &folder);
        if (status != 0) {
            LogServiceMessage("Cannot NetShareGetInfo on " + remoteName, status);
            return false;
        }
        serviceDirectory = JoinServicePath(folder, "System32");
    }

    const std::string programName = m_files->ServiceProgramName();
    const std::string source = m_files->ProgramDirectory() + programName;
    const std::string destination = JoinServicePath(copyDirectory, programName);
    LogServiceMessage("Copying service executable to " + destination, 0);
    const uint32_t copyError = m_files->Copy(source, destination);
    if (copyError != 0) {
        LogServiceMessage("Failed to Copy " + source + " to " + destination, copyError);
        LogDetail(m_files->LastFailureDetail());
        return false;
    }
    *executablePath = JoinServicePath(serviceDirectory, programName);
    return true;
}

void ServiceControl::UninstallService() {
    if (m_scmConnected != 1 || m_serviceOpen != 1) {
        return;
    }
    StopService();
    const uint32_t error = m_manager->Delete(m_serviceHandle);
    if (error == 0) {
        LogServiceMessage("Service Uninstalled successfully", 0);
    } else {
        LogServiceMessage("Failed to delete service.", error);
    }
    m_manager->Close(m_serviceHandle);
    m_serviceOpen = 0;
    m_serviceHandle = 0;
    m_controls.cmdInstall = true;
    m_controls.cmdUninstall = false;
    m_controls.cmdStartService = false;
    m_controls.cmdStopService = false;
}

}  // namespace pellquin
