#include "queryservice/service_host.h"

#include <windows.h>

#include <string>

namespace pellquin {
namespace {

// The Service Control Manager calls back into plain functions, so the one service this
// process hosts is kept here.
const std::function<int(const ReadyReport&)>* g_serve = nullptr;
const std::function<void()>* g_stop = nullptr;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
SERVICE_STATUS g_status = {};
int g_exitCode = 0;

void ReportState(DWORD state, DWORD exitCode) {
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    g_status.dwWin32ExitCode = exitCode;
    g_status.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 10000;
    SetServiceStatus(g_statusHandle, &g_status);
}

DWORD WINAPI ControlHandler(DWORD control, DWORD, LPVOID, LPVOID) {
    if (control == SERVICE_CONTROL_STOP) {
        ReportState(SERVICE_STOP_PENDING, NO_ERROR);
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
    ReportState(SERVICE_START_PENDING, NO_ERROR);
    bool failed = false;
    g_exitCode = (*g_serve)([&failed](bool ok, const std::string&) {
        failed = !ok;
        if (ok) {
            ReportState(SERVICE_RUNNING, NO_ERROR);
        }
    });
    ReportState(SERVICE_STOPPED,
                failed || g_exitCode != 0 ? ERROR_SERVICE_SPECIFIC_ERROR : NO_ERROR);
}

}  // namespace

int RunAsSystemService(const std::function<int(const ReadyReport&)>& serve,
                       const std::function<void()>& stop) {
    g_serve = &serve;
    g_stop = &stop;
    char name[] = "Pellquin";
    const SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(table)) {
        return 1;
    }
    return g_exitCode;
}

}  // namespace pellquin
