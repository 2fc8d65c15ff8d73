// The path browser in the main window, driven by object names: a fake drive source and
// mapper over temporary directory trees read by the real directory adapter.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDate>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>

#include "app/frm_pellquin.h"
#include "browser/drive_tree.h"
#include "browser/frm_add_fav.h"
#include "browser/frm_map_drive.h"
#include "browser/path_browser.h"
#include "fake_drive_mapper.h"
#include "fake_drive_source.h"
#include "fake_folder_browser.h"
#include "fake_net_file_api.h"
#include "fake_path_probe.h"
#include "fake_registry.h"
#include "fake_service_exchange.h"
#include "fake_system_info.h"
#include "fake_universal_names.h"
#include "fake_window_parts.h"
#include "platform/directory_lister.h"
#include "quiet_browser_host.h"
#include "scripted_prompts.h"

namespace pellquin {
namespace {

const char* const kFavouritesKey = "Software\\Morrowfen\\Pellquin\\Favourites";

void MakeFile(const std::string& path, size_t bytes) {
    std::ofstream(path) << std::string(bytes, 'x');
}

void MakeDir(const std::string& path) {
    mkdir(path.c_str(), 0755);
}

void SetModified(const std::string& path, int year) {
    struct tm when {};
    when.tm_year = year - 1900;
    when.tm_mon = 5;
    when.tm_mday = 1;
    when.tm_hour = 12;
    when.tm_isdst = -1;
    const struct timespec times[2] = {{mktime(&when), 0}, {mktime(&when), 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// Closes whatever modal dialog or pop-up menu shows up while a command runs, noting its
// object name; `onDialog` may act on a dialog first (it then decides how the dialog ends).
class AutoDismiss {
public:
    std::vector<QString> seen;
    std::function<bool(QWidget*)> onDialog;

    AutoDismiss() {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start();
    }

private:
    void Poll() {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            seen.push_back(popup->objectName());
            popup->close();
            return;
        }
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            if (!seen.empty() && seen.back() == dialog->objectName() && m_handled == dialog) {
                return;
            }
            seen.push_back(dialog->objectName());
            m_handled = dialog;
            if (!onDialog || !onDialog(dialog)) {
                dialog->reject();
            }
            m_handled = nullptr;
        }
    }

    QTimer m_timer;
    QDialog* m_handled = nullptr;
};

}  // namespace

class PathBrowserTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::string m_c;  // the fixed drive "C:" with its label
    std::string m_d;  // the unlabelled fixed drive "D:"
    std::string m_g;  // the network drive "G:"
    test::FakeDriveSource* m_drives = nullptr;
    test::FakeDriveMapper* m_mapper = nullptr;
    test::FakeFolderBrowser* m_folders = nullptr;
    std::unique_ptr<TmodPQ> m_modPQ;
    std::unique_ptr<test::FakeRegistry> m_registry;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<test::FakePathProbe> m_probe;
    std::unique_ptr<test::ScriptedPrompts> m_prompts;
    std::unique_ptr<test::FakeWindowParts> m_parts;
    std::unique_ptr<TfrmPellquin> m_window;
    std::unique_ptr<QSignalSpy> m_statusSpy;

    std::unique_ptr<TfrmPellquin> MakeWindow(bool fixedDateFormat = true) {
        auto drives = std::make_unique<test::FakeDriveSource>();
        auto mapper = std::make_unique<test::FakeDriveMapper>();
        auto folders = std::make_unique<test::FakeFolderBrowser>();
        m_drives = drives.get();
        m_mapper = mapper.get();
        m_folders = folders.get();
        m_drives->drives = {
            {m_c, "C:", DriveType::Fixed, "SYSTEM", ""},
            {"/media/stick", "E:", DriveType::Removable, "STICK", ""},
            {m_d, "D:", DriveType::Fixed, "", ""},
            {"/media/cdrom", "F:", DriveType::CdRom, "DISC", ""},
            {m_g, "G:", DriveType::Remote, "", "\\\\srv\\data"},
        };
        BrowserServices services;
        services.drives = std::move(drives);
        services.directories = MakeDirectoryLister(std::string());
        services.mapper = std::move(mapper);
        services.folders = std::move(folders);
        auto window = std::make_unique<TfrmPellquin>(
            m_parts->Services(*m_modPQ, *m_settings, *m_probe, std::move(services)));
        if (fixedDateFormat) {
            window->browser().SetShortDateFormat("dd/MM/yyyy");
        }
        return window;
    }
    // As the start-up sequence does: favourites from the registry, then the tree.
    void Start() {
        m_window->LoadFavourites();
        m_window->LoadDrives();
    }

    TPathBrowser& Browser() { return m_window->browser(); }
    DriveTree* Tree() { return Browser().tvwDrives(); }
    QTreeView* Files() { return Browser().lvwFiles(); }
    QComboBox* PathBox() { return m_window->findChild<QComboBox*>("cboFileName"); }
    QString PathText() { return PathBox()->currentText(); }

    QTreeWidgetItem* Node(const QStringList& captions) {
        QTreeWidgetItem* node = nullptr;
        for (const QString& caption : captions) {
            const int count = node ? node->childCount() : Tree()->topLevelItemCount();
            QTreeWidgetItem* found = nullptr;
            for (int i = 0; i < count && !found; ++i) {
                QTreeWidgetItem* child = node ? node->child(i) : Tree()->topLevelItem(i);
                if (child->text(0) == caption) {
                    found = child;
                }
            }
            if (found == nullptr) {
                qFatal("no node %s", qPrintable(captions.join(" > ")));
            }
            node = found;
        }
        return node;
    }
    static QStringList Children(QTreeWidgetItem* node) {
        QStringList captions;
        for (int i = 0; i < node->childCount(); ++i) {
            captions << node->child(i)->text(0);
        }
        return captions;
    }
    void Select(QTreeWidgetItem* node) { Tree()->setCurrentItem(node); }
    QStringList Column(int column) {
        QStringList cells;
        for (int r = 0; r < Files()->model()->rowCount(); ++r) {
            cells << Files()->model()->index(r, column).data().toString();
        }
        return cells;
    }
    void ClickHeader(int column) {
        QHeaderView* header = Files()->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 5, 5));
    }
    bool Marked(int column) {
        return !Files()->model()->headerData(column, Qt::Horizontal, Qt::DecorationRole).isNull();
    }
    QStringList StatusTexts() {
        QStringList texts;
        for (const QList<QVariant>& args : *m_statusSpy) {
            texts << args.at(0).toString();
        }
        m_statusSpy->clear();
        return texts;
    }
    // A press before the double-click, as a real double-click has: item views act on a
    // double-click only where the press was.
    static void DoubleClick(QWidget* viewport, const QPoint& at) {
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    }
    void RightClick(QTreeWidgetItem* node) {
        const QPoint at = node ? Tree()->visualItemRect(node).center()
                               : QPoint(5, Tree()->viewport()->height() - 3);
        QTest::mouseClick(Tree()->viewport(), Qt::RightButton, {}, at);
        // The context-menu event that the window system sends after the press.
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at, Tree()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(Tree()->viewport(), &menu);
    }
    // No pop-up opened or stays open: `dismiss` closed nothing beyond `seen` by now.
    static void ExpectNoMenu(const AutoDismiss& dismiss, std::vector<QString> seen = {}) {
        QTest::qWait(50);
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
        QCOMPARE(dismiss.seen, seen);
    }
    std::pair<bool, bool> PopupItems() {
        auto* check = Browser().mnuDrives()->findChild<QAction*>("mniCheck");
        auto* remove = Browser().mnuDrives()->findChild<QAction*>("mniDeleteFavourite");
        return {check->isVisible(), remove->isVisible()};
    }
    QStringList StoredFavourites() {
        QStringList entries;
        const auto count =
            m_registry->GetDword(RegistryRoot::CurrentUser, kFavouritesKey, "NumFavourites");
        for (uint32_t i = 0; count && i < *count; ++i) {
            const auto value = m_registry->Get(RegistryRoot::CurrentUser, kFavouritesKey,
                                               "Favourite" + std::to_string(i));
            entries << QString::fromStdString(value ? value->data : "?");
        }
        return entries;
    }
    void StoreFavourites(const std::vector<std::string>& entries) {
        m_registry->PutDword(RegistryRoot::CurrentUser, kFavouritesKey, "NumFavourites",
                             static_cast<uint32_t>(entries.size()));
        for (size_t i = 0; i < entries.size(); ++i) {
            m_registry->PutString(RegistryRoot::CurrentUser, kFavouritesKey,
                                  "Favourite" + std::to_string(i), entries[i]);
        }
    }
    // Runs AddFavourite with the dialog answered by `fill`, which returns true when it ended
    // the dialog itself.
    void AddFavourite(const std::function<bool(TfrmAddFav&)>& fill) {
        AutoDismiss dismiss;
        dismiss.onDialog = [&fill](QWidget* dialog) {
            auto* addFav = qobject_cast<TfrmAddFav*>(dialog);
            return addFav != nullptr && fill(*addFav);
        };
        Browser().AddFavourite();
    }
    static void Type(TfrmAddFav& dialog, const QString& description, const QString& path) {
        dialog.txtDescription()->setText(description);
        dialog.txtPath()->setText(path);
    }
    static void ClickOK(TfrmAddFav& dialog) {
        QTest::mouseClick(dialog.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        const std::string root = m_dir->path().toStdString();
        m_c = root + "/c";
        m_d = root + "/d";
        m_g = root + "/g";
        for (const std::string& dir :
             {m_c, m_d, m_g, m_c + "/sub", m_c + "/sub/deep", m_c + "/other"}) {
            MakeDir(dir);
        }
        MakeFile(m_c + "/sub/inside.txt", 10);
        MakeFile(m_c + "/top.txt", 3000);

        auto net = std::make_unique<test::FakeNetFileApi>();
        m_modPQ =
            std::make_unique<TmodPQ>(std::move(net), std::make_unique<test::FakeUniversalNames>(),
                                     std::make_unique<test::FakeSystemInfo>(),
                                     std::make_unique<test::FakeServiceExchange>());
        m_registry = std::make_unique<test::FakeRegistry>();
        m_settings = std::make_unique<SettingsStore>(*m_registry);
        m_probe = std::make_unique<test::FakePathProbe>();
        m_prompts = std::make_unique<test::ScriptedPrompts>();
        m_parts = std::make_unique<test::FakeWindowParts>(*m_prompts);
        StoreFavourites({"Docs|||" + m_d, "Gone|||" + root + "/missing"});
        m_window = MakeWindow();
        m_statusSpy =
            std::make_unique<QSignalSpy>(m_window->statusBar(), &QStatusBar::messageChanged);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        Start();
    }

    void cleanup() {
        m_statusSpy.reset();
        m_window.reset();
        m_parts.reset();
        m_modPQ.reset();
        m_dir.reset();
    }

    void treeShowsFixedAndNetworkDrivesThenFavouritesEachWithOnePlaceholder() {
        QCOMPARE(Tree()->topLevelItemCount(), 2);
        QTreeWidgetItem* drives = Node({"Drives"});
        QTreeWidgetItem* favourites = Node({"Favourite Paths"});
        QVERIFY(drives->isExpanded());
        QVERIFY(!favourites->isExpanded());
        // Removable and optical drives are left out; an unlabelled disk shows "()".
        QCOMPARE(Children(drives), QStringList({"C: (SYSTEM)", "D: ()", "G: (\\\\srv\\data)"}));
        QCOMPARE(Children(favourites), QStringList({"Add New Favourite", "Docs", "Gone"}));
        for (QTreeWidgetItem* node : {drives->child(0), drives->child(1), drives->child(2),
                                      favourites->child(1), favourites->child(2)}) {
            QCOMPARE(Children(node), QStringList({"Working..."}));
            QVERIFY(!node->isExpanded());
            QVERIFY(ItemOf(node->child(0)) == nullptr);
            QCOMPARE(ItemOf(node)->kind, 1);
        }
        const driveitem* network = ItemOf(drives->child(2));
        QCOMPARE(network->path, m_g);
        QCOMPARE(network->name, std::string("\\\\srv\\data"));
        QCOMPARE(network->favourite, 0);
        const driveitem* docs = ItemOf(favourites->child(1));
        QCOMPARE(docs->path, m_d);
        QCOMPARE(docs->name, std::string("Docs"));
        QCOMPARE(docs->favourite, 1);
        QCOMPARE(ItemOf(favourites->child(0))->kind, 3);
        QCOMPARE(ItemOf(drives)->kind, 2);
        QCOMPARE(Tree()->SelectedNode(), nullptr);
    }

    // Where neither command applies no menu opens; the right press still selects (or, on
    // empty space, clears the selection).
    void popupShowsCheckForPathNodesAndDeleteForFavourites() {
        QTreeWidgetItem* c = Node({"Drives", "C: (SYSTEM)"});
        c->setExpanded(true);
        Node({"Favourite Paths"})->setExpanded(true);
        const struct {
            QTreeWidgetItem* node;
            bool check;
            bool remove;
        } cases[] = {{Node({"Drives"}), false, false},
                     {Node({"Favourite Paths", "Docs"}), true, true},
                     {Node({"Drives", "C: (SYSTEM)", "sub"}), true, false}};
        for (const auto& c : cases) {
            AutoDismiss dismiss;
            RightClick(c.node);
            if (c.check || c.remove) {
                QTRY_COMPARE(dismiss.seen, std::vector<QString>({"mnuDrives"}));
            } else {
                ExpectNoMenu(dismiss);
            }
            QCOMPARE(Tree()->SelectedNode(), c.node);
            QCOMPARE(PopupItems(), std::make_pair(c.check, c.remove));
        }
        // Right-clicking a directory also lists it.
        QCOMPARE(PathText(), QString::fromStdString(m_c + "/sub"));

        // "Add New Favourite": the dialog opens, then no menu.
        {
            AutoDismiss dismiss;
            RightClick(Node({"Favourite Paths", "Add New Favourite"}));
            QTRY_COMPARE(dismiss.seen, std::vector<QString>({"frmAddFav"}));
            ExpectNoMenu(dismiss, {"frmAddFav"});
            QCOMPARE(PopupItems(), std::make_pair(false, false));
        }
        // Empty space below the last node: no node stays selected.
        {
            AutoDismiss dismiss;
            RightClick(nullptr);
            ExpectNoMenu(dismiss);
            QCOMPARE(Tree()->SelectedNode(), nullptr);
            QCOMPARE(PopupItems(), std::make_pair(false, false));
        }
    }

    // The menu never opens empty, so the click after a right-click on empty space is taken;
    // the keyboard (Shift+F10, the Menu key) opens it for the current node as the right
    // button does.
    void theTreesMenuNeverOpensEmptyAndOpensFromTheKeyboard() {
        const auto visibleItems = [this] {
            QStringList items;
            for (QAction* action : Browser().mnuDrives()->actions()) {
                if (action->isVisible()) {
                    items << action->text() + (action->isEnabled() ? "" : " (greyed)");
                }
            }
            return items;
        };
        Node({"Favourite Paths"})->setExpanded(true);
        {
            AutoDismiss dismiss;
            RightClick(nullptr);
            ExpectNoMenu(dismiss);
            QTreeWidgetItem* docs = Node({"Favourite Paths", "Docs"});
            QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {},
                              Tree()->visualItemRect(docs).center());
            QCOMPARE(Tree()->SelectedNode(), docs);
            ExpectNoMenu(dismiss);
        }
        Select(Node({"Favourite Paths", "Docs"}));
        for (const auto& [key, modifiers] :
             {std::pair<Qt::Key, Qt::KeyboardModifiers>{Qt::Key_F10, Qt::ShiftModifier},
              {Qt::Key_Menu, Qt::NoModifier}}) {
            AutoDismiss dismiss;
            QTest::keyClick(Tree(), key, modifiers);
            QTRY_COMPARE(dismiss.seen, std::vector<QString>({"mnuDrives"}));
            QCOMPARE(visibleItems(), QStringList({"&Check", "&Delete Favourite"}));
            QCOMPARE(Tree()->SelectedNode(), Node({"Favourite Paths", "Docs"}));
        }
        // A root node has neither command: the keyboard opens nothing either.
        Select(Node({"Drives"}));
        AutoDismiss dismiss;
        QTest::keyClick(Tree(), Qt::Key_F10, Qt::ShiftModifier);
        ExpectNoMenu(dismiss);
    }

    // A folder that cannot be read: by the time its box shows, the placeholder is gone and the
    // status text cleared.
    void aFailedExpansionShowsItsBoxWithoutThePlaceholder() {
        Node({"Favourite Paths"})->setExpanded(true);
        QTreeWidgetItem* gone = Node({"Favourite Paths", "Gone"});
        QStringList childrenAtBox;
        QString statusAtBox = "unset";
        m_prompts->onShow = [&](const std::string&) {
            childrenAtBox = Children(gone);
            statusAtBox = m_window->statusBar()->currentMessage();
        };
        gone->setExpanded(true);
        QCOMPARE(m_prompts->shown.size(), size_t{1});
        QCOMPARE(childrenAtBox, QStringList());
        QCOMPARE(statusAtBox, QString());
        m_prompts->onShow = nullptr;
    }

    void expandingLoadsSubdirectoriesOnceAndAMissingDirectoryOpensEmpty() {
        QTreeWidgetItem* c = Node({"Drives", "C: (SYSTEM)"});
        c->setExpanded(true);
        QStringList children = Children(c);
        children.sort();
        QCOMPARE(children, QStringList({"other", "sub"}));
        QTreeWidgetItem* sub = Node({"Drives", "C: (SYSTEM)", "sub"});
        QCOMPARE(ItemOf(sub)->path, m_c + "/sub");
        QCOMPARE(Children(sub), QStringList({"Working..."}));
        QCOMPARE(StatusTexts().last(), QString());

        // Collapsing and reopening does not read the directory again.
        MakeDir(m_c + "/later");
        c->setExpanded(false);
        c->setExpanded(true);
        QCOMPARE(c->childCount(), 2);

        // A directory that happens to be called "Working..." is no placeholder.
        MakeDir(m_d + "/Working...");
        QTreeWidgetItem* d = Node({"Drives", "D: ()"});
        d->setExpanded(true);
        QTreeWidgetItem* working = d->child(0);
        QVERIFY(ItemOf(working) != nullptr);
        working->setExpanded(true);
        d->setExpanded(false);
        d->setExpanded(true);
        QCOMPARE(d->childCount(), 1);
        QCOMPARE(d->child(0), working);
        QVERIFY(working->isExpanded());

        QTreeWidgetItem* gone = Node({"Favourite Paths", "Gone"});
        gone->setExpanded(true);
        const std::string missing = m_dir->path().toStdString() + "/missing";
        QCOMPARE(m_prompts->shown,
                 std::vector<std::string>({"Error: Cannot Find directory : " + missing}));
        QVERIFY(gone->isExpanded());
        QCOMPARE(gone->childCount(), 0);
        gone->setExpanded(false);
        gone->setExpanded(true);
        QCOMPARE(m_prompts->shown.size(), size_t{1});

        // Selecting it reports the same and leaves the list empty.
        m_prompts->shown.clear();
        Select(Node({"Drives", "C: (SYSTEM)"}));
        QVERIFY(Files()->model()->rowCount() > 0);
        Select(gone);
        QCOMPARE(m_prompts->shown,
                 std::vector<std::string>({"Error: Cannot Find directory : " + missing}));
        QCOMPARE(Files()->model()->rowCount(), 0);
        QCOMPARE(PathText(), QString::fromStdString(missing));
    }

    void listingReportsEveryHundredEntriesAndShowsSizes() {
        for (int i = 0; i < 246; ++i) {
            MakeFile(m_g + "/f" + std::to_string(i), 0);
        }
        // 5,000,000,000 bytes without using the disk.
        const int fd = open((m_g + "/big").c_str(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(ftruncate(fd, 5000000000LL), 0);
        close(fd);
        MakeFile(m_g + "/small", 1023);
        StatusTexts();

        Select(Node({"Drives", "G: (\\\\srv\\data)"}));  // 248 files, ".", ".."
        QCOMPARE(StatusTexts(),
                 QStringList({"Loading Directory Contents", "Loading Directory Contents 100",
                              "Loading Directory Contents 200", ""}));
        QCOMPARE(Files()->model()->rowCount(), 248);
        QCOMPARE(PathText(), QString::fromStdString(m_g));
        const QStringList names = Column(0);
        const QStringList sizes = Column(1);
        QCOMPARE(sizes[names.indexOf("big")], QString("4882812 KB"));
        QCOMPARE(sizes[names.indexOf("small")], QString("0 KB"));

        // An empty directory: an empty list and an empty status text.
        Select(Node({"Drives", "D: ()"}));
        QCOMPARE(Files()->model()->rowCount(), 0);
        QCOMPARE(StatusTexts().last(), QString());
    }

    void columnsSortWithDirectoriesFirstAndDatesInterleaved() {
        MakeDir(m_d + "/a");
        MakeFile(m_d + "/B", 10 * 1024);
        MakeFile(m_d + "/c9", 9 * 1024);
        SetModified(m_d + "/B", 2020);
        SetModified(m_d + "/a", 2021);
        SetModified(m_d + "/c9", 2022);
        Select(Node({"Drives", "D: ()"}));
        QCOMPARE(Column(0), QStringList({"a", "B", "c9"}));
        QCOMPARE(Column(2)[1], QString("01/06/2020 12:00 pm"));

        ClickHeader(0);
        QCOMPARE(Column(0), QStringList({"a", "B", "c9"}));
        ClickHeader(0);
        QCOMPARE(Column(0), QStringList({"c9", "B", "a"}));
        ClickHeader(1);
        QCOMPARE(Column(0), QStringList({"a", "c9", "B"}));
        ClickHeader(2);
        QCOMPARE(Column(0), QStringList({"B", "a", "c9"}));
        ClickHeader(2);
        QCOMPARE(Column(0), QStringList({"c9", "a", "B"}));
    }

    void datesUseTheSystemsShortDateFormat() {
        MakeFile(m_d + "/x", 1);
        SetModified(m_d + "/x", 2020);
        m_window = MakeWindow(false);
        Start();
        Select(Node({"Drives", "D: ()"}));
        QCOMPARE(Column(2),
                 QStringList({QLocale::system().toString(QDate(2020, 6, 1), QLocale::ShortFormat) +
                              " 12:00 pm"}));
    }

    void sizeToggleAndMarkerSurviveANewListing() {
        MakeFile(m_d + "/x", 5 * 1024);
        MakeFile(m_d + "/y", 1024);
        Select(Node({"Drives", "D: ()"}));
        ClickHeader(1);
        QCOMPARE(Column(0), QStringList({"y", "x"}));
        ClickHeader(1);
        QCOMPARE(Column(0), QStringList({"x", "y"}));
        QVERIFY(Marked(1));

        Select(Node({"Favourite Paths", "Docs"}));  // the same folder, listed anew
        QCOMPARE(Column(0), QStringList({"x", "y"}));
        QVERIFY(Marked(1));
        QVERIFY(!Marked(0));
        ClickHeader(1);
        QCOMPARE(Column(0), QStringList({"y", "x"}));
    }

    void hiddenDirectoriesStayInTheTree() {
        m_window->findChild<QCheckBox*>("chkShowDirectoryNames")->setChecked(false);
        QTreeWidgetItem* c = Node({"Drives", "C: (SYSTEM)"});
        Select(c);
        QCOMPARE(Column(0), QStringList({"top.txt"}));
        QCOMPARE(Column(1), QStringList({"2 KB"}));
        c->setExpanded(true);
        QCOMPARE(c->childCount(), 2);
    }

    void selectingAndDoubleClickingItems() {
        QTreeWidgetItem* c = Node({"Drives", "C: (SYSTEM)"});
        Select(c);
        QVERIFY(!c->isExpanded());
        const int sub = Column(0).indexOf("sub");
        QVERIFY(sub >= 0);

        Files()->setCurrentIndex(Files()->model()->index(Column(0).indexOf("top.txt"), 0));
        QCOMPARE(PathText(), QString::fromStdString(m_c + "/top.txt"));
        Files()->setCurrentIndex(Files()->model()->index(sub, 0));
        QCOMPARE(PathText(), QString::fromStdString(m_c + "/sub"));

        // A directory item opens its collapsed node and selects the child of that name.
        const QRect row = Files()->visualRect(Files()->model()->index(sub, 0));
        DoubleClick(Files()->viewport(), row.center());
        QVERIFY(c->isExpanded());
        QCOMPARE(Tree()->SelectedNode(), Node({"Drives", "C: (SYSTEM)", "sub"}));
        QCOMPARE(Column(0), QStringList({"deep", "inside.txt"}));
        QCOMPARE(PathText(), QString::fromStdString(m_c + "/sub"));

        // A file item runs the Check command on the path box.
        Files()->setCurrentIndex(Files()->model()->index(1, 0));
        m_probe->files = {m_c + "/sub/inside.txt"};
        m_prompts->shown.clear();
        DoubleClick(Files()->viewport(),
                    Files()->visualRect(Files()->model()->index(1, 0)).center());
        QCOMPARE(std::count(m_probe->calls.begin(), m_probe->calls.end(), m_c + "/sub/inside.txt"),
                 1);
        // Enter on an item does the same.
        QTest::keyClick(Files(), Qt::Key_Return);
        QCOMPARE(std::count(m_probe->calls.begin(), m_probe->calls.end(), m_c + "/sub/inside.txt"),
                 2);

        // Group nodes empty the path box and the list.
        Select(Node({"Drives"}));
        QCOMPARE(PathText(), QString());
        QCOMPARE(Files()->model()->rowCount(), 0);
    }

    void addNewFavouriteOpensTheDialogAndKeepsTheList() {
        Select(Node({"Drives", "C: (SYSTEM)"}));
        const int rows = Files()->model()->rowCount();
        AutoDismiss dismiss;
        Select(Node({"Favourite Paths", "Add New Favourite"}));
        QCOMPARE(dismiss.seen, std::vector<QString>({"frmAddFav"}));
        QCOMPARE(PathText(), QString::fromStdString(m_c));
        QCOMPARE(Files()->model()->rowCount(), rows);
        // Selecting it again is no change; a double-click or Enter opens the dialog again.
        Select(Node({"Favourite Paths", "Add New Favourite"}));
        QCOMPARE(dismiss.seen.size(), size_t{1});
        QTest::keyClick(Tree(), Qt::Key_Return);
        QCOMPARE(dismiss.seen, std::vector<QString>({"frmAddFav", "frmAddFav"}));
    }

    void okWithoutDescriptionUsesThePath() {
        AddFavourite([](TfrmAddFav& dialog) {
            Type(dialog, "", "\\\\srv\\data\\dir");
            ClickOK(dialog);
            return true;
        });
        QTreeWidgetItem* favourites = Node({"Favourite Paths"});
        QCOMPARE(Children(favourites),
                 QStringList({"Add New Favourite", "Docs", "Gone", "\\\\srv\\data\\dir"}));
        QVERIFY(!favourites->isExpanded());
        QCOMPARE(Tree()->SelectedNode(), nullptr);
        QTreeWidgetItem* added = favourites->child(3);
        QCOMPARE(ItemOf(added)->path, std::string("\\\\srv\\data\\dir"));
        QCOMPARE(ItemOf(added)->favourite, 1);
        QCOMPARE(Children(added), QStringList({"Working..."}));
        QCOMPARE(StoredFavourites().last(), QString("\\\\srv\\data\\dir|||\\\\srv\\data\\dir"));
        QCOMPARE(StoredFavourites().size(), 3);
    }

    void emptyPathKeepsTheDialogOpenAndCancelSavesNothing() {
        bool stayedOpen = false;
        AddFavourite([this, &stayedOpen](TfrmAddFav& dialog) {
            ClickOK(dialog);
            stayedOpen = dialog.isVisible();
            Type(dialog, "typed", "");
            QTest::mouseClick(dialog.findChild<QPushButton*>("LMDButton1"), Qt::LeftButton);
            return true;
        });
        QVERIFY(stayedOpen);
        QCOMPARE(m_prompts->shown,
                 std::vector<std::string>({"Error: Please enter a valid path in UNC or drive "
                                           "letter format"}));
        const size_t calls = m_registry->calls.size();
        AddFavourite([](TfrmAddFav& dialog) {
            Type(dialog, "typed", "/srv/typed");
            dialog.reject();  // Esc, or the close box
            return true;
        });
        QCOMPARE(m_registry->calls.size(), calls);
        QCOMPARE(Node({"Favourite Paths"})->childCount(), 3);
        // The next opening shows both fields empty.
        QString description = "x";
        QString path = "x";
        AddFavourite([&](TfrmAddFav& dialog) {
            description = dialog.txtDescription()->text();
            path = dialog.txtPath()->text();
            return false;
        });
        QCOMPARE(description, QString());
        QCOMPARE(path, QString());
    }

    void deletingRemovesTheChosenFavouriteOfTwoWithOneDescription() {
        StoreFavourites({"Docs|||/p1", "Docs|||/p2", "Other|||/p3"});
        Start();
        QTreeWidgetItem* favourites = Node({"Favourite Paths"});
        QTreeWidgetItem* second = favourites->child(2);
        QCOMPARE(ItemOf(second)->path, std::string("/p2"));
        Select(second);
        m_prompts->shown.clear();
        m_prompts->answers = {false};
        Browser().mnuDrives()->findChild<QAction*>("mniDeleteFavourite")->trigger();
        QCOMPARE(favourites->childCount(), 4);

        Browser().mnuDrives()->findChild<QAction*>("mniDeleteFavourite")->trigger();
        QCOMPARE(m_prompts->shown, std::vector<std::string>({"Ask: Delete Favourite : Docs",
                                                             "Ask: Delete Favourite : Docs"}));
        QCOMPARE(Children(favourites), QStringList({"Add New Favourite", "Docs", "Other"}));
        QCOMPARE(ItemOf(favourites->child(1))->path, std::string("/p1"));
        QCOMPARE(StoredFavourites(), QStringList({"Docs|||/p1", "Other|||/p3"}));
        QCOMPARE(Tree()->SelectedNode(), nullptr);

        // The next start shows the favourite that was kept, as the tree did.
        m_window = MakeWindow();
        Start();
        QTreeWidgetItem* reloaded = Node({"Favourite Paths", "Docs"});
        QCOMPARE(ItemOf(reloaded)->path, std::string("/p1"));
        QCOMPARE(Node({"Favourite Paths"})->childCount(), 3);

        // Deleting the last ones leaves "Add New Favourite" alone, without opening its dialog.
        AutoDismiss dismiss;
        m_prompts->shown.clear();
        for (const char* caption : {"Other", "Docs"}) {
            Select(Node({"Favourite Paths", caption}));
            Browser().mnuDrives()->findChild<QAction*>("mniDeleteFavourite")->trigger();
        }
        QCOMPARE(Children(Node({"Favourite Paths"})), QStringList({"Add New Favourite"}));
        QCOMPARE(StoredFavourites(), QStringList());
        QCOMPARE(m_prompts->shown.size(), size_t{4});  // two cannot-find errors, two questions
        QVERIFY(dismiss.seen.empty());
    }

    void browsingFillsThePathOnlyWhenAFolderIsChosen() {
        QStringList seen;
        AddFavourite([this, &seen](TfrmAddFav& dialog) {
            Type(dialog, "Mine", "typed");
            auto* browse = dialog.findChild<QPushButton*>("LMDButton2");
            QTest::mouseClick(browse, Qt::LeftButton);
            seen << dialog.txtPath()->text();
            m_folders->answer = "/srv/chosen";
            QTest::mouseClick(browse, Qt::LeftButton);
            seen << dialog.txtPath()->text() << dialog.txtDescription()->text();
            ClickOK(dialog);
            return true;
        });
        QCOMPARE(m_folders->shown, 2);
        QCOMPARE(seen, QStringList({"typed", "/srv/chosen", "Mine"}));
        QCOMPARE(StoredFavourites().last(), QString("Mine|||/srv/chosen"));
    }

    void aDescriptionWithTheSeparatorIsRefusedAndAStoredOneIsCutAtItsFirst() {
        bool stayedOpen = false;
        AddFavourite([&stayedOpen](TfrmAddFav& dialog) {
            Type(dialog, "a|||b", "/p");
            ClickOK(dialog);
            stayedOpen = dialog.isVisible();
            dialog.txtDescription()->setText("a||b");
            ClickOK(dialog);
            return true;
        });
        QVERIFY(stayedOpen);
        QCOMPARE(m_prompts->shown,
                 std::vector<std::string>({"Error: A description cannot contain |||"}));
        QCOMPARE(StoredFavourites().last(), QString("a||b|||/p"));
        QCOMPARE(ItemOf(Node({"Favourite Paths", "a||b"}))->path, std::string("/p"));

        // An entry made elsewhere (the registry edited by hand) splits at its first "|||".
        StoreFavourites({"a|||b|||/p"});
        m_window = MakeWindow();
        Start();
        QCOMPARE(ItemOf(Node({"Favourite Paths", "a"}))->path, std::string("b|||/p"));
    }

    void mapDriveRebuildsTheTreeWhateverHappens() {
        Node({"Drives", "C: (SYSTEM)"})->setExpanded(true);
        Select(Node({"Drives", "D: ()"}));
        m_mapper->systemDialog = true;
        QTest::mouseClick(m_window->findChild<QPushButton*>("cmdMapDrive"), Qt::LeftButton);
        QCOMPARE(m_mapper->dialogs, 1);
        QCOMPARE(m_drives->scans, 2);
        QCOMPARE(Children(Node({"Drives", "C: (SYSTEM)"})), QStringList({"Working..."}));
        QCOMPARE(Tree()->SelectedNode(), nullptr);

        m_mapper->systemDialog = false;
        m_mapper->missing = "Map Drive mounts shares through GVfs, but it is missing.";
        QTest::mouseClick(m_window->findChild<QPushButton*>("cmdMapDrive"), Qt::LeftButton);
        QCOMPARE(m_prompts->shown, std::vector<std::string>({"Error: " + m_mapper->missing}));
        QCOMPARE(m_drives->scans, 3);

        m_mapper->missing.clear();
        m_mapper->mapError = "Access denied";
        AutoDismiss dismiss;
        dismiss.onDialog = [](QWidget* dialog) {
            auto* map = qobject_cast<TfrmMapDrive*>(dialog);
            if (map == nullptr) {
                return false;
            }
            map->txtShare()->setText(" \\\\srv\\data ");
            QTest::mouseClick(map->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
            return true;
        };
        QTest::mouseClick(m_window->findChild<QPushButton*>("cmdMapDrive"), Qt::LeftButton);
        QCOMPARE(m_mapper->mapped, std::vector<std::string>({"\\\\srv\\data"}));
        QCOMPARE(m_prompts->shown.back(), std::string("Error: Access denied"));
        QCOMPARE(m_drives->scans, 4);
    }

    // A browser wired without a service or a host function refuses to be built, naming what
    // is missing, where it would otherwise show an empty tree or fail at the first click.
    // The folder dialog alone may be left out: the toolkit's serves.
    void aBrowserMissingAServiceIsRefusedByName_data() {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<QString>("message");
        const QString prefix = "The path browser was built without ";
        QTest::newRow("drives") << "drives" << prefix + "a drive source";
        QTest::newRow("directories") << "directories" << prefix + "a directory lister";
        QTest::newRow("mapper") << "mapper" << prefix + "a drive mapper";
        for (const char* function : {"setPathText", "setStatusText", "checkPath",
                                     "showDirectoryNames", "favourites", "saveFavourites"}) {
            QTest::newRow(function) << function << prefix + "every host function";
        }
        QTest::newRow("folders") << "folders" << QString();
    }
    void aBrowserMissingAServiceIsRefusedByName() {
        QFETCH(QString, missing);
        QFETCH(QString, message);
        BrowserServices services = test::FakeBrowserServices();
        std::vector<std::string> favourites;
        BrowserHost host = test::QuietBrowserHost(favourites);
        const std::map<QString, std::function<void()>> drop = {
            {"drives", [&] { services.drives.reset(); }},
            {"directories", [&] { services.directories.reset(); }},
            {"mapper", [&] { services.mapper.reset(); }},
            {"folders", [&] { services.folders.reset(); }},
            {"setPathText", [&] { host.setPathText = nullptr; }},
            {"setStatusText", [&] { host.setStatusText = nullptr; }},
            {"checkPath", [&] { host.checkPath = nullptr; }},
            {"showDirectoryNames", [&] { host.showDirectoryNames = nullptr; }},
            {"favourites", [&] { host.favourites = nullptr; }},
            {"saveFavourites", [&] { host.saveFavourites = nullptr; }},
        };
        drop.at(missing)();
        QSplitter splitter;
        QString thrown;
        try {
            TPathBrowser browser(&splitter, std::move(services), std::move(host), *m_prompts);
        } catch (const std::invalid_argument& e) {
            thrown = e.what();
        }
        QCOMPARE(thrown, message);
        // A refused browser leaves nothing in the splitter; a built one its tree and list.
        QCOMPARE(splitter.count(), message.isEmpty() ? 2 : 0);
    }
};

}  // namespace pellquin

QTEST_MAIN(pellquin::PathBrowserTest)
#include "path_browser_test.moc"
