#include "service/service_control_tab.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pellquin {
namespace {

template <typename W>
W* Named(W* widget, const char* objectName, const QString& accessibleName) {
    widget->setObjectName(QString::fromUtf8(objectName));
    widget->setAccessibleName(accessibleName);
    return widget;
}

// The hourglass for the length of an action, restored on every way out.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

ServiceControlTab::ServiceControlTab(ServiceControlParts parts, NetFileApi& shares,
                                     SystemInfo& system, Prompts& prompts, QWidget* parent)
    : QWidget(parent) {
    m_logic = std::make_unique<ServiceControl>(std::move(parts.manager), std::move(parts.files),
                                               std::move(parts.viewer), shares, system, prompts);
    setObjectName("pagService");
    setAccessibleName("Service Control");
    auto* layout = new QVBoxLayout(this);

    auto* control = new QGroupBox("Pellquin Service Control", this);
    control->setObjectName("grpServiceControl");
    auto* controlLayout = new QGridLayout(control);
    m_optThisMachine =
        Named(new QRadioButton("This Machine", control), "optThisMachine", "This Machine");
    m_optRemoteMachine =
        Named(new QRadioButton("Remote Machine", control), "optRemoteMachine", "Remote Machine");
    auto* group = new QButtonGroup(control);
    group->addButton(m_optThisMachine);
    group->addButton(m_optRemoteMachine);
    m_optThisMachine->setChecked(true);
    m_txtRemoteMachine = Named(new QLineEdit(control), "txtRemoteMachine", "Remote machine name");
    controlLayout->addWidget(m_optThisMachine, 0, 0);
    controlLayout->addWidget(m_optRemoteMachine, 1, 0);
    controlLayout->addWidget(m_txtRemoteMachine, 1, 1, 1, 3);

    auto button = [control](const char* caption, const char* name) {
        auto* b = Named(new QPushButton(caption, control), name, caption);
        // Enter on a focused button presses it, as Space does.
        b->setAutoDefault(true);
        return b;
    };
    m_cmdConnect = button("Connect", "cmdConnect");
    m_cmdDisconnect = button("Disconnect", "cmdDisconnect");
    m_cmdInstall = button("Install", "cmdInstall");
    m_cmdUninstall = button("Uninstall", "cmdUninstall");
    m_cmdStartService = button("Start Service", "cmdStartService");
    m_cmdStopService = button("Stop Service", "cmdStopService");
    m_cmdViewLog = button("View Log", "cmdViewLog");
    m_cmdClearLog = button("Clear Log", "cmdClearLog");
    QPushButton* buttons[] = {m_cmdConnect,      m_cmdDisconnect,  m_cmdInstall, m_cmdUninstall,
                              m_cmdStartService, m_cmdStopService, m_cmdViewLog, m_cmdClearLog};
    for (int i = 0; i < 8; ++i) {
        controlLayout->addWidget(buttons[i], 2 + i / 4, i % 4);
    }
    layout->addWidget(control);

    auto* status = new QGroupBox("Status", this);
    status->setObjectName("grpServiceStatus");
    auto* statusLayout = new QGridLayout(status);
    statusLayout->addWidget(new QLabel("Host :", status), 0, 0);
    m_lblHost = Named(new QLabel(status), "lblHost", "Host");
    statusLayout->addWidget(m_lblHost, 0, 1);
    statusLayout->addWidget(new QLabel("Status :", status), 1, 0);
    m_lblStatus = Named(new QLabel(status), "lblStatus", "Service status");
    statusLayout->addWidget(m_lblStatus, 1, 1);
    statusLayout->setColumnStretch(1, 1);
    layout->addWidget(status);

    m_memError = Named(new QPlainTextEdit(this), "memError", "Service messages");
    m_memError->setReadOnly(true);
    // Read-only, it still takes focus so the log can be scrolled and copied from the keyboard.
    m_memError->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(m_memError, 1);

    setTabOrder(m_optThisMachine, m_optRemoteMachine);
    setTabOrder(m_optRemoteMachine, m_txtRemoteMachine);
    QWidget* previous = m_txtRemoteMachine;
    for (QPushButton* b : buttons) {
        setTabOrder(previous, b);
        previous = b;
    }
    setTabOrder(previous, m_memError);

    connect(m_cmdConnect, &QPushButton::clicked, this, &ServiceControlTab::cmdConnectClick);
    connect(m_cmdDisconnect, &QPushButton::clicked, this, &ServiceControlTab::cmdDisconnectClick);
    connect(m_cmdInstall, &QPushButton::clicked, this, &ServiceControlTab::cmdInstallClick);
    connect(m_cmdUninstall, &QPushButton::clicked, this, &ServiceControlTab::cmdUninstallClick);
    connect(m_cmdStartService, &QPushButton::clicked, this,
            &ServiceControlTab::cmdStartServiceClick);
    connect(m_cmdStopService, &QPushButton::clicked, this, &ServiceControlTab::cmdStopServiceClick);
    connect(m_cmdViewLog, &QPushButton::clicked, this, &ServiceControlTab::cmdViewLogClick);
    connect(m_cmdClearLog, &QPushButton::clicked, this, &ServiceControlTab::cmdClearLogClick);
    // Arrow keys move the selection between the radio buttons as well as clicks do.
    connect(m_optThisMachine, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) {
            optThisMachineClick();
        }
    });
    connect(m_optRemoteMachine, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) {
            optRemoteMachineClick();
        }
    });
    connect(m_txtRemoteMachine, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_logic->SetRemoteName(text.toStdString()); });
    Sync();
}

ServiceControlTab::~ServiceControlTab() = default;

template <typename Action>
void ServiceControlTab::Busy(Action action) {
    BusyCursor cursor;
    window()->repaint();
    action();
}

void ServiceControlTab::cmdConnectClick() {
    Busy([this] { m_logic->ConnectServiceManager(); });
    Sync();
}

void ServiceControlTab::cmdDisconnectClick() {
    m_logic->DisconnectServiceManager();
    Sync();
}

void ServiceControlTab::cmdInstallClick() {
    Busy([this] { m_logic->InstallService(); });
    Sync();
}

void ServiceControlTab::cmdUninstallClick() {
    Busy([this] { m_logic->UninstallService(); });
    Sync();
}

void ServiceControlTab::cmdStartServiceClick() {
    m_logic->StartServiceRequest();
    Sync();
}

void ServiceControlTab::cmdStopServiceClick() {
    m_logic->StopService();
    Sync();
}

void ServiceControlTab::cmdViewLogClick() {
    m_logic->ViewLog();
    Sync();
}

void ServiceControlTab::cmdClearLogClick() {
    m_logic->ClearLog();
    Sync();
}

void ServiceControlTab::optThisMachineClick() {
    if (m_optThisMachine->isChecked()) {
        m_logic->SelectThisMachine();
    }
    Sync();
}

void ServiceControlTab::optRemoteMachineClick() {
    if (m_optRemoteMachine->isChecked()) {
        m_logic->SelectRemoteMachine();
    }
    Sync();
}

void ServiceControlTab::Timer1Timer() {
    m_logic->PollStatus();
    Sync();
}

void ServiceControlTab::Sync() {
    const ServiceControls& c = m_logic->Controls();
    m_cmdConnect->setEnabled(c.cmdConnect);
    m_cmdDisconnect->setEnabled(c.cmdDisconnect);
    m_cmdInstall->setEnabled(c.cmdInstall);
    m_cmdUninstall->setEnabled(c.cmdUninstall);
    m_cmdStartService->setEnabled(c.cmdStartService);
    m_cmdStopService->setEnabled(c.cmdStopService);
    m_cmdViewLog->setEnabled(c.cmdViewLog);
    m_cmdClearLog->setEnabled(c.cmdClearLog);
    m_optThisMachine->setEnabled(c.optThisMachine);
    m_optRemoteMachine->setEnabled(c.optRemoteMachine);
    m_txtRemoteMachine->setEnabled(c.txtRemoteMachine);
    m_lblHost->setText(QString::fromStdString(c.lblHost));
    m_lblStatus->setText(QString::fromStdString(c.lblStatus));
    const std::vector<std::string>& lines = m_logic->LogLines();
    for (; m_linesShown < lines.size(); ++m_linesShown) {
        m_memError->appendPlainText(QString::fromStdString(lines[m_linesShown]));
    }
}

}  // namespace pellquin
