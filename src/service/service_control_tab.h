#pragma once

#include <QWidget>
#include <memory>

#include "platform/net_file_api.h"
#include "platform/system_info.h"
#include "prompts/prompts.h"
#include "service/control/service_control.h"
#include "service/control/service_control_parts.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace pellquin {

// The "Service Control" page `pagService`: the controls over ServiceControl, which decides
// everything; after each action the page mirrors the logic's enabled states, labels and new
// message-log lines. `shares`, `system` and `prompts` are borrowed and must outlive the page.
class ServiceControlTab : public QWidget {
    Q_OBJECT
public:
    ServiceControlTab(ServiceControlParts parts, NetFileApi& shares, SystemInfo& system,
                      Prompts& prompts, QWidget* parent = nullptr);
    ~ServiceControlTab() override;

    ServiceControl& Logic() { return *m_logic; }

public slots:
    void cmdConnectClick();
    void cmdDisconnectClick();
    void cmdInstallClick();
    void cmdUninstallClick();
    void cmdStartServiceClick();
    void cmdStopServiceClick();
    void cmdViewLogClick();
    void cmdClearLogClick();
    void optThisMachineClick();
    void optRemoteMachineClick();
    // The status poll of one tick of the main window's timer.
    void Timer1Timer();

private:
    // Copies the logic's state into the widgets.
    void Sync();
    // Runs a long action under the hourglass, after repainting the window.
    template <typename Action>
    void Busy(Action action);

    std::unique_ptr<ServiceControl> m_logic;
    size_t m_linesShown = 0;

    QPushButton* m_cmdConnect = nullptr;
    QPushButton* m_cmdDisconnect = nullptr;
    QPushButton* m_cmdInstall = nullptr;
    QPushButton* m_cmdUninstall = nullptr;
    QPushButton* m_cmdStartService = nullptr;
    QPushButton* m_cmdStopService = nullptr;
    QPushButton* m_cmdViewLog = nullptr;
    QPushButton* m_cmdClearLog = nullptr;
    QRadioButton* m_optThisMachine = nullptr;
    QRadioButton* m_optRemoteMachine = nullptr;
    QLineEdit* m_txtRemoteMachine = nullptr;
    QLabel* m_lblHost = nullptr;
    QLabel* m_lblStatus = nullptr;
    QPlainTextEdit* m_memError = nullptr;
};

}  // namespace pellquin
