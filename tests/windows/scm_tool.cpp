// Drives the Service Control Manager for the query service's end-to-end test, one step per
// run, with the calls and arguments the service-control tab uses:
//   scm_tool install SOURCE   copy SOURCE into the system directory as PellquinService.exe
//                             and register it (own process, automatic, LocalSystem)
//   scm_tool start | stop | remove
//   scm_tool wait STATE SECONDS   poll QueryServiceStatus until the state's name is STATE
//   scm_tool status               print the state's name ("Not Installed" without service)
//   scm_tool exitcodes            print the Win32 and the service-specific exit codes
// Prints what happened; exits 0 on success, 1 with the failing call and its code otherwise.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* kServiceName = "Pellquin";

const char* StateName(DWORD state) {
    switch (state) {
        case SERVICE_STOPPED:
            return "Stopped";
        case SERVICE_START_PENDING:
            return "Start Pending";
        case SERVICE_STOP_PENDING:
            return "Stop Pending";
        case SERVICE_RUNNING:
            return "Running";
        case SERVICE_CONTINUE_PENDING:
            return "Continue Pending";
        case SERVICE_PAUSE_PENDING:
            return "Pause Pending";
        case SERVICE_PAUSED:
            return "Paused";
        default:
            return "Unknown";
    }
}

int Fail(const char* call) {
    std::printf("%s failed: %lu\n", call, static_cast<unsigned long>(GetLastError()));
    return 1;
}

// Closes a Service Control Manager handle on every way out.
class Handle {
public:
    explicit Handle(SC_HANDLE handle) : m_handle(handle) {}
    ~Handle() {
        if (m_handle != nullptr) {
            CloseServiceHandle(m_handle);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    SC_HANDLE get() const { return m_handle; }

private:
    SC_HANDLE m_handle;
};

int Install(SC_HANDLE manager, const char* source) {
    char directory[255] = {};
    const UINT length = GetSystemDirectoryA(directory, sizeof directory);
    if (length == 0 || length >= sizeof directory) {
        return Fail("GetSystemDirectoryA");
    }
    const std::string target = std::string(directory) + "\\PellquinService.exe";
    if (!CopyFileA(source, target.c_str(), FALSE)) {
        return Fail("CopyFileA");
    }
    Handle service(CreateServiceA(manager, kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                                  SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                  SERVICE_ERROR_NORMAL, target.c_str(), nullptr, nullptr, nullptr,
                                  nullptr, nullptr));
    if (service.get() == nullptr) {
        return Fail("CreateServiceA");
    }
    std::printf("installed %s\n", target.c_str());
    return 0;
}

int Wait(SC_HANDLE service, const char* wanted, int seconds) {
    SERVICE_STATUS status = {};
    for (int tick = 0; tick <= seconds * 10; ++tick) {
        if (!QueryServiceStatus(service, &status)) {
            return Fail("QueryServiceStatus");
        }
        if (std::strcmp(StateName(status.dwCurrentState), wanted) == 0) {
            std::printf("%s\n", wanted);
            return 0;
        }
        Sleep(100);
    }
    std::printf("still %s (exit code %lu, service code %lu)\n", StateName(status.dwCurrentState),
                static_cast<unsigned long>(status.dwWin32ExitCode),
                static_cast<unsigned long>(status.dwServiceSpecificExitCode));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: scm_tool install SOURCE | start | stop | remove | "
                     "wait STATE SECONDS | status | exitcodes\n");
        return 2;
    }
    const std::string step = argv[1];
    Handle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (manager.get() == nullptr) {
        return Fail("OpenSCManagerA");
    }
    if (step == "install" && argc == 3) {
        return Install(manager.get(), argv[2]);
    }
    Handle service(OpenServiceA(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
    if (service.get() == nullptr) {
        if (step == "status" && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) {
            std::printf("Not Installed\n");
            return 0;
        }
        return Fail("OpenServiceA");
    }
    if (step == "start") {
        if (!StartServiceA(service.get(), 0, nullptr)) {
            return Fail("StartServiceA");
        }
        std::printf("start request sent\n");
        return 0;
    }
    if (step == "stop") {
        SERVICE_STATUS status = {};
        if (!ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
            return Fail("ControlService");
        }
        std::printf("stop request sent\n");
        return 0;
    }
    if (step == "remove") {
        if (!DeleteService(service.get())) {
            return Fail("DeleteService");
        }
        std::printf("removed\n");
        return 0;
    }
    if (step == "wait" && argc == 4) {
        return Wait(service.get(), argv[2], std::atoi(argv[3]));
    }
    if (step == "status" || step == "exitcodes") {
        SERVICE_STATUS status = {};
        if (!QueryServiceStatus(service.get(), &status)) {
            return Fail("QueryServiceStatus");
        }
        if (step == "status") {
            std::printf("%s\n", StateName(status.dwCurrentState));
        } else {
            std::printf("%lu %lu\n", static_cast<unsigned long>(status.dwWin32ExitCode),
                        static_cast<unsigned long>(status.dwServiceSpecificExitCode));
        }
        return 0;
    }
    std::fprintf(stderr, "scm_tool: unknown step %s\n", step.c_str());
    return 2;
}
