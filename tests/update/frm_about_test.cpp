#include "update/frm_about.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

#include "app/frm_pellquin.h"
#include "fake_http_client.h"
#include "fake_net_file_api.h"
#include "fake_path_probe.h"
#include "fake_registry.h"
#include "fake_service_exchange.h"
#include "fake_system_info.h"
#include "fake_universal_names.h"
#include "fake_url_launcher.h"
#include "fake_window_parts.h"
#include "local_servers.h"
#include "platform/http_client.h"
#include "platform/registry.h"
#include "scripted_prompts.h"
#include "settings/registry_values.h"
#include "update/frm_proxy_settings.h"

namespace pellquin {
namespace {

const char kWebIp[] = "127.0.0.143";

std::string VersionsFile(const std::string& version, const std::string& url) {
    return "<ProductVersions><Pellquin><Version>" + version + "</Version><URL>" + url +
           "</URL></Pellquin></ProductVersions>";
}

class FrmAboutTest : public QObject {
    Q_OBJECT

    // The box over `http` (a fake unless given), the real hive and a recording launcher.
    void MakeBox(std::unique_ptr<HttpClient> http = nullptr, const std::string& url = "") {
        if (!http) {
            auto fake = std::make_unique<test::FakeHttpClient>();
            m_http = fake.get();
            http = std::move(fake);
        }
        auto launcher = std::make_unique<test::FakeUrlLauncher>();
        m_launcher = launcher.get();
        m_about = std::make_unique<TfrmAbout>(
            std::make_unique<UpdateChecker>(std::move(http),
                                            url.empty() ? "http://versions.test/v.xml" : url),
            std::move(launcher), *m_registry, m_prompts);
    }

    template <typename T>
    T* Find(QWidget* parent, const char* name) {
        T* widget = parent->findChild<T*>(name);
        if (widget == nullptr) {
            qFatal("no widget %s", name);
        }
        return widget;
    }
    QString Text(const char* label) { return Find<QLabel>(m_about.get(), label)->text(); }
    bool DownloadShown() { return Find<QPushButton>(m_about.get(), "cmdDownload")->isVisible(); }
    void Click(const char* button) {
        QTest::mouseClick(Find<QPushButton>(m_about.get(), button), Qt::LeftButton);
    }
    void Open() {
        m_about->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_about.get()));
    }

    // Opens the proxy dialog from the box and runs `act` on it while it is shown; `act`
    // ends it.
    void RunProxyDialog(const std::function<void(TfrmProxySettings&)>& act) {
        bool ran = false;
        QTimer::singleShot(0, m_about.get(), [&] {
            TfrmProxySettings& dialog = m_about->frmProxySettings();
            QVERIFY(dialog.isVisible());
            ran = true;
            act(dialog);
            // A failed check inside `act` returns early; the dialog must still end.
            if (dialog.isVisible()) {
                dialog.reject();
            }
        });
        Click("cmdProxy");
        QVERIFY(ran);
    }

    std::string HiveText() {
        std::ifstream in(m_configDir + "/pellquin/HKEY_CURRENT_USER.reg", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::optional<int32_t> StoredInteger(const char* name) {
        auto registry = MakeRegistry();
        RegistryKey key(*registry);
        key.Open(RegistryRoot::CurrentUser, kProxySettingsKey, kKeyRead);
        int32_t value = 0;
        if (ReadRegistryInteger(key, name, &value) != kRegSuccess) {
            return std::nullopt;
        }
        return value;
    }

    std::string m_configDir;
    std::unique_ptr<Registry> m_registry;
    test::ScriptedPrompts m_prompts;
    test::FakeHttpClient* m_http = nullptr;
    test::FakeUrlLauncher* m_launcher = nullptr;
    std::unique_ptr<TfrmAbout> m_about;

private slots:
    void init() {
        char pattern[] = "/tmp/pq-about-XXXXXX";
        QVERIFY(mkdtemp(pattern) != nullptr);
        m_configDir = pattern;
        setenv("XDG_CONFIG_HOME", m_configDir.c_str(), 1);
        m_registry = MakeRegistry();
        m_prompts.shown.clear();
    }

    void cleanup() {
        m_about.reset();
        m_registry.reset();
        std::error_code ignored;
        std::filesystem::remove_all(m_configDir, ignored);
    }

    void reopeningKeepsTheLastChecksDetails() {
        if (!test::HaveProgram("python3")) {
            QSKIP("needs python3 (scripts/setup.sh installs it)");
        }
        test::VersionsServer server(kWebIp);
        QVERIFY2(server.ok(), server.error().c_str());
        MakeBox(MakeHttpClient(), server.Url("/versions/versions.xml"));
        Open();
        QCOMPARE(m_about->windowTitle(), QString("About"));
        QCOMPARE(Text("lblAppName"), QString("Pellquin"));
        QCOMPARE(Text("lblVersion"), QString("2.10"));
        QCOMPARE(Text("lblURL"), QString("http://www.morrowfen.example"));
        QCOMPARE(Text("lblCopyRight"), QString("Copyright (c) 2003-2026 Morrowfen Software"));
        QCOMPARE(Text("lblStatus"), QString());
        QCOMPARE(Text("lblStatus2"), QString());
        QVERIFY(!DownloadShown());

        server.Publish(VersionsFile("2.11", "http://www.morrowfen.example/pellquin-2.11.exe"));
        Click("cmdUpdates");
        QCOMPARE(Text("lblStatus"), QString());
        QCOMPARE(Text("lblStatus2"), QString("A Newer Version Is Available"));
        QVERIFY(DownloadShown());
        QVERIFY(QApplication::overrideCursor() == nullptr);

        Click("cmdOk");
        QVERIFY(!m_about->isVisible());
        QCOMPARE(m_about->result(), int(QDialog::Accepted));
        Open();
        QCOMPARE(Text("lblVersion"), QString("2.10"));
        QCOMPARE(Text("lblStatus2"), QString("A Newer Version Is Available"));
        QVERIFY(DownloadShown());

        // A later check that fails keeps the verdict and the button.
        server.Stop();
        Click("cmdUpdates");
        QCOMPARE(m_prompts.shown,
                 std::vector<std::string>({"Message [Check for Updates]: An Error occured whilst "
                                           "Checking for updates. \n\n Error Code : 111"}));
        QCOMPARE(Text("lblStatus"), QString("Checking for Updates"));
        QCOMPARE(Text("lblStatus2"), QString("A Newer Version Is Available"));
        QVERIFY(DownloadShown());
        QVERIFY(QApplication::overrideCursor() == nullptr);

        Click("cmdDownload");
        QCOMPARE(m_launcher->opened,
                 std::vector<std::string>({"http://www.morrowfen.example/pellquin-2.11.exe"}));
    }

    void outcomesSetTheStatusLines() {
        MakeBox();
        Open();
        m_http->Serve(VersionsFile("3.0", "http://d/3"));
        Click("cmdUpdates");
        QVERIFY(DownloadShown());

        // A file without this product's entry: first line only.
        m_http->Serve("<ProductVersions><Other/></ProductVersions>");
        Click("cmdUpdates");
        QCOMPARE(Text("lblStatus"), QString("Error fetching update info"));
        QCOMPARE(Text("lblStatus2"), QString("A Newer Version Is Available"));
        QVERIFY(DownloadShown());

        // Any other failure: the exception box, the first line cleared.
        HttpResponse moved;
        moved.status = 301;
        moved.statusLine = "HTTP/1.1 301 Moved Permanently";
        m_http->responses.push_back(moved);
        Click("cmdUpdates");
        QCOMPARE(m_prompts.shown,
                 std::vector<std::string>({"Error: HTTP/1.1 301 Moved Permanently"}));
        QCOMPARE(Text("lblStatus"), QString());
        QCOMPARE(Text("lblStatus2"), QString("A Newer Version Is Available"));

        m_http->Serve(VersionsFile("2.1", "http://d/same"));
        Click("cmdUpdates");
        QCOMPARE(Text("lblStatus2"), QString("The current version is up to date"));
        QVERIFY(!DownloadShown());
        QCOMPARE(m_about->DownloadURL(), std::string("http://d/same"));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void downloadOpensOnlyWebAddresses() {
        MakeBox();
        Open();
        m_http->Serve(VersionsFile("9", "C:\\Windows\\System32\\calc.exe"));
        Click("cmdUpdates");
        QVERIFY(DownloadShown());
        Click("cmdDownload");
        QVERIFY(m_launcher->opened.empty());
        QCOMPARE(m_prompts.shown,
                 std::vector<std::string>({"Error: The download address "
                                           "\"C:\\Windows\\System32\\calc.exe\" is not a web "
                                           "address"}));
    }

    // A pretty-printed versions file: blanks and line breaks around the address are no part
    // of it, as they are no part of the version.
    void aDownloadAddressIsTakenWithoutTheBlanksAroundIt() {
        MakeBox();
        Open();
        m_http->Serve(VersionsFile("\n    9\n  ", "\n    http://d/9.exe\t\r\n  "));
        Click("cmdUpdates");
        QVERIFY(DownloadShown());
        Click("cmdDownload");
        QCOMPARE(m_prompts.shown, std::vector<std::string>());
        QCOMPARE(m_launcher->opened, std::vector<std::string>({"http://d/9.exe"}));
    }

    // Shown over its owner, the box stands centred on it from its first show on.
    void theBoxIsCentredOverItsOwner() {
        QWidget owner;
        owner.setGeometry(180, 140, 900, 640);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        MakeBox();
        m_about->setParent(&owner, m_about->windowFlags());
        for (int show = 0; show < 2; ++show) {
            Open();
            const auto offCentre = [&] {
                return (m_about->frameGeometry().center() - owner.frameGeometry().center())
                    .manhattanLength();
            };
            QTRY_VERIFY2(offCentre() <= 2, qPrintable(QString::number(offCentre())));
            m_about->hide();
        }
        m_about->setParent(nullptr);
    }

    void webAddressUnderlinesOnHoverAndOpens() {
        MakeBox();
        Open();
        QLabel* url = Find<QLabel>(m_about.get(), "lblURL");
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(url, &enter);
        QVERIFY(url->font().underline());
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(url, &leave);
        QVERIFY(!url->font().underline());

        QTest::mouseClick(url, Qt::LeftButton);
        url->setFocus();
        QTest::keyClick(url, Qt::Key_Return);
        QCOMPARE(m_launcher->opened, std::vector<std::string>(2, "http://www.morrowfen.example"));
        QVERIFY(m_about->isVisible());
    }

    void proxyDialogOnFirstUse() {
        MakeBox();
        Open();
        RunProxyDialog([&](TfrmProxySettings& dialog) {
            QCOMPARE(dialog.windowTitle(), QString("Proxy Settings"));
            QVERIFY(!Find<QCheckBox>(&dialog, "chkUseProxy")->isChecked());
            for (const char* name : {"txtHostName", "txtPort", "txtUserName", "txtPassword"}) {
                QLineEdit* edit = Find<QLineEdit>(&dialog, name);
                QVERIFY2(!edit->isEnabled(), name);
                QCOMPARE(edit->text(), QString(std::string(name) == "txtPort" ? "0" : ""));
            }
            QCOMPARE(Find<QLineEdit>(&dialog, "txtPassword")->echoMode(), QLineEdit::Password);
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        QVERIFY(!StoredInteger("ProxyEnabled"));
    }

    void okWithTheBoxUncheckedStillSavesTheFields() {
        MakeBox();
        Open();
        RunProxyDialog([&](TfrmProxySettings& dialog) {
            auto* use = Find<QCheckBox>(&dialog, "chkUseProxy");
            use->setChecked(true);
            QVERIFY(Find<QLineEdit>(&dialog, "txtHostName")->isEnabled());
            Find<QLineEdit>(&dialog, "txtHostName")->setText("socks.lan");
            Find<QLineEdit>(&dialog, "txtPort")->setText("1080");
            Find<QLineEdit>(&dialog, "txtUserName")->setText("ann");
            QTest::keyClicks(Find<QLineEdit>(&dialog, "txtPassword"), "pw");
            use->setChecked(false);
            QVERIFY(!Find<QLineEdit>(&dialog, "txtPassword")->isEnabled());
            QTest::mouseClick(Find<QPushButton>(&dialog, "cmdOK"), Qt::LeftButton);
        });
        QCOMPARE(StoredInteger("ProxyEnabled"), std::optional<int32_t>(0));
        QCOMPARE(StoredInteger("ProxyPort"), std::optional<int32_t>(1080));
        const ProxySettings& settings = m_about->proxySettings();
        QCOMPARE(settings.ProxyServer, std::string("socks.lan"));
        QCOMPARE(settings.ProxyUser, std::string("ann"));
        QCOMPARE(settings.ProxyPassword, std::string("pw"));

        // Another showing reads them back from the hive; checking the box shows them again.
        m_about->hide();
        m_about = nullptr;
        MakeBox();
        Open();
        QCOMPARE(m_about->proxySettings().ProxyPassword, std::string("pw"));
        RunProxyDialog([&](TfrmProxySettings& dialog) {
            Find<QCheckBox>(&dialog, "chkUseProxy")->setChecked(true);
            QCOMPARE(Find<QLineEdit>(&dialog, "txtHostName")->text(), QString("socks.lan"));
            QCOMPARE(Find<QLineEdit>(&dialog, "txtPort")->text(), QString("1080"));
            QCOMPARE(Find<QLineEdit>(&dialog, "txtUserName")->text(), QString("ann"));
            QCOMPARE(Find<QLineEdit>(&dialog, "txtPassword")->text(), QString("pw"));
            QVERIFY(Find<QLineEdit>(&dialog, "txtPassword")->isEnabled());
            QTest::keyClick(&dialog, Qt::Key_Return);  // OK is the default button
        });
        QCOMPARE(StoredInteger("ProxyEnabled"), std::optional<int32_t>(1));
    }

    void portTextsAreConvertedOnOk() {
        MakeBox();
        Open();
        const std::pair<const char*, int32_t> cases[] = {
            {"8080x", 8080}, {"abc", 0}, {"", 0}, {" 42", 42}};
        for (const auto& [text, port] : cases) {
            RunProxyDialog([&](TfrmProxySettings& dialog) {
                Find<QCheckBox>(&dialog, "chkUseProxy")->setChecked(true);
                Find<QLineEdit>(&dialog, "txtPort")->setText(text);
                QTest::mouseClick(Find<QPushButton>(&dialog, "cmdOK"), Qt::LeftButton);
            });
            QCOMPARE(StoredInteger("ProxyPort"), std::optional<int32_t>(port));
            QCOMPARE(m_about->proxySettings().ProxyPort, port);
        }
    }

    void cancelLeavesTheSettingsAlone() {
        MakeBox();
        Open();
        RunProxyDialog([&](TfrmProxySettings& dialog) {
            Find<QLineEdit>(&dialog, "txtPort")->setText("1080");
            QTest::mouseClick(Find<QPushButton>(&dialog, "cmdOK"), Qt::LeftButton);
        });
        const std::string hive = HiveText();
        RunProxyDialog([&](TfrmProxySettings& dialog) {
            Find<QCheckBox>(&dialog, "chkUseProxy")->setChecked(true);
            Find<QLineEdit>(&dialog, "txtPort")->setText("9999");
            QTest::mouseClick(Find<QPushButton>(&dialog, "cmdCancel"), Qt::LeftButton);
        });
        QCOMPARE(HiveText(), hive);
        QCOMPARE(m_about->proxySettings().ProxyPort, 1080);
        QCOMPARE(m_about->proxySettings().ProxyEnabled, 0);
        RunProxyDialog([&](TfrmProxySettings& dialog) {
            QCOMPARE(Find<QLineEdit>(&dialog, "txtPort")->text(), QString("1080"));
            QVERIFY(!Find<QCheckBox>(&dialog, "chkUseProxy")->isChecked());
            QVERIFY(!Find<QLineEdit>(&dialog, "txtPort")->isEnabled());
            dialog.close();  // the close box counts as Cancel
        });
        QCOMPARE(HiveText(), hive);
    }

    void helpAboutShowsTheBoxModally() {
        test::FakeRegistry settingsRegistry;
        SettingsStore settings(settingsRegistry);
        TmodPQ modPQ(std::make_unique<test::FakeNetFileApi>(),
                     std::make_unique<test::FakeUniversalNames>(),
                     std::make_unique<test::FakeSystemInfo>(),
                     std::make_unique<test::FakeServiceExchange>());
        test::FakePathProbe probe;
        MakeBox();
        QPointer<TfrmAbout> about = m_about.get();
        test::FakeWindowParts parts(m_prompts);
        WindowServices services = parts.Services(modPQ, settings, probe);
        services.frmAbout = std::move(m_about);
        TfrmPellquin window(std::move(services));
        window.show();
        bool shown = false;
        QTimer::singleShot(0, &window, [&] {
            shown = QApplication::activeModalWidget() == about.data();
            QCOMPARE(about->parentWidget(), &window);
            QCOMPARE(about->findChild<QLabel*>("lblVersion")->text(), QString("2.10"));
            about->findChild<QPushButton*>("cmdOk")->click();
        });
        window.findChild<QAction*>("About2")->trigger();
        QVERIFY(shown);
    }
};

}  // namespace
}  // namespace pellquin

QTEST_MAIN(pellquin::FrmAboutTest)
#include "frm_about_test.moc"
