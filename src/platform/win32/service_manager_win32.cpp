#include <windows.h>

#include "platform/service_manager.h"

namespace pellquin {
namespace {

ServiceManagerHandle ToHandle(SC_HANDLE handle) {
    return reinterpret_cast<ServiceManagerHandle>(handle);
}

SC_HANDLE FromHandle(ServiceManagerHandle handle) {
    return reinterpret_cast<SC_HANDLE>(handle);
}

ServiceHandleResult Opened(SC_HANDLE handle) {
    if (handle == nullptr) {
        return {0, GetLastError()};
    }
    return {ToHandle(handle), 0};
}

// The Service Control Manager, with the calls and access rights the query service's
// installation and control have always used.
class ServiceManagerWin32 : public ServiceManager {
public:
    ServiceHandleResult OpenManager(const std::string& machine) override {
        return Opened(OpenSCManagerA(machine.empty() ? nullptr : machine.c_str(), nullptr,
                                     SC_MANAGER_ALL_ACCESS));
    }

    ServiceHandleResult Open(ServiceManagerHandle manager, const std::string& name) override {
        return Opened(OpenServiceA(FromHandle(manager), name.c_str(), SERVICE_ALL_ACCESS));
    }

    ServiceHandleResult Create(ServiceManagerHandle manager,
                               const ServiceRegistration& registration) override {
        return Opened(CreateServiceA(
            FromHandle(manager), registration.name.c_str(), registration.displayName.c_str(),
            SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
            registration.executablePath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    }

    uint32_t Delete(ServiceManagerHandle service) override {
        return ::DeleteService(FromHandle(service)) ? 0 : GetLastError();
    }

    uint32_t Start(ServiceManagerHandle service) override {
        return StartServiceA(FromHandle(service), 0, nullptr) ? 0 : GetLastError();
    }

    uint32_t Stop(ServiceManagerHandle service) override {
        SERVICE_STATUS status{};
        return ControlService(FromHandle(service), SERVICE_CONTROL_STOP, &status) ? 0
                                                                                  : GetLastError();
    }

    ServiceStatusResult QueryStatus(ServiceManagerHandle service) override {
        SERVICE_STATUS status{};
        if (!QueryServiceStatus(FromHandle(service), &status)) {
            return {0, GetLastError()};
        }
        return {static_cast<int32_t>(status.dwCurrentState), 0};
    }

    void Close(ServiceManagerHandle handle) override { CloseServiceHandle(FromHandle(handle)); }
};

}  // namespace

std::unique_ptr<ServiceManager> MakeServiceManager(const std::string& /*credentialsFile*/) {
    return std::make_unique<ServiceManagerWin32>();
}

}  // namespace pellquin
