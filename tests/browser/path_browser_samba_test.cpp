// The browser against a private Samba server with the real adapters: a UNC favourite opens
// into its folders, lists its files, and an item puts its full UNC path into the path box.
// Address 127.0.0.131; needs root (skips otherwise).
#include <QComboBox>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <memory>

#include "app/frm_pellquin.h"
#include "browser/drive_tree.h"
#include "browser/path_browser.h"
#include "fake_net_file_api.h"
#include "fake_path_probe.h"
#include "fake_registry.h"
#include "fake_service_exchange.h"
#include "fake_system_info.h"
#include "fake_universal_names.h"
#include "fake_window_parts.h"
#include "platform/directory_lister.h"
#include "samba_sandbox.h"
#include "scripted_prompts.h"

namespace pellquin {

class PathBrowserSambaTest : public QObject {
    Q_OBJECT

private slots:
    void aUncFavouriteIsBrowsedOverSmb() {
        std::string reason;
        if (!test::SambaSandbox::CanRun(&reason)) {
            QSKIP(qPrintable("private Samba server: " + QString::fromStdString(reason)));
        }
        test::SambaSandbox sandbox("127.0.0.131");
        QVERIFY2(sandbox.ok(), sandbox.error().c_str());

        TmodPQ modPQ(std::make_unique<test::FakeNetFileApi>(),
                     std::make_unique<test::FakeUniversalNames>(),
                     std::make_unique<test::FakeSystemInfo>(),
                     std::make_unique<test::FakeServiceExchange>());
        test::FakeRegistry registry;
        SettingsStore settings(registry);
        test::FakePathProbe probe;
        test::ScriptedPrompts prompts;
        BrowserServices services = test::FakeBrowserServices();
        services.directories = MakeDirectoryLister(sandbox.userCredentials());
        test::FakeWindowParts parts(prompts);
        TfrmPellquin window(parts.Services(modPQ, settings, probe, std::move(services)));
        window.show();
        const std::string root = sandbox.uncRoot();
        window.Favourites() = {"Share|||" + root};
        window.LoadDrives();

        QTreeWidget* tree = window.browser().tvwDrives();
        QTreeWidgetItem* share = tree->topLevelItem(1)->child(1);
        QCOMPARE(share->text(0), QString("Share"));
        share->setExpanded(true);
        QTreeWidgetItem* reports = nullptr;
        for (int i = 0; i < share->childCount(); ++i) {
            if (share->child(i)->text(0) == "reports") {
                reports = share->child(i);
            }
        }
        QVERIFY(reports != nullptr);
        QCOMPARE(ItemOf(reports)->path, root + "\\reports");

        tree->setCurrentItem(reports);
        QTreeView* files = window.browser().lvwFiles();
        QStringList names;
        for (int r = 0; r < files->model()->rowCount(); ++r) {
            names << files->model()->index(r, 0).data().toString();
        }
        QCOMPARE(names, QStringList({"archive", "q1.xls", "q2.xls"}));
        QCOMPARE(files->model()->index(0, 1).data().toString(), QString());
        QVERIFY(files->model()->index(1, 1).data().toString().endsWith(" KB"));
        QVERIFY(!files->model()->index(1, 2).data().toString().isEmpty());

        files->setCurrentIndex(files->model()->index(1, 0));
        QCOMPARE(window.findChild<QComboBox*>("cboFileName")->currentText(),
                 QString::fromStdString(root + "\\reports\\q1.xls"));

        // A folder of the share that is gone by the time it is selected.
        tree->setCurrentItem(share);
        QVERIFY(prompts.shown.empty());
        window.Favourites() = {"Gone|||" + root + "\\missing"};
        window.LoadDrives();
        tree->setCurrentItem(tree->topLevelItem(1)->child(1));
        QCOMPARE(prompts.shown, std::vector<std::string>(
                                    {"Error: Cannot Find directory : " + root + "\\missing"}));
    }
};

}  // namespace pellquin

QTEST_MAIN(pellquin::PathBrowserSambaTest)
#include "path_browser_samba_test.moc"
