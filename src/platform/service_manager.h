#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace pellquin {

// An open manager or service, opaque to callers; 0 is none.
using ServiceManagerHandle = std::uintptr_t;

// What the installation registers: the service runs `executablePath` (no quotes, no arguments)
// in its own process as the system account, starts automatically with the machine, and its
// start failures are reported normally.
struct ServiceRegistration {
    std::string name;
    std::string displayName;
    std::string executablePath;
};

// A handle or the system error code (Win32 numbering) of the failure that left it at 0.
struct ServiceHandleResult {
    ServiceManagerHandle handle = 0;
    uint32_t error = 0;
};

// The service state code 1 to 7 (1 stopped, 2 start pending, 3 stop pending, 4 running,
// 5 continue pending, 6 pause pending, 7 paused), or the failure's code with state 0.
struct ServiceStatusResult {
    int32_t state = 0;
    uint32_t error = 0;
};

// A machine's service manager: the Windows Service Control Manager, systemd on Linux.
// Abstract so that the service-control logic runs against a scripted manager in tests.
// Every failure comes back as a Win32 system error code (0 for success); nothing throws.
// Each call blocks until the manager has answered or given up, never indefinitely.
class ServiceManager {
public:
    virtual ~ServiceManager() = default;

    // The manager of `machine` as typed (empty: this machine), with full access.
    virtual ServiceHandleResult OpenManager(const std::string& machine) = 0;
    // 1060 when no service of that name is installed.
    virtual ServiceHandleResult Open(ServiceManagerHandle manager, const std::string& name) = 0;
    virtual ServiceHandleResult Create(ServiceManagerHandle manager,
                                       const ServiceRegistration& registration) = 0;
    virtual uint32_t Delete(ServiceManagerHandle service) = 0;
    // A start request without arguments; 1056 when the service is already running.
    virtual uint32_t Start(ServiceManagerHandle service) = 0;
    // The stop control; 1062 when the service has not been started.
    virtual uint32_t Stop(ServiceManagerHandle service) = 0;
    // Answers within about 2 s, also when the link to the machine hangs (then with an error).
    virtual ServiceStatusResult QueryStatus(ServiceManagerHandle service) = 0;
    // The transport's own words for the last failed OpenManager or Create, where it has some
    // (ssh's "Connection refused", "Permission denied (publickey)"), made safe to show;
    // empty otherwise.
    virtual std::string LastFailureDetail() { return std::string(); }
    // Closes a manager or service handle; closing a manager does not close its services. Never
    // waits on the machine: the link of the last handle to it is dropped at once.
    virtual void Close(ServiceManagerHandle handle) = 0;
};

// This system's service manager. On Linux: systemd over D-Bus, a remote machine through
// `ssh DESTINATION systemd-stdio-bridge` ("user@host" allowed, BatchMode), with the unit file
// in /etc/systemd/system of the machine, written there over the same ssh destination.
// `credentialsFile` is not used on Linux.
std::unique_ptr<ServiceManager> MakeServiceManager(const std::string& credentialsFile);

}  // namespace pellquin
