// The start-up and close sequences of the program's window, run as successive sessions over
// one registry: each session is a new window, ended by its close (or not at all, as when the
// process is killed).

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <fstream>
#include <memory>

#include "app/frm_pellquin.h"
#include "app/window_geometry.h"
#include "fake_context_menu.h"
#include "fake_html_help.h"
#include "fake_net_file_api.h"
#include "fake_path_probe.h"
#include "fake_registry.h"
#include "fake_service_exchange.h"
#include "fake_system_info.h"
#include "fake_universal_names.h"
#include "fake_window_parts.h"
#include "help/html_help_system.h"
#include "scripted_prompts.h"
#include "shell/context_menus.h"

namespace pellquin {
namespace {

const char* const kShare = "\\\\srv\\data";
const char* const kOther = "\\\\srv\\other";
const char* const kDefaultsKey = "Software\\Morrowfen\\Pellquin\\Defaults";
const std::string kWelcome =
    "Ask: Welcome to Pellquin\r\n\r\nPellquin can add a \"Check with Pellquin\" option to the "
    "Windows Explorer right click menu.\r\n This will enable you to check files and directories "
    "without needing to use the Pellquin GUI.\r\n\r\nAdd the menu to Explorer?";

// Counts the window's paint events, so a box can tell whether the window was drawn first.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

}  // namespace

class FrmPellquinStartupTest : public QObject {
    Q_OBJECT

private:
    test::FakeNetFileApi* m_net = nullptr;
    std::unique_ptr<TmodPQ> m_modPQ;
    std::unique_ptr<test::FakeRegistry> m_registry;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<test::FakePathProbe> m_probe;
    std::unique_ptr<QTemporaryDir> m_installDir;

    // One session.
    std::unique_ptr<test::ScriptedPrompts> m_prompts;
    test::FakeContextMenu* m_menu = nullptr;
    test::FakeHtmlHelp* m_viewer = nullptr;
    std::unique_ptr<ContextMenus> m_contextMenus;
    std::unique_ptr<HtmlHelpSystem> m_help;
    std::unique_ptr<TfrmPellquin> m_window;
    PaintCounter m_paints;
    // At each box: whether the window was on screen and drawn, and how many listings ran.
    std::vector<bool> m_drawnAtBox;
    std::vector<size_t> m_listingsAtBox;

    std::string Executable() const {
        return m_installDir->path().toStdString() + "/bin dir/pellquin";
    }

    void Start(std::vector<std::string> arguments, std::deque<bool> answers = {}) {
        m_prompts = std::make_unique<test::ScriptedPrompts>();
        m_prompts->answers = std::move(answers);
        m_drawnAtBox.clear();
        m_listingsAtBox.clear();
        m_prompts->onShow = [this](const std::string&) {
            m_drawnAtBox.push_back(m_window->isVisible() && m_window->windowHandle()->isExposed() &&
                                   m_paints.paints > 0);
            m_listingsAtBox.push_back(m_net->enumCalls.size());
        };
        auto menu = std::make_unique<test::FakeContextMenu>();
        m_menu = menu.get();
        m_contextMenus = std::make_unique<ContextMenus>(std::move(menu), Executable(), *m_prompts);
        auto viewer = std::make_unique<test::FakeHtmlHelp>();
        m_viewer = viewer.get();
        m_help = std::make_unique<HtmlHelpSystem>(std::move(viewer), Executable(), *m_prompts);
        m_net->enumCalls.clear();
        m_probe->calls.clear();
        m_paints.paints = 0;
        m_window = std::make_unique<TfrmPellquin>(test::MakeWindowServices(
            *m_modPQ, *m_settings, *m_probe, *m_prompts, *m_contextMenus, *m_help));
        m_window->installEventFilter(&m_paints);
        m_window->Start(arguments);
        QTRY_VERIFY(m_window->StartupDone());
    }
    // A normal end: the window's close (menu "Exit").
    void Exit() {
        m_window->findChild<QAction*>("Exit1")->trigger();
        QVERIFY(!m_window->isVisible());
        Kill();
    }
    // The process ends without the window's close event.
    void Kill() {
        m_window.reset();
        m_help.reset();
        m_contextMenus.reset();
    }

    template <typename T>
    T* Find(const char* name) {
        T* widget = m_window->findChild<T*>(name);
        if (widget == nullptr) {
            qFatal("no widget %s", name);
        }
        return widget;
    }
    QComboBox* PathBox() { return Find<QComboBox>("cboFileName"); }
    QString CurrentTab() { return Find<QTabWidget>("pagPellquin")->currentWidget()->objectName(); }
    QStringList PickList() {
        QStringList items;
        for (int i = 0; i < PathBox()->count(); ++i) {
            items << PathBox()->itemText(i);
        }
        return items;
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        auto net = std::make_unique<test::FakeNetFileApi>();
        m_net = net.get();
        m_net->shareFolders["data"] = "D:\\Data";
        m_modPQ =
            std::make_unique<TmodPQ>(std::move(net), std::make_unique<test::FakeUniversalNames>(),
                                     std::make_unique<test::FakeSystemInfo>(),
                                     std::make_unique<test::FakeServiceExchange>());
        m_registry = std::make_unique<test::FakeRegistry>();
        m_settings = std::make_unique<SettingsStore>(*m_registry);
        m_probe = std::make_unique<test::FakePathProbe>();
        m_probe->directories = {kShare, kOther};
        m_installDir = std::make_unique<QTemporaryDir>();
    }

    void cleanup() {
        Kill();
        m_modPQ.reset();
    }

    void firstStartOffersTheMenuOverTheDrawnWindowUntilARunEndsNormally() {
        Start({}, {false});
        QCOMPARE(m_prompts->shown, std::vector<std::string>{kWelcome});
        QCOMPARE(m_drawnAtBox, std::vector<bool>{true});
        QVERIFY(m_menu->calls.empty());  // No installs nothing
        QCOMPARE(CurrentTab(), QString("tabPath"));
        QCOMPARE(m_viewer->loads, 1);
        QVERIFY(m_probe->calls.empty());

        // Killed: the flag never reached the registry.
        Kill();
        QCOMPARE(m_registry->GetDword(RegistryRoot::CurrentUser, kDefaultsKey, "DoneFirstRun"),
                 std::nullopt);
        Start({}, {false});
        QCOMPARE(m_prompts->shown, std::vector<std::string>{kWelcome});

        Exit();
        QCOMPARE(m_registry->GetDword(RegistryRoot::CurrentUser, kDefaultsKey, "DoneFirstRun"),
                 std::optional<uint32_t>(1));
        Start({});
        QVERIFY(m_prompts->shown.empty());
    }

    void yesInstallsTheMenusForThisExecutable() {
        Start({}, {true});
        QCOMPARE(m_menu->calls, std::vector<std::string>{"Install " + Executable()});
        QCOMPARE(m_prompts->shown,
                 (std::vector<std::string>{kWelcome,
                                           "Message: Explorer Context Menu added successfully"}));
        // The Options tab's buttons run the same operations.
        Find<QPushButton>("LMDButton3")->click();
        Find<QPushButton>("LMDButton2")->click();
        QCOMPARE(m_menu->calls, (std::vector<std::string>{"Install " + Executable(), "Remove",
                                                          "Install " + Executable()}));

        // An entry left out (a malformed Thunar file, say) is told before the success.
        m_prompts->shown.clear();
        m_menu->warning = "Thunar's custom actions file /x/uca.xml is malformed";
        Find<QPushButton>("LMDButton2")->click();
        QCOMPARE(m_prompts->shown,
                 (std::vector<std::string>{
                     "Warning: Thunar's custom actions file /x/uca.xml is malformed",
                     "Message: Explorer Context Menu added successfully"}));
    }

    void onlyAFirstNonEmptyArgumentIsChecked_data() {
        QTest::addColumn<std::vector<std::string>>("arguments");
        QTest::addColumn<QString>("checked");  // empty: nothing is checked
        QTest::newRow("a path") << std::vector<std::string>{kShare} << QString(kShare);
        QTest::newRow("a second argument is ignored")
            << std::vector<std::string>{kShare, kOther} << QString(kShare);
        QTest::newRow("an empty first argument") << std::vector<std::string>{""} << QString();
        QTest::newRow("an empty first argument before a path")
            << std::vector<std::string>{"", kShare} << QString();
        QTest::newRow("no argument") << std::vector<std::string>{} << QString();
    }
    void onlyAFirstNonEmptyArgumentIsChecked() {
        QFETCH(std::vector<std::string>, arguments);
        QFETCH(QString, checked);
        m_net->rounds.push_back({0, {OpenFileEntry{7, 1, 0, "D:\\Data\\a.txt", "bob"}}});
        Start(arguments, {false});
        // The welcome box comes first, before any listing.
        QCOMPARE(m_prompts->shown, std::vector<std::string>{kWelcome});
        QCOMPARE(m_listingsAtBox, std::vector<size_t>{0});
        QCOMPARE(PathBox()->currentText(), checked);
        if (checked.isEmpty()) {
            QVERIFY(m_probe->calls.empty());
            QVERIFY(m_net->enumCalls.empty());
            QCOMPARE(CurrentTab(), QString("tabPath"));
        } else {
            QCOMPARE(m_probe->calls.front(), checked.toStdString());
            QCOMPARE(m_net->enumCalls.size(), size_t(1));
            QCOMPARE(CurrentTab(), QString("tabUsers"));
            QCOMPARE(PickList(), QStringList{checked});
        }
    }

    void aFailedCheckAtStartIsShownAfterTheWelcomeBox() {
        Start({"\\\\srv\\missing"}, {false});
        QCOMPARE(m_prompts->shown,
                 (std::vector<std::string>{
                     kWelcome,
                     "Error: \\\\srv\\missing Does not appear to be a valid file or directory"}));
        QCOMPARE(m_drawnAtBox, (std::vector<bool>{true, true}));
    }

    void optionsComeBackAsSavedAndTheWindowAndPickListAsClosed() {
        Start({}, {false});
        Find<QRadioButton>("optDirectOnly")->setChecked(true);
        Find<QPushButton>("cmdSetDefault")->click();
        // Changed and not saved.
        Find<QRadioButton>("optServiceOnly")->setChecked(true);
        Find<QCheckBox>("chkPromptClearConnection")->setChecked(false);
        m_window->move(120, 90);
        m_window->resize(900, 640);
        m_window->SetDrivesWidth(260);
        m_window->UpdatePickList("\\\\srv\\a");
        m_window->UpdatePickList("\\\\srv\\b");
        QTRY_COMPARE(m_window->size(), QSize(900, 640));
        const QRect closedAt = m_window->frameGeometry();
        Exit();

        // Several sessions in a row: nothing drifts.
        for (int session = 0; session < 3; ++session) {
            Start({});
            QVERIFY(Find<QRadioButton>("optDirectOnly")->isChecked());
            QVERIFY(!Find<QRadioButton>("optServiceOnly")->isChecked());
            QVERIFY(Find<QCheckBox>("chkPromptClearConnection")->isChecked());
            QCOMPARE(m_window->frameGeometry(), closedAt);
            QCOMPARE(m_window->DrivesWidth(), 260);
            QCOMPARE(PickList(), (QStringList{"\\\\srv\\b", "\\\\srv\\a"}));
            QCOMPARE(PathBox()->currentText(), QString());
            Exit();
        }
    }

    // On X11 a window has no frame until the window manager has framed it after mapping; the
    // stored outer bounds must not turn into inner bounds there, or the window grows by its
    // frame at every start. A window that reads its geometry before it has any frame at all
    // shows the same.
    void geometryReadBeforeTheWindowHasAFrameComesBackAsStored() {
        const QRect stored(150, 110, 870, 610);
        for (const auto& [name, value] : {std::pair<const char*, int>{"WindowLeft", stored.x()},
                                          {"WindowTop", stored.y()},
                                          {"WindowHeight", stored.height()},
                                          {"WindowWidth", stored.width()}}) {
            m_registry->PutDword(RegistryRoot::CurrentUser, kDefaultsKey, name,
                                 static_cast<uint32_t>(value));
        }
        m_prompts = std::make_unique<test::ScriptedPrompts>();
        test::FakeWindowParts parts(*m_prompts);
        TfrmPellquin window(parts.Services(*m_modPQ, *m_settings, *m_probe));
        QVERIFY(window.windowHandle() == nullptr);
        window.LoadDefaults();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.frameGeometry() != window.geometry());  // the platform draws a frame
        QTRY_COMPARE(window.frameGeometry(), stored);
    }

    // The platform here has two screens side by side (tests/app/two_screens.json): 1920 by
    // 1080 at the origin and 1280 by 1024 to its right.
    void storedBoundsThatFitNoScreenComeBackOnTheNearestAndCappedToIt() {
        const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
        struct Case {
            const char* what;
            QRect stored;  // as left, top, width, height; the ints are taken as they are
            QRect expected;
        } const cases[] = {
            {"fits the first screen", QRect(150, 110, 870, 610), QRect(150, 110, 870, 610)},
            {"fits the second screen", QRect(2000, 20, 800, 600), QRect(2000, 20, 800, 600)},
            {"far right, below", QRect(100000, 90000, 800, 600), QRect(2400, 424, 800, 600)},
            {"far left, above", QRect(-50000, -70000, 800, 600), QRect(0, 0, 800, 600)},
            {"across both: the one holding more", QRect(1800, 100, 800, 600),
             QRect(1920, 100, 800, 600)},
            {"taller than any screen", QRect(10, 10, 700, 5000), QRect(10, 0, 700, 1080)},
            {"no size", QRect(10, 10, 0, -4), QRect(10, 10, 1, 1)},
        };
        for (const Case& c : cases) {
            QCOMPARE_EQ(BoundedToScreens(c.stored.x(), c.stored.y(), c.stored.width(),
                                         c.stored.height(), screens),
                        c.expected);
        }
        // Sizes at the edge of int (a stored 0x7fffffff) do not overflow.
        QCOMPARE(BoundedToScreens(0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff, screens),
                 QRect(1920, 0, 1280, 1024));
        QCOMPARE(BoundedToScreens(-0x7fffffff - 1, 5, 0x7fffffff, 0x7fffffff, screens),
                 QRect(0, 0, 1920, 1080));
    }

    void aHugeStoredWindowFarOffScreenStartsOnAScreenAndWithinIt() {
        for (const auto& [name, value] : {std::pair<const char*, uint32_t>{"WindowLeft", 100000},
                                          {"WindowTop", 0x7fffff00},
                                          {"WindowHeight", 0x7fffffff},
                                          {"WindowWidth", 0x7fffffff},
                                          {"DoneFirstRun", 1}}) {
            m_registry->PutDword(RegistryRoot::CurrentUser, kDefaultsKey, name, value);
        }
        Start({});
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        const QRect second(1920, 0, 1280, 1024);
        QTRY_VERIFY2(second.contains(m_window->frameGeometry()),
                     qPrintable(QString("frame at %1,%2 %3x%4")
                                    .arg(m_window->frameGeometry().x())
                                    .arg(m_window->frameGeometry().y())
                                    .arg(m_window->frameGeometry().width())
                                    .arg(m_window->frameGeometry().height())));
        Exit();
        // What is saved is where the window was, so the next start needs no mending.
        QVERIFY(m_registry->GetDword(RegistryRoot::CurrentUser, kDefaultsKey, "WindowLeft")
                    .value_or(0) >= 1920u);
    }

    void helpFromTheWindow() {
        const QString binDir = QString::fromStdString(Executable()).section('/', 0, -2);
        QVERIFY(QDir().mkpath(binDir));
        std::ofstream((binDir + "/Pellquin.chm").toStdString()) << "help";
        Start({}, {false});
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));

        // F1 shows the window's topic whichever control has the focus.
        PathBox()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        Find<QTabWidget>("pagPellquin")->setCurrentIndex(3);
        Find<QPushButton>("cmdSetDefault")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        // The Help menu item shows the contents.
        m_window->findChild<QAction*>("PellquinHelp1")->trigger();

        QCOMPARE(m_viewer->shown.size(), size_t(3));
        for (size_t i = 0; i < 2; ++i) {
            QCOMPARE(int(m_viewer->shown[i].command), int(kHhHelpContext));
            QCOMPARE(m_viewer->shown[i].data, kMainWindowHelpContext);
        }
        QCOMPARE(int(m_viewer->shown[2].command), int(kHhDisplayToc));
        QCOMPARE(m_viewer->shown[2].helpFile, (binDir + "/Pellquin.chm").toStdString());
        QCOMPARE(m_prompts->shown, std::vector<std::string>{kWelcome});

        // F1 in an open menu asks for context 0: no menu item carries one.
        QMenu* helpMenu = m_window->findChild<QMenu*>("Help1");
        helpMenu->popup(m_window->mapToGlobal(QPoint(0, 0)));
        QVERIFY(QTest::qWaitForWindowExposed(helpMenu));
        QTest::keyClick(helpMenu, Qt::Key_F1);
        helpMenu->close();
        QCOMPARE(m_viewer->shown.size(), size_t(4));
        QCOMPARE(int(m_viewer->shown[3].command), int(kHhHelpContext));
        QCOMPARE(m_viewer->shown[3].data, 0);

        // Another window of the program (a dialog it owns) has no help context.
        QDialog dialog(m_window.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &dialog);
        QTest::keyClick(&dialog, Qt::Key_F1);
        QCOMPARE(m_viewer->shown.size(), size_t(4));
    }
};

}  // namespace pellquin

QTEST_MAIN(pellquin::FrmPellquinStartupTest)
#include "frm_pellquin_startup_test.moc"
