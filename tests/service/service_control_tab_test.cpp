#include "service/service_control_tab.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>
#include <memory>

#include "app/frm_pellquin.h"
#include "fake_net_file_api.h"
#include "fake_path_probe.h"
#include "fake_registry.h"
#include "fake_service_exchange.h"
#include "fake_service_files.h"
#include "fake_service_manager.h"
#include "fake_service_parts.h"
#include "fake_system_info.h"
#include "fake_universal_names.h"
#include "fake_window_parts.h"
#include "scripted_prompts.h"
#include "settings/settings_store.h"

namespace pellquin {
namespace {

const char* const kControls[] = {
    "cmdConnect",      "cmdDisconnect",    "cmdInstall",       "cmdUninstall",
    "cmdStartService", "cmdStopService",   "cmdViewLog",       "cmdClearLog",
    "optThisMachine",  "optRemoteMachine", "txtRemoteMachine",
};

QStringList FromLogic(const ServiceControls& c) {
    const bool enabled[] = {c.cmdConnect,       c.cmdDisconnect,   c.cmdInstall,
                            c.cmdUninstall,     c.cmdStartService, c.cmdStopService,
                            c.cmdViewLog,       c.cmdClearLog,     c.optThisMachine,
                            c.optRemoteMachine, c.txtRemoteMachine};
    QStringList names;
    for (size_t i = 0; i < std::size(kControls); ++i) {
        if (enabled[i]) {
            names << kControls[i];
        }
    }
    return names;
}

}  // namespace

class ServiceControlTabTest : public QObject {
    Q_OBJECT

private:
    test::FakeSystemInfo m_system;
    test::FakeNetFileApi m_shares;
    test::ScriptedPrompts m_prompts;
    test::FakeServiceManager* m_manager = nullptr;
    test::FakeServiceFiles* m_files = nullptr;
    std::unique_ptr<ServiceControlTab> m_tab;

    template <typename T>
    T* Find(const char* name) {
        T* widget = m_tab->findChild<T*>(name);
        if (widget == nullptr) {
            qFatal("no control %s", name);
        }
        return widget;
    }
    QStringList EnabledWidgets() {
        QStringList names;
        for (const char* name : kControls) {
            if (Find<QWidget>(name)->isEnabled()) {
                names << name;
            }
        }
        return names;
    }
    void Click(const char* name) { QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton); }
    QString Text(const char* label) { return Find<QLabel>(label)->text(); }
    // The widgets show exactly what the logic decided, and the expected set.
    void Expect(const QStringList& expected) {
        QCOMPARE(EnabledWidgets(), FromLogic(m_tab->Logic().Controls()));
        QCOMPARE(EnabledWidgets(), expected);
        QStringList lines;
        for (const std::string& line : m_tab->Logic().LogLines()) {
            lines << QString::fromStdString(line);
        }
        QCOMPARE(Find<QPlainTextEdit>("memError")->toPlainText(), lines.join('\n'));
    }

private slots:
    void init() {
        m_system.messages[1056] = "An instance of the service is already running.\r\n";
        m_system.messages[1062] = "The service has not been started.\r\n";
        m_shares.shareFolders["Admin$"] = "C:\\WINDOWS";
        m_prompts.shown.clear();
        ServiceControlParts parts = test::FakeServiceControlParts();
        m_manager = static_cast<test::FakeServiceManager*>(parts.manager.get());
        m_files = static_cast<test::FakeServiceFiles*>(parts.files.get());
        m_tab =
            std::make_unique<ServiceControlTab>(std::move(parts), m_shares, m_system, m_prompts);
        m_tab->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_tab.get()));
    }

    void cleanup() { m_tab.reset(); }

    void controlsHaveCaptionsAndAccessibleNames() {
        const QStringList captions = {"Connect",       "Disconnect",   "Install",  "Uninstall",
                                      "Start Service", "Stop Service", "View Log", "Clear Log"};
        for (int i = 0; i < captions.size(); ++i) {
            QCOMPARE(Find<QPushButton>(kControls[i])->text(), captions[i]);
        }
        for (const char* name : kControls) {
            QVERIFY2(!Find<QWidget>(name)->accessibleName().isEmpty(), name);
        }
        for (const char* name : {"lblHost", "lblStatus", "memError"}) {
            QVERIFY2(!Find<QWidget>(name)->accessibleName().isEmpty(), name);
        }
        QVERIFY(Find<QRadioButton>("optThisMachine")->isChecked());
        QVERIFY(Find<QPlainTextEdit>("memError")->isReadOnly());
    }

    void buttonsFollowTheLogicFromConnectToDisconnect() {
        Expect({"cmdConnect", "optThisMachine", "optRemoteMachine"});

        Click("cmdConnect");
        Expect({"cmdDisconnect", "cmdInstall"});
        m_tab->Timer1Timer();
        QCOMPARE(Text("lblHost"), QString("This Machine"));
        QCOMPARE(Text("lblStatus"), QString("Not Installed"));

        Click("cmdInstall");
        Expect({"cmdDisconnect", "cmdUninstall", "cmdViewLog", "cmdClearLog"});
        m_tab->Timer1Timer();
        QCOMPARE(Text("lblStatus"), QString("Stopped"));
        Expect({"cmdDisconnect", "cmdUninstall", "cmdStartService", "cmdViewLog", "cmdClearLog"});

        Click("cmdStartService");
        m_tab->Timer1Timer();
        QCOMPARE(Text("lblStatus"), QString("Running"));
        Expect({"cmdDisconnect", "cmdUninstall", "cmdStopService", "cmdViewLog", "cmdClearLog"});

        m_manager->state = 3;
        m_tab->Timer1Timer();
        QCOMPARE(Text("lblStatus"), QString("Stop Pending"));
        Expect({"cmdDisconnect", "cmdUninstall", "cmdViewLog", "cmdClearLog"});
        m_manager->state = 4;
        m_tab->Timer1Timer();

        Click("cmdStopService");
        m_tab->Timer1Timer();
        QCOMPARE(Text("lblStatus"), QString("Stopped"));
        Expect({"cmdDisconnect", "cmdUninstall", "cmdStartService", "cmdViewLog", "cmdClearLog"});

        Click("cmdUninstall");
        Expect({"cmdDisconnect", "cmdInstall", "cmdViewLog", "cmdClearLog"});
        m_tab->Timer1Timer();
        QCOMPARE(Text("lblStatus"), QString("Not Installed"));

        Click("cmdDisconnect");
        Expect({"cmdConnect", "optThisMachine", "optRemoteMachine"});
        m_tab->Timer1Timer();
        QCOMPARE(Text("lblHost"), QString("Not Connected"));
        QCOMPARE(Text("lblStatus"), QString());

        const QStringList log = Find<QPlainTextEdit>("memError")->toPlainText().split('\n');
        QCOMPARE(log.first(), QString("Connected to ServiceManager on This Machine"));
        QVERIFY(log.contains("Service Start request sent"));
        QVERIFY(log.contains(
            "Failed to stop service. : Message = The service has not been started(1062)"));
        QCOMPARE(log.last(), QString("Disconnected from This Machine"));
        QVERIFY(m_prompts.shown.empty());
    }

    void remoteMachineIsChosenAndNamedFromTheKeyboard() {
        auto* thisMachine = Find<QRadioButton>("optThisMachine");
        auto* remote = Find<QLineEdit>("txtRemoteMachine");
        QVERIFY(!remote->isEnabled());
        thisMachine->setFocus();
        QTest::keyClick(thisMachine, Qt::Key_Down);
        QVERIFY(Find<QRadioButton>("optRemoteMachine")->isChecked());
        QVERIFY(remote->isEnabled());

        QTest::keyClick(Find<QPushButton>("cmdConnect"), Qt::Key_Space);
        QCOMPARE(m_prompts.shown,
                 std::vector<std::string>{"Error: Please enter the server name to connect to"});
        QVERIFY(Find<QPlainTextEdit>("memError")->toPlainText().isEmpty());

        QTest::keyClicks(remote, "SRV1");
        QTest::keyClick(Find<QPushButton>("cmdConnect"), Qt::Key_Space);
        Expect({"cmdDisconnect", "cmdInstall", "txtRemoteMachine"});
        QCOMPARE(m_manager->calls.front(), std::string("OpenManager(SRV1)"));

        // Still editable while connected; the connection keeps the name it was made with.
        QTest::keyClicks(remote, "X");
        m_tab->Timer1Timer();
        QCOMPARE(Text("lblHost"), QString("SRV1"));

        QTest::keyClick(thisMachine, Qt::Key_Up);
        Click("cmdInstall");
        QCOMPARE(m_files->calls,
                 std::vector<std::string>{"Copy(C:\\Tools\\PellquinService.exe -> "
                                          "\\\\SRV1\\Admin$\\System32\\PellquinService.exe)"});
        Expect({"cmdDisconnect", "cmdUninstall", "cmdViewLog", "cmdClearLog", "txtRemoteMachine"});
    }

    void logButtonsUseTheErrorBoxAndTheQuestion() {
        m_manager->installed = true;
        Click("cmdConnect");
        Click("cmdViewLog");
        QCOMPARE(m_prompts.shown,
                 std::vector<std::string>{"Error: Log File : C:\\WINDOWS\\system32\\Pellquin.log "
                                          "cannot be found or accessed"});
        m_prompts.answers = {false};
        Click("cmdClearLog");
        QCOMPARE(m_prompts.shown.back(), std::string("Ask: Erase Log File"));
        QVERIFY(m_files->calls.empty());
    }

    void mainWindowTimerPollsTheServicePage() {
        m_tab.reset();
        test::FakeRegistry registry;
        SettingsStore settings(registry);
        test::FakePathProbe probe;
        TmodPQ modPQ(std::make_unique<test::FakeNetFileApi>(),
                     std::make_unique<test::FakeUniversalNames>(),
                     std::make_unique<test::FakeSystemInfo>(),
                     std::make_unique<test::FakeServiceExchange>());
        test::FakeWindowParts parts(m_prompts);
        TfrmPellquin window(parts.Services(modPQ, settings, probe));
        auto* page = window.findChild<QWidget*>("pagService");
        QVERIFY(page != nullptr);
        QCOMPARE(window.findChild<QTabWidget*>("pagPellquin")->indexOf(page), 2);
        auto* timer = window.findChild<QTimer*>("Timer1");
        QCOMPARE(timer->interval(), 1000);
        QVERIFY(timer->isActive());
        auto* host = window.findChild<QLabel*>("lblHost");
        QCOMPARE(host->text(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(host->text(), QString("Not Connected"), 3000);
    }
};

}  // namespace pellquin

QTEST_MAIN(pellquin::ServiceControlTabTest)
#include "service_control_tab_test.moc"
