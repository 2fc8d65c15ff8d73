#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/log_viewer.h"
#include "platform/net_file_api.h"
#include "platform/service_files.h"
#include "platform/service_manager.h"
#include "platform/system_info.h"
#include "prompts/prompts.h"
#include "service/control/service_controls.h"

namespace pellquin {

// The display name of a service state code: "Stopped", "Start Pending", "Stop Pending",
// "Running", "Continue Pending", "Pause Pending", "Paused"; "Unknown" for any other.
std::string ServiceStateName(int32_t state);

// `directory` followed by `name`, joined with the separator of the directory's own form:
// "/" for a Unix path, "\" otherwise.
std::string JoinServicePath(const std::string& directory, const std::string& name);

// The Service Control tab without its widgets: one connection to a machine's service
// manager and the query service "Pellquin" in it, installation and removal, start, stop,
// and the service's log. Every manager, share and copy call is reported as a line of the
// message log (LogLines); the controls' enabled states and labels are outputs (Controls),
// so the tab only mirrors them. Runs on one thread; calls block while the manager works.
class ServiceControl {
public:
    // The manager, files and viewer are owned; the share lookup, system texts and prompts
    // are borrowed and must outlive this object.
    ServiceControl(std::unique_ptr<ServiceManager> manager, std::unique_ptr<ServiceFiles> files,
                   std::unique_ptr<LogViewer> viewer, NetFileApi& shares, SystemInfo& system,
                   Prompts& prompts);
    ~ServiceControl();
    ServiceControl(const ServiceControl&) = delete;
    ServiceControl& operator=(const ServiceControl&) = delete;

    // The operator's input: the radio buttons (optThisMachineClick, optRemoteMachineClick)
    // and the text of the remote name.
    void SelectThisMachine();
    void SelectRemoteMachine();
    void SetRemoteName(const std::string& text);

    void ConnectServiceManager();
    void DisconnectServiceManager();
    // The status poll of each Timer1 tick.
    void PollStatus();
    // Appends a line: the message, then " : Message = ", the system text and "(code)" when
    // the code is not 0 and the system has a text for it.
    void LogServiceMessage(const std::string& message, uint32_t code);

    void StartServiceRequest();
    void StopService();
    void ViewLog();
    void ClearLog();
    void InstallService();
    void UninstallService();

    // The log file of the connected machine, worked out anew at every call.
    std::string ServiceLogPath();

    const ServiceControls& Controls() const { return m_controls; }
    const std::vector<std::string>& LogLines() const { return m_log; }

    ServiceManagerHandle ScmHandle() const { return m_scmHandle; }
    ServiceManagerHandle ServiceHandle() const { return m_serviceHandle; }
    const std::string& ConnectedHost() const { return m_connectedHost; }
    int ScmConnected() const { return m_scmConnected; }
    int ServiceOpen() const { return m_serviceOpen; }
    int32_t LastServiceState() const { return m_lastServiceState; }

private:
    // Connects to this machine (empty name) or to the named one.
    void Connect(bool thisMachine, const std::string& remoteName);
    std::string DisplayHost() const;
    // The transport's own words for a failure, as a line after the failure's own line.
    void LogDetail(const std::string& detail);
    // Installation's first steps where the platform has places of its own (Linux): the
    // packaged program or a copy, then the service's configuration. False after a failure's
    // lines.
    bool PlaceProgram(std::string* executablePath);
    // The same through the system directory, on a remote machine its Admin$ share (Windows).
    bool CopyToSystemDirectory(bool thisMachine, const std::string& remoteName,
                               std::string* executablePath);

    std::unique_ptr<ServiceManager> m_manager;
    std::unique_ptr<ServiceFiles> m_files;
    std::unique_ptr<LogViewer> m_viewer;
    NetFileApi& m_shares;
    SystemInfo& m_system;
    Prompts& m_prompts;

    ServiceControls m_controls;
    std::vector<std::string> m_log;
    ServiceManagerHandle m_scmHandle = 0;
    ServiceManagerHandle m_serviceHandle = 0;
    std::string m_connectedHost;
    int m_scmConnected = 0;
    int m_serviceOpen = 0;
    int32_t m_lastServiceState = -1;
};

}  // namespace pellquin
