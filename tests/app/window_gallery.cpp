#include "window_gallery.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <stdexcept>

#include "app/frm_pellquin.h"
#include "app/frm_status.h"
#include "app/message_box_prompts.h"
#include "browser/drive_tree.h"
#include "browser/frm_add_fav.h"
#include "browser/frm_map_drive.h"
#include "browser/path_browser.h"
#include "fake_directory_lister.h"
#include "fake_drive_source.h"
#include "fake_http_client.h"
#include "fake_net_file_api.h"
#include "fake_path_probe.h"
#include "fake_registry.h"
#include "fake_service_exchange.h"
#include "fake_service_manager.h"
#include "fake_system_info.h"
#include "fake_universal_names.h"
#include "fake_url_launcher.h"
#include "fake_window_parts.h"
#include "service/service_control_tab.h"
#include "silent_prompts.h"
#include "update/frm_about.h"
#include "update/frm_proxy_settings.h"

namespace pellquin::test {
namespace {

// Answers No and keeps the question, so the welcome box can be shown with the window's own
// text.
class QuestionKeeper : public SilentPrompts {
public:
    QuestionKeeper() : SilentPrompts(false) {}
    bool AskYesNo(const std::string& text) override {
        question = text;
        return false;
    }
    std::string question;
};

// Shows `widget` and waits until it is on screen and laid out.
void Present(QWidget& widget) {
    widget.show();
    if (!QTest::qWaitForWindowExposed(&widget)) {
        throw std::runtime_error("window not exposed: " + widget.objectName().toStdString());
    }
    QApplication::processEvents();
}

}  // namespace

const char kReports[] = "\\\\fileserver\\data\\reports";

struct WindowGallery::Parts {
    Parts()
        : modPQ(MakeServer(), std::make_unique<FakeUniversalNames>(),
                std::make_unique<FakeSystemInfo>(), std::make_unique<FakeServiceExchange>()),
          settings(registry),
          parts(prompts),
          window(Services()) {}

    std::unique_ptr<FakeNetFileApi> MakeServer() {
        auto net = std::make_unique<FakeNetFileApi>();
        net->shareFolders["data"] = "D:\\Data";
        net->rounds.push_back(
            {NET_OK,
             {{4294967295u, 3, 1, "D:\\Data\\reports\\2026\\Quarterly results final (v2).xls",
               "EXAMPLE\\administrator"},
              {7577, 1, 0, "D:\\Data\\reports\\2026\\Budget.ods", "EXAMPLE\\alice"},
              {812, 2, 0, "D:\\Data\\shared\\minutes 10 Dec 2026.docx", "bob"}}});
        return net;
    }

    WindowServices Services() {
        probe.directories = {"\\\\fileserver\\data"};
        BrowserServices browser = FakeBrowserServices();
        auto drives = std::make_unique<FakeDriveSource>();
        drives->drives = {{"C:\\", "C:", DriveType::Fixed, "SYSTEM", ""},
                          {"G:\\", "G:", DriveType::Remote, "", "\\\\fileserver\\data"}};
        browser.drives = std::move(drives);
        auto lister = std::make_unique<FakeDirectoryLister>();
        const LocalTime written{2026, 12, 10, 10, 3, 0};
        const LocalTime read{2026, 12, 10, 16, 41, 0};
        const LocalTime made{2025, 1, 6, 9, 0, 0};
        lister->directories[kReports] = {
            {"2026", true, 0, written, read, made},
            {"Budget.ods", false, 48128, written, read, made},
            {"Quarterly results final (v2).xls", false, 1843200, written, read, made},
            {"minutes 10 Dec 2026.docx", false, 20480, written, read, made}};
        lister->directories[std::string(kReports) + "\\2026"] = {};
        browser.directories = std::move(lister);
        WindowServices services = parts.Services(modPQ, settings, probe, std::move(browser));
        // The service installed and running (state 4), so Connect fills the status labels.
        auto manager = std::make_unique<FakeServiceManager>();
        manager->installed = true;
        manager->state = 4;
        services.serviceParts.manager = std::move(manager);
        return services;
    }

    TmodPQ modPQ;
    FakeRegistry registry;
    SettingsStore settings;
    FakePathProbe probe;
    QuestionKeeper prompts;
    FakeWindowParts parts;
    TfrmPellquin window;
};

WindowGallery::WindowGallery() : m_parts(std::make_unique<Parts>()) {}

WindowGallery::~WindowGallery() = default;

void WindowGallery::ForEach(
    const std::function<void(const QString& name, QWidget& window)>& visit) {
    TfrmPellquin& window = m_parts->window;
    window.Start({});
    QElapsedTimer started;
    started.start();
    while (!window.StartupDone() && started.elapsed() < 10000) {
        QTest::qWait(10);
    }
    if (!window.StartupDone()) {
        throw std::runtime_error("the main window did not start");
    }
    window.Favourites() = {std::string("Reports|||") + kReports};
    window.LoadDrives();
    window.resize(window.sizeHint().expandedTo(QSize(803, 496)));
    Present(window);
    window.findChild<QComboBox*>("cboFileName")->setEditText("\\\\fileserver\\data");
    window.CheckPath();
    // The favourite opened and selected: the tree shows both roots, the file list its files.
    DriveTree* tree = window.browser().tvwDrives();
    QTreeWidgetItem* favourites = tree->topLevelItem(1);
    favourites->setExpanded(true);
    for (int i = 0; i < favourites->childCount(); ++i) {
        if (favourites->child(i)->text(0) == "Reports") {
            tree->setCurrentItem(favourites->child(i));
        }
    }
    QApplication::processEvents();

    auto* pages = window.findChild<QTabWidget*>("pagPellquin");
    const char* const names[] = {"path-file", "users", "service-control", "options"};
    if (pages->count() != 4) {
        throw std::runtime_error("the main window no longer has four pages");
    }
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        QApplication::processEvents();
        if (i == 2) {
            // Connected to this machine's service manager: the status labels filled.
            window.findChild<QPushButton*>("cmdConnect")->click();
            window.findChild<ServiceControlTab*>()->Timer1Timer();
            QApplication::processEvents();
        }
        visit(QString("main-") + names[i], window);
    }
    pages->setCurrentIndex(0);

    TfrmStatus& status = window.frmStatus();
    status.ShowOver(&window);
    status.SetStep("Clearing Connection 4294967295");
    visit("status", status);
    status.hide();

    TfrmAddFav* addFav = window.browser().frmAddFav();
    Present(*addFav);
    visit("add-favourite", *addFav);
    addFav->hide();

    TfrmMapDrive mapDrive(&window);
    Present(mapDrive);
    visit("map-drive", mapDrive);
    mapDrive.hide();

    // The About box after a check that found a newer version: every label filled and the
    // Download button shown.
    auto http = std::make_unique<FakeHttpClient>();
    http->Serve(
        "<ProductVersions><Pellquin><Version>99.9</Version>"
        "<URL>https://example.org/pellquin/download</URL></Pellquin></ProductVersions>");
    SilentPrompts aboutPrompts;
    TfrmAbout about(std::make_unique<UpdateChecker>(std::move(http), "http://versions.test/v.xml"),
                    std::make_unique<FakeUrlLauncher>(), m_parts->registry, aboutPrompts, &window);
    Present(about);
    about.findChild<QPushButton*>("cmdUpdates")->click();
    QApplication::processEvents();
    visit("about", about);

    TfrmProxySettings& proxy = about.frmProxySettings();
    ProxySettings proxySettings;
    proxySettings.ProxyEnabled = 1;
    proxySettings.ProxyServer = "proxy.example.org";
    proxySettings.ProxyPort = 3128;
    proxySettings.ProxyUser = "EXAMPLE\\administrator";
    proxySettings.ProxyPassword = "secret";
    proxy.Fill(proxySettings);
    Present(proxy);
    visit("proxy-settings", proxy);
    proxy.hide();
    about.hide();

    // The welcome box is the real message box with the window's own question; it is modal,
    // so it is visited from a timer while it runs, then answered No.
    if (m_parts->prompts.question.empty()) {
        throw std::runtime_error("the start asked no welcome question");
    }
    bool visited = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible() || box->windowHandle() == nullptr ||
            !box->windowHandle()->isExposed()) {
            return;
        }
        poll.stop();
        QApplication::processEvents();
        visit("welcome", *box);
        visited = true;
        box->reject();
    });
    poll.start();
    MessageBoxPrompts boxes(&window);
    boxes.AskYesNo(m_parts->prompts.question);
    if (!visited) {
        throw std::runtime_error("the welcome box was never shown");
    }
}

}  // namespace pellquin::test
