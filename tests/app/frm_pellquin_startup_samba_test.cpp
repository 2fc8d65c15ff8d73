// The program's start on a share's UNC name, as the file manager's "Check With Pellquin"
// starts it, against a private Samba server and the query service with the real adapters: the
// welcome box comes first, then the check, and the Users tab shows who holds what.
// Address 127.0.0.150.

#include <QComboBox>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <memory>

#include "app/frm_pellquin.h"
#include "fake_context_menu.h"
#include "fake_html_help.h"
#include "fake_registry.h"
#include "fake_window_parts.h"
#include "file_holder.h"
#include "help/html_help_system.h"
#include "platform/net_file_api.h"
#include "platform/system_info.h"
#include "platform/universal_names.h"
#include "query/service_client.h"
#include "query/tcp_transport.h"
#include "samba_sandbox.h"
#include "scripted_prompts.h"
#include "service_process.h"
#include "shell/context_menus.h"

namespace pellquin {

class FrmPellquinStartupSambaTest : public QObject {
    Q_OBJECT

private slots:
    void startedOnAShareTheWindowShowsItsHolders() {
        std::string reason;
        if (!test::SambaSandbox::CanRun(&reason)) {
            QSKIP(qPrintable("private Samba server: " + QString::fromStdString(reason)));
        }
        test::SambaSandbox sandbox("127.0.0.150");
        QVERIFY2(sandbox.ok(), sandbox.error().c_str());
        test::FileHolder holder(sandbox, sandbox.userCredentials(),
                                {"r:readme.txt", "w:reports/q1.xls"});
        QVERIFY2(holder.ok(), holder.error().c_str());
        test::ServiceProcess service(sandbox.ip(), SERVICE_PORT,
                                     "samba_server = " + sandbox.ip() + "\ncredentials_file = " +
                                         sandbox.adminCredentials() + "\n");
        QVERIFY2(service.ok(), service.error().c_str());

        std::string error;
        auto netFiles = MakeNetFileApi(NetCredentials{sandbox.userCredentials()}, &error);
        QVERIFY2(netFiles != nullptr, error.c_str());
        TmodPQ modPQ(
            std::move(netFiles), MakeUniversalNames(), MakeSystemInfo(),
            std::make_unique<ServiceClient>(MakeSystemInfo(), std::make_unique<TcpTransport>()));
        test::FakeRegistry registry;
        SettingsStore settings(registry);
        auto probe = MakePathProbe(sandbox.userCredentials());
        test::ScriptedPrompts prompts;
        prompts.answers = {false};
        ContextMenus menus(std::make_unique<test::FakeContextMenu>(), "/usr/bin/pellquin", prompts);
        HtmlHelpSystem help(std::make_unique<test::FakeHtmlHelp>(), "/usr/bin/pellquin", prompts);
        const QString root = QString::fromStdString(sandbox.uncRoot());
        TfrmPellquin window(
            test::MakeWindowServices(modPQ, settings, *probe, prompts, menus, help));
        window.Start({sandbox.uncRoot()});
        QTRY_VERIFY_WITH_TIMEOUT(window.StartupDone(), 30000);

        QCOMPARE(prompts.shown.size(), size_t{1});  // the welcome box, and no error
        QCOMPARE(window.findChild<QComboBox*>("cboFileName")->currentText(), root);
        QCOMPARE(window.findChild<QTabWidget*>("pagPellquin")->currentWidget()->objectName(),
                 QString("tabUsers"));
        auto* list = window.findChild<QTreeView*>("lvwItems");
        QStringList rows;
        for (int r = 0; r < list->model()->rowCount(); ++r) {
            rows << list->model()->index(r, 1).data().toString() + " " +
                        list->model()->index(r, 2).data().toString();
        }
        rows.sort();
        QCOMPARE(rows,
                 QStringList({root + "\\readme.txt pquser", root + "\\reports\\q1.xls pquser"}));
    }
};

}  // namespace pellquin

QTEST_MAIN(pellquin::FrmPellquinStartupSambaTest)
#include "frm_pellquin_startup_samba_test.moc"
