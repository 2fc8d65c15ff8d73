#include "queryservice/service_host.h"

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace pellquin {
namespace {

// The Service Control Manager calls back into plain functions, so the one service this
// process hosts is kept here.
const std::function<int(const ReadyReport&)>* g_serve = nullptr;
const std::function<void()>* g_stop = nullptr;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
// The control handler and the serving thread both report states.
std::mutex g_statusMutex;
SERVICE_STATUS g_status = {};
int g_exitCode = 0;

// A non-zero `serviceExitCode` is reported as a service-specific error.
void ReportState(DWORD state, DWORD serviceExitCode) {
    std::lock_guard<std::mutex> lock(g_statusMutex);
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    g_status.dwWin32ExitCode = serviceExitCode == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    g_status.dwServiceSpecificExitCode = serviceExitCode;
    g_status.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 10000;
    SetServiceStatus(g_statusHandle, &g_status);
}

DWORD WINAPI ControlHandler(DWORD control, DWORD, LPVOID, LPVOID) {
    if (control == SERVICE_CONTROL_STOP) {
        ReportState(SERVICE_STOP_PENDING, 0);
        (*g_stop)();
        return NO_ERROR;
    }
    return control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI ServiceMain(DWORD, LPSTR*) {
    g_statusHandle = RegisterServiceCtrlHandlerExA("Pellquin", ControlHandler, nullptr);
    if (g_statusHandle == nullptr) {
        return;
    }
    ReportState(SERVICE_START_PENDING, 0);
    bool failed = false;
    g_exitCode = (*g_serve)([&failed](bool ok, const std::string&) {
        failed = !ok;
        if (ok) {
            ReportState(SERVICE_RUNNING, 0);
        }
    });
    if (failed && g_exitCode == 0) {
        g_exitCode = 1;
    }
    ReportState(SERVICE_STOPPED, static_cast<DWORD>(g_exitCode));
}

}  // namespace

int RunAsSystemService(const std::function<int(const ReadyReport&)>& serve,
                       const std::function<void()>& stop) {
    g_serve = &serve;
    g_stop = &stop;
    char name[] = "Pellquin";
    const SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(table)) {
        const DWORD error = GetLastError();
        if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
            std::fprintf(stderr,
                         "PellquinService: only the Service Control Manager starts the service; "
                         "run it with --foreground in a console\n");
        } else {
            std::fprintf(stderr,
                         "PellquinService: cannot reach the Service Control Manager "
                         "(error %lu)\n",
                         static_cast<unsigned long>(error));
        }
        return 1;
    }
    return g_exitCode;
}

}  // namespace pellquin
