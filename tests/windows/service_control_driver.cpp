// The operator of the Service Control tab, for the query service's end-to-end test: runs the
// service-control logic over this machine's real adapters, one run per group of steps, since
// each run connects afresh as the tab does when it opens:
//   service_control_driver STEP...
// Steps, in the order given, after selecting This Machine and pressing Connect:
//   install            press Install (PellquinService.exe is found beside this program)
//   start | stop       press Start or Stop
//   uninstall          press Uninstall
//   wait:STATE         poll the status until its label reads STATE (30 s at most); exits 1
//                      when it does not
// Prints every new message-log line as "log: LINE", the status label after each step as
// "status: LABEL" and the enabled buttons as "buttons: ...". Questions are answered Yes and
// printed as "asked: TEXT"; errors as "error: TEXT".
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/log_viewer.h"
#include "platform/net_file_api.h"
#include "platform/service_files.h"
#include "platform/service_manager.h"
#include "platform/system_info.h"
#include "service/control/service_control.h"

namespace {

class ScriptedPrompts : public pellquin::Prompts {
public:
    void ShowError(const std::string& text) override { std::printf("error: %s\n", text.c_str()); }
    bool AskYesNo(const std::string& text) override {
        std::printf("asked: %s\n", text.c_str());
        return true;
    }
    void ShowMessage(const std::string& text) override {
        std::printf("message: %s\n", text.c_str());
    }
    void ShowWarning(const std::string& text) override {
        std::printf("warning: %s\n", text.c_str());
    }
    void Beep() override { std::printf("beep\n"); }
};

class Operator {
public:
    explicit Operator(pellquin::ServiceControl& control) : m_control(control) {}

    // Prints what the tab shows now: the log lines added since the last report, the status
    // and the enabled buttons.
    void Report() {
        const auto& lines = m_control.LogLines();
        for (; m_printed < lines.size(); ++m_printed) {
            std::printf("log: %s\n", lines[m_printed].c_str());
        }
        m_control.PollStatus();
        const pellquin::ServiceControls& c = m_control.Controls();
        std::printf("status: %s\n", c.lblStatus.c_str());
        std::printf("buttons:%s%s%s%s%s%s%s%s\n", c.cmdConnect ? " Connect" : "",
                    c.cmdDisconnect ? " Disconnect" : "", c.cmdInstall ? " Install" : "",
                    c.cmdUninstall ? " Uninstall" : "", c.cmdStartService ? " Start" : "",
                    c.cmdStopService ? " Stop" : "", c.cmdViewLog ? " ViewLog" : "",
                    c.cmdClearLog ? " ClearLog" : "");
        std::fflush(stdout);
    }

    // The tab polls on a timer; this polls until the label reads `state` or the deadline.
    bool WaitFor(const std::string& state) {
        const ULONGLONG deadline = GetTickCount64() + 30000;
        for (;;) {
            m_control.PollStatus();
            if (m_control.Controls().lblStatus == state) {
                return true;
            }
            if (GetTickCount64() >= deadline) {
                std::printf("timeout: status still %s\n", m_control.Controls().lblStatus.c_str());
                return false;
            }
            Sleep(100);
        }
    }

private:
    pellquin::ServiceControl& m_control;
    size_t m_printed = 0;
};

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    std::unique_ptr<pellquin::NetFileApi> shares = pellquin::MakeNetFileApi({}, &error);
    if (!shares) {
        std::printf("no share lookup: %s\n", error.c_str());
        return 2;
    }
    std::unique_ptr<pellquin::SystemInfo> system = pellquin::MakeSystemInfo();
    ScriptedPrompts prompts;
    pellquin::ServiceControl control(pellquin::MakeServiceManager(std::string()),
                                     pellquin::MakeServiceFiles(std::string()),
                                     pellquin::MakeLogViewer(), *shares, *system, prompts);
    Operator person(control);

    control.SelectThisMachine();
    control.ConnectServiceManager();
    std::printf("step: connect\n");
    person.Report();
    for (int i = 1; i < argc; ++i) {
        const std::string step = argv[i];
        std::printf("step: %s\n", step.c_str());
        if (step == "install") {
            control.InstallService();
        } else if (step == "start") {
            control.StartServiceRequest();
        } else if (step == "stop") {
            control.StopService();
        } else if (step == "uninstall") {
            control.UninstallService();
        } else if (step.rfind("wait:", 0) == 0) {
            if (!person.WaitFor(step.substr(5))) {
                person.Report();
                return 1;
            }
        } else {
            std::fprintf(stderr, "service_control_driver: unknown step %s\n", step.c_str());
            return 2;
        }
        person.Report();
    }
    control.DisconnectServiceManager();
    return 0;
}
