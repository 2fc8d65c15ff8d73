// The main window against a private Samba server and the query service, with the real
// adapters: an ordinary user checks a share with the default query mechanism (the direct
// attempt is denied, the service answers), clears one row and sees it gone after the refresh.
// Address 127.0.0.100.

#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <fstream>
#include <memory>

#include <sys/stat.h>

#include "app/frm_pellquin.h"
#include "fake_registry.h"
#include "fake_window_parts.h"
#include "file_holder.h"
#include "platform/net_file_api.h"
#include "platform/system_info.h"
#include "platform/universal_names.h"
#include "query/service_client.h"
#include "query/tcp_transport.h"
#include "samba_sandbox.h"
#include "scripted_prompts.h"
#include "service_process.h"

namespace pellquin {

class FrmPellquinSambaTest : public QObject {
    Q_OBJECT

private slots:
    void ordinaryUserChecksThroughTheServiceAndClearsOneRow() {
        std::string reason;
        if (!test::SambaSandbox::CanRun(&reason)) {
            QSKIP(qPrintable("private Samba server: " + QString::fromStdString(reason)));
        }
        test::SambaSandbox sandbox("127.0.0.100");
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
        test::FakeWindowParts parts(prompts);
        TfrmPellquin window(parts.Services(modPQ, settings, *probe));
        window.show();
        auto* path = window.findChild<QComboBox*>("cboFileName");
        auto* list = window.findChild<QTreeView*>("lvwItems");
        auto rows = [list] {
            QStringList texts;
            for (int r = 0; r < list->model()->rowCount(); ++r) {
                texts << list->model()->index(r, 1).data().toString() + " " +
                             list->model()->index(r, 2).data().toString() + " " +
                             list->model()->index(r, 4).data().toString();
            }
            texts.sort();
            return texts;
        };
        const QString root = QString::fromStdString(sandbox.uncRoot());

        // The probe looks at the share over SMB: a missing file is refused before any query.
        path->setEditText(root + "\\missing.txt");
        QTest::mouseClick(window.findChild<QPushButton*>("LMDButton4"), Qt::LeftButton);
        QCOMPARE(prompts.shown, std::vector<std::string>({"Error: " + sandbox.uncRoot() +
                                                          "\\missing.txt Does not appear to be "
                                                          "a valid file or directory"}));
        prompts.shown.clear();

        path->setEditText(root);
        QTest::mouseClick(window.findChild<QPushButton*>("LMDButton4"), Qt::LeftButton);
        QCOMPARE(prompts.shown, std::vector<std::string>());
        QCOMPARE(window.findChild<QTabWidget*>("pagPellquin")->currentWidget()->objectName(),
                 QString("tabUsers"));
        QCOMPARE(rows(), QStringList({root + "\\readme.txt pquser R",
                                      root + "\\reports\\q1.xls pquser RW"}));

        int readme = 0;
        while (!list->model()->index(readme, 1).data().toString().endsWith("readme.txt")) {
            ++readme;
        }
        list->selectionModel()->select(list->model()->index(readme, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::mouseClick(window.findChild<QPushButton*>("cmdClear"), Qt::LeftButton);
        QCOMPARE(prompts.shown.size(), size_t{1});  // the confirmation alone
        QCOMPARE(rows(), QStringList({root + "\\reports\\q1.xls pquser RW"}));
        QCOMPARE(holder.probe(0), test::FileHolder::Probe::Closed);
        QCOMPARE(holder.probe(1), test::FileHolder::Probe::Open);
    }

    // A wrong password: the probe cannot look, and says so (naming the file) instead of
    // calling an existing share invalid; the query mechanisms were still tried.
    void wrongPasswordIsReportedAsTheCauseNotAsAnInvalidPath() {
        std::string reason;
        if (!test::SambaSandbox::CanRun(&reason)) {
            QSKIP(qPrintable("private Samba server: " + QString::fromStdString(reason)));
        }
        test::SambaSandbox sandbox("127.0.0.201");
        QVERIFY2(sandbox.ok(), sandbox.error().c_str());
        const std::string wrong = sandbox.dir() + "/wrong.credentials";
        {
            std::ofstream file(wrong);
            file << "username = " << test::SambaSandbox::PLAIN_USER << "\npassword = not-it\n";
        }
        QCOMPARE(chmod(wrong.c_str(), 0600), 0);

        std::string error;
        auto netFiles = MakeNetFileApi(NetCredentials{wrong}, &error);
        QVERIFY2(netFiles != nullptr, error.c_str());
        TmodPQ modPQ(
            std::move(netFiles), MakeUniversalNames(), MakeSystemInfo(),
            std::make_unique<ServiceClient>(MakeSystemInfo(), std::make_unique<TcpTransport>()));
        test::FakeRegistry registry;
        SettingsStore settings(registry);
        auto probe = MakePathProbe(wrong);
        test::ScriptedPrompts prompts;
        test::FakeWindowParts parts(prompts);
        TfrmPellquin window(parts.Services(modPQ, settings, *probe));
        window.show();
        auto* path = window.findChild<QComboBox*>("cboFileName");
        path->setEditText(QString::fromStdString(sandbox.uncRoot() + "\\readme.txt"));
        QTest::mouseClick(window.findChild<QPushButton*>("LMDButton4"), Qt::LeftButton);
        QCOMPARE(prompts.shown.size(), size_t{1});
        const std::string shown = prompts.shown[0];
        const std::string expected = "Error: Cannot look at " + sandbox.uncRoot() +
                                     "\\readme.txt: the server refused the logon with the "
                                     "credentials file " +
                                     wrong + ".";
        QVERIFY2(shown.rfind(expected, 0) == 0, shown.c_str());
        QVERIFY2(shown.find("Does not appear") == std::string::npos, shown.c_str());
        QVERIFY2(shown.size() > expected.size() + 40,
                 shown.c_str());  // the query's own failure follows
    }

    // An smb:// URL, as a file manager passes a network folder, is checked as its UNC name,
    // which the path box then shows and the pick list keeps.
    void smbUrlInThePathBoxIsCheckedAndKeptAsItsUncName() {
        std::string reason;
        if (!test::SambaSandbox::CanRun(&reason)) {
            QSKIP(qPrintable("private Samba server: " + QString::fromStdString(reason)));
        }
        test::SambaSandbox sandbox("127.0.0.202");
        QVERIFY2(sandbox.ok(), sandbox.error().c_str());
        test::FileHolder holder(sandbox, sandbox.userCredentials(),
                                {"r:Projekte \xc3\x9c"
                                 "bersicht/Caf\xc3\xa9 Z\xc3\xbcrich.txt",
                                 "r:readme.txt"});
        QVERIFY2(holder.ok(), holder.error().c_str());

        std::string error;
        auto netFiles = MakeNetFileApi(NetCredentials{sandbox.adminCredentials()}, &error);
        QVERIFY2(netFiles != nullptr, error.c_str());
        TmodPQ modPQ(
            std::move(netFiles), MakeUniversalNames(), MakeSystemInfo(),
            std::make_unique<ServiceClient>(MakeSystemInfo(), std::make_unique<TcpTransport>()));
        test::FakeRegistry registry;
        SettingsStore settings(registry);
        auto probe = MakePathProbe(sandbox.userCredentials());
        test::ScriptedPrompts prompts;
        test::FakeWindowParts parts(prompts);
        TfrmPellquin window(parts.Services(modPQ, settings, *probe));
        window.show();
        auto* path = window.findChild<QComboBox*>("cboFileName");
        path->setEditText("smb://pquser@127.0.0.202/data/Projekte%20%C3%9Cbersicht/");
        QTest::mouseClick(window.findChild<QPushButton*>("LMDButton4"), Qt::LeftButton);
        QCOMPARE(prompts.shown, std::vector<std::string>());
        const QString unc = QString::fromUtf8(
            "\\\\127.0.0.202\\data\\Projekte \xc3\x9c"
            "bersicht");
        QCOMPARE(path->currentText(), unc);
        QCOMPARE(path->itemText(0), unc);
        auto* list = window.findChild<QTreeView*>("lvwItems");
        QCOMPARE(list->model()->rowCount(), 1);
        QCOMPARE(list->model()->index(0, 1).data().toString(),
                 unc + QString::fromUtf8("\\Caf\xc3\xa9 Z\xc3\xbcrich.txt"));
    }
};

}  // namespace pellquin

QTEST_MAIN(pellquin::FrmPellquinSambaTest)
#include "frm_pellquin_samba_test.moc"
