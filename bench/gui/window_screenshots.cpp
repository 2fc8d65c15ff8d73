// Writes screenshots of every page of the main window and of its dialogs, rendered offscreen,
// into the directory named by the first argument, with the suffix given as the second (the
// scale is the environment's QT_SCALE_FACTOR). Not a test: the pictures are for reading.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QTabWidget>
#include <cstdio>
#include <memory>

#include "app/frm_pellquin.h"
#include "app/frm_status.h"
#include "browser/frm_add_fav.h"
#include "browser/frm_map_drive.h"
#include "browser/path_browser.h"
#include "fake_net_file_api.h"
#include "fake_path_probe.h"
#include "fake_registry.h"
#include "fake_service_exchange.h"
#include "fake_system_info.h"
#include "fake_universal_names.h"
#include "fake_window_parts.h"
#include "silent_prompts.h"

namespace {

using namespace pellquin;
using test::SilentPrompts;

bool Save(QWidget& widget, const QString& dir, const QString& name, const QString& suffix) {
    widget.show();
    QApplication::processEvents();
    const QString path = dir + "/" + name + "-" + suffix + ".png";
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_screenshots DIRECTORY SUFFIX\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const QString suffix = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(dir);

    auto net = std::make_unique<test::FakeNetFileApi>();
    test::FakeNetFileApi* server = net.get();
    server->shareFolders["data"] = "D:\\Data";
    server->rounds.push_back(
        {NET_OK,
         {{4294967295u, 3, 1, "D:\\Data\\reports\\2026\\Quarterly results final (v2).xls",
           "EXAMPLE\\administrator"},
          {7577, 1, 0, "D:\\Data\\reports\\2026\\Budget.ods", "EXAMPLE\\alice"},
          {812, 2, 0, "D:\\Data\\shared\\minutes 10 Dec 2026.docx", "bob"}}});
    TmodPQ modPQ(std::move(net), std::make_unique<test::FakeUniversalNames>(),
                 std::make_unique<test::FakeSystemInfo>(),
                 std::make_unique<test::FakeServiceExchange>());
    test::FakeRegistry registry;
    SettingsStore settings(registry);
    test::FakePathProbe probe;
    probe.directories = {"\\\\fileserver\\data"};
    SilentPrompts prompts(false);
    test::FakeWindowParts parts(prompts);
    TfrmPellquin window(parts.Services(modPQ, settings, probe));
    window.Favourites() = {"Reports|||\\\\fileserver\\data\\reports"};
    window.LoadDrives();
    window.show();
    QApplication::processEvents();
    window.findChild<QComboBox*>("cboFileName")->setEditText("\\\\fileserver\\data");
    window.CheckPath();

    bool ok = true;
    auto* pages = window.findChild<QTabWidget*>("pagPellquin");
    const char* const names[] = {"path-file", "users", "service-control", "options"};
    for (int i = 0; i < pages->count() && i < 4; ++i) {
        pages->setCurrentIndex(i);
        ok = Save(window, dir, QString("main-") + names[i], suffix) && ok;
    }
    TfrmStatus& status = window.frmStatus();
    status.SetStep("Clearing Connection 4294967295", false);
    ok = Save(status, dir, "status", suffix) && ok;
    status.hide();
    TfrmAddFav* addFav = window.browser().frmAddFav();
    ok = Save(*addFav, dir, "add-favourite", suffix) && ok;
    addFav->hide();
    TfrmMapDrive mapDrive(&window);
    ok = Save(mapDrive, dir, "map-drive", suffix) && ok;
    return ok ? 0 : 1;
}
