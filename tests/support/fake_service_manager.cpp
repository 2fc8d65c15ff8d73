#include "fake_service_manager.h"

namespace pellquin::test {

ServiceManagerHandle FakeServiceManager::NewHandle() {
    const ServiceManagerHandle handle = m_next++;
    openHandles.insert(handle);
    return handle;
}

ServiceHandleResult FakeServiceManager::OpenManager(const std::string& machine) {
    calls.push_back("OpenManager(" + machine + ")");
    if (openManagerError != 0) {
        return {0, openManagerError};
    }
    return {NewHandle(), 0};
}

ServiceHandleResult FakeServiceManager::Open(ServiceManagerHandle manager,
                                             const std::string& name) {
    calls.push_back("Open(" + name + ")");
    if (openHandles.count(manager) == 0) {
        return {0, 6};
    }
    if (openServiceError != 0) {
        return {0, openServiceError};
    }
    if (!installed) {
        return {0, 1060};
    }
    return {NewHandle(), 0};
}

ServiceHandleResult FakeServiceManager::Create(ServiceManagerHandle manager,
                                               const ServiceRegistration& registration) {
    calls.push_back("Create(" + registration.executablePath + ")");
    registrations.push_back(registration);
    if (openHandles.count(manager) == 0) {
        return {0, 6};
    }
    if (createError != 0) {
        return {0, createError};
    }
    installed = true;
    state = 1;
    return {NewHandle(), 0};
}

uint32_t FakeServiceManager::Delete(ServiceManagerHandle service) {
    calls.push_back("Delete");
    if (openHandles.count(service) == 0) {
        return 6;
    }
    if (deleteError != 0) {
        return deleteError;
    }
    installed = false;
    return 0;
}

uint32_t FakeServiceManager::Start(ServiceManagerHandle service) {
    calls.push_back("Start");
    if (openHandles.count(service) == 0) {
        return 6;
    }
    if (state != 1) {
        return 1056;
    }
    state = 4;
    return 0;
}

uint32_t FakeServiceManager::Stop(ServiceManagerHandle service) {
    calls.push_back("Stop");
    if (openHandles.count(service) == 0) {
        return 6;
    }
    if (state != 4) {
        return 1062;
    }
    state = 1;
    return 0;
}

ServiceStatusResult FakeServiceManager::QueryStatus(ServiceManagerHandle service) {
    calls.push_back("QueryStatus");
    if (openHandles.count(service) == 0) {
        return {0, 6};
    }
    if (queryError != 0) {
        return {0, queryError};
    }
    return {state, 0};
}

void FakeServiceManager::Close(ServiceManagerHandle handle) {
    calls.push_back("Close");
    openHandles.erase(handle);
}

}  // namespace pellquin::test
