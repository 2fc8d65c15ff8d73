#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/service_manager.h"

namespace pellquin::test {

// A scripted service manager with one machine's worth of state that every machine name
// shares. Records each call as a line ("OpenManager(SRV1)", "Open(Pellquin)", "Start", ...)
// and keeps the set of handles still open. Start and stop behave as the Service Control
// Manager does: a running service refuses a start with 1056, a stopped one a stop with 1062.
class FakeServiceManager : public ServiceManager {
public:
    uint32_t openManagerError = 0;  // OpenManager fails with it when not 0
    bool installed = false;         // whether "Pellquin" exists
    uint32_t openServiceError = 0;  // Open fails with it when not 0 (installed or not)
    uint32_t createError = 0;
    uint32_t deleteError = 0;
    uint32_t queryError = 0;  // QueryStatus fails with it when not 0
    int32_t state = 1;        // current state code of the installed service

    std::vector<std::string> calls;
    std::vector<ServiceRegistration> registrations;
    std::set<ServiceManagerHandle> openHandles;

    ServiceHandleResult OpenManager(const std::string& machine) override;
    ServiceHandleResult Open(ServiceManagerHandle manager, const std::string& name) override;
    ServiceHandleResult Create(ServiceManagerHandle manager,
                               const ServiceRegistration& registration) override;
    uint32_t Delete(ServiceManagerHandle service) override;
    uint32_t Start(ServiceManagerHandle service) override;
    uint32_t Stop(ServiceManagerHandle service) override;
    ServiceStatusResult QueryStatus(ServiceManagerHandle service) override;
    void Close(ServiceManagerHandle handle) override;

private:
    ServiceManagerHandle NewHandle();
    ServiceManagerHandle m_next = 100;
};

}  // namespace pellquin::test
