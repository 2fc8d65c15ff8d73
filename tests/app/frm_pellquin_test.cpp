#include "app/frm_pellquin.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>

#include "app/auto_refresh.h"
#include "app/frm_status.h"
#include "fake_net_file_api.h"
#include "fake_path_probe.h"
#include "fake_registry.h"
#include "fake_service_exchange.h"
#include "fake_system_info.h"
#include "fake_universal_names.h"
#include "fake_window_parts.h"
#include "scripted_prompts.h"

namespace pellquin {
namespace {

const char* const kShare = "\\\\srv\\data";
const char* const kOptionsKey = "Software\\Morrowfen\\Pellquin\\Options";

// The fake server, also noting what the status pop-up showed at each close and at the
// enumeration of the refresh that ends a walk.
class WatchedNetFileApi : public test::FakeNetFileApi {
public:
    TfrmStatus* popup = nullptr;
    std::vector<QString> closeSteps;
    std::vector<QString> enumSteps;

    // Per close: whether the pop-up's pixels on screen are the pop-up with its current step.
    std::vector<bool> closeShownOnScreen;

    uint32_t FileClose(const std::optional<std::string>& server, uint32_t id) override {
        closeSteps.push_back(popup != nullptr && popup->isVisible() ? popup->Step() : QString());
        if (popup != nullptr && popup->isVisible() && popup->windowHandle() != nullptr) {
            const QImage onScreen = popup->screen()
                                        ->grabWindow(popup->winId())
                                        .toImage()
                                        .convertToFormat(QImage::Format_RGB32);
            const QImage drawn = popup->grab().toImage().convertToFormat(QImage::Format_RGB32);
            closeShownOnScreen.push_back(!onScreen.isNull() && onScreen == drawn);
        }
        return FakeNetFileApi::FileClose(server, id);
    }
    uint32_t FileEnum(const std::optional<std::string>& server, const std::string& basePath,
                      uint32_t* resumeHandle, std::vector<OpenFileEntry>* entries) override {
        enumSteps.push_back(popup != nullptr && popup->isVisible() ? popup->Step() : QString());
        return FakeNetFileApi::FileEnum(server, basePath, resumeHandle, entries);
    }
};

OpenFileEntry Entry(uint32_t id, const std::string& name = "D:\\Data\\f.txt",
                    uint32_t permissions = 1, const std::string& user = "bob") {
    return OpenFileEntry{id, permissions, 0, name, user};
}

QString Plain(QString caption) {
    return caption.remove('&');
}

}  // namespace

class FrmPellquinTest : public QObject {
    Q_OBJECT

private:
    WatchedNetFileApi* m_net = nullptr;
    test::FakeServiceExchange* m_service = nullptr;
    std::unique_ptr<TmodPQ> m_modPQ;
    std::unique_ptr<test::FakeRegistry> m_registry;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<test::FakePathProbe> m_probe;
    std::unique_ptr<test::ScriptedPrompts> m_prompts;
    std::unique_ptr<test::FakeWindowParts> m_parts;
    std::unique_ptr<TfrmPellquin> m_window;
    std::unique_ptr<QSignalSpy> m_statusSpy;

    template <typename T>
    T* Find(const char* name) {
        T* widget = m_window->findChild<T*>(name);
        if (widget == nullptr) {
            qFatal("no widget %s", name);
        }
        return widget;
    }
    QComboBox* PathBox() { return Find<QComboBox>("cboFileName"); }
    QTreeView* List() { return Find<QTreeView>("lvwItems"); }
    QTabWidget* Pages() { return Find<QTabWidget>("pagPellquin"); }
    void Click(const char* button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }

    QString Cell(int row, int column) {
        return List()->model()->index(row, column).data().toString();
    }
    QStringList Column(int column) {
        QStringList cells;
        for (int r = 0; r < List()->model()->rowCount(); ++r) {
            cells << Cell(r, column);
        }
        return cells;
    }
    QStringList PickList() {
        QStringList items;
        for (int i = 0; i < PathBox()->count(); ++i) {
            items << PathBox()->itemText(i);
        }
        return items;
    }
    QStringList StatusTexts() {
        QStringList texts;
        for (const QList<QVariant>& args : *m_statusSpy) {
            texts << args.at(0).toString();
        }
        m_statusSpy->clear();
        return texts;
    }
    // Serves one listing for the next check.
    void Serve(std::vector<OpenFileEntry> entries) {
        m_net->rounds.push_back({NET_OK, std::move(entries)});
    }
    void CheckShare(std::vector<OpenFileEntry> entries) {
        Serve(std::move(entries));
        PathBox()->setEditText(kShare);
        Click("LMDButton4");
    }
    void SelectRows(std::initializer_list<int> rows) {
        List()->clearSelection();
        for (int row : rows) {
            List()->selectionModel()->select(
                List()->model()->index(row, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    std::vector<uint32_t> ClosedIds() {
        std::vector<uint32_t> ids;
        for (const auto& call : m_net->closeCalls) {
            ids.push_back(call.id);
        }
        return ids;
    }
    void ClickHeader(int column) {
        QHeaderView* header = List()->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 5, 5));
    }

private slots:
    void init() {
        auto net = std::make_unique<WatchedNetFileApi>();
        auto service = std::make_unique<test::FakeServiceExchange>();
        m_net = net.get();
        m_service = service.get();
        m_net->shareFolders["data"] = "D:\\Data";
        m_modPQ =
            std::make_unique<TmodPQ>(std::move(net), std::make_unique<test::FakeUniversalNames>(),
                                     std::make_unique<test::FakeSystemInfo>(), std::move(service));
        m_registry = std::make_unique<test::FakeRegistry>();
        m_settings = std::make_unique<SettingsStore>(*m_registry);
        m_probe = std::make_unique<test::FakePathProbe>();
        m_probe->directories = {kShare};
        m_prompts = std::make_unique<test::ScriptedPrompts>();
        m_parts = std::make_unique<test::FakeWindowParts>(*m_prompts);
        m_window =
            std::make_unique<TfrmPellquin>(m_parts->Services(*m_modPQ, *m_settings, *m_probe));
        m_net->popup = &m_window->frmStatus();
        m_statusSpy =
            std::make_unique<QSignalSpy>(m_window->statusBar(), &QStatusBar::messageChanged);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup() {
        m_statusSpy.reset();
        m_window.reset();
        m_parts.reset();
        m_modPQ.reset();
    }

    void windowStartsAsLaidOut() {
        QCOMPARE(m_window->windowTitle(), QString("Pellquin"));
        QCOMPARE(m_window->pos(), QPoint(291, 219));
        const int menuHeight = m_window->menuBar()->height();
        QCOMPARE(m_window->width(), 803);
        QCOMPARE(m_window->height() - menuHeight, 496);
        QCOMPARE(m_window->statusBar()->height(), 23);

        QStringList captions;
        for (int i = 0; i < Pages()->count(); ++i) {
            captions << Plain(Pages()->tabText(i));
        }
        QCOMPARE(captions, QStringList({"Path/File", "Users", "Service Control", "Options"}));
        QCOMPARE(Pages()->currentWidget()->objectName(), QString("tabPath"));
        QVERIFY(!m_window->frmStatus().isVisible());
        QCOMPARE(m_window->frmStatus().size(), QSize(249, 61));

        QTimer* timer = Find<QTimer>("Timer1");
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 1000);

        QStringList items;
        for (QAction* menu : m_window->menuBar()->actions()) {
            items << Plain(menu->text()) + ":";
            for (QAction* item : menu->menu()->actions()) {
                items << (item->isSeparator() ? "-" : Plain(item->text()));
            }
        }
        QCOMPARE(items, QStringList({"File:", "Exit", "Edit:", "Copy Results to Clipboard",
                                     "Help:", "Pellquin Help", "-", "About"}));

        QHeaderView* header = List()->header();
        const char* const headers[] = {"ID", "File Name", "User Name", "# Locks", "Permissions"};
        const int widths[] = {50, 200, 150, 50, 100};
        for (int c = 0; c < 5; ++c) {
            QCOMPARE(List()->model()->headerData(c, Qt::Horizontal).toString(),
                     QString(headers[c]));
            QCOMPARE(header->sectionSize(c), widths[c]);
        }
        QCOMPARE(List()->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(List()->selectionBehavior(), QAbstractItemView::SelectRows);
    }

    // Every control a user can reach with Tab carries a name a screen reader can speak.
    void everyFocusableControlHasAnAccessibleName() {
        for (QWidget* widget : m_window->findChildren<QWidget*>()) {
            if (widget->focusPolicy() & Qt::TabFocus && widget->isEnabled() &&
                !widget->inherits("QScrollBar") && !widget->inherits("QTabBar") &&
                qobject_cast<QWidget*>(widget->parent()) != nullptr &&
                !widget->parent()->inherits("QAbstractScrollArea") && !widget->inherits("QMenu")) {
                QVERIFY2(
                    !widget->accessibleName().isEmpty(),
                    qPrintable(widget->objectName() + " " + widget->metaObject()->className()));
            }
        }
    }

    void checkRefusesEmptyAndMissingPaths_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << ""
                               << "Error: Select a file, directory or drive to check";
        QTest::newRow("missing") << "\\\\srv\\gone"
                                 << "Error: \\\\srv\\gone Does not appear to be a valid file or "
                                    "directory";
    }
    void checkRefusesEmptyAndMissingPaths() {
        QFETCH(QString, path);
        QFETCH(QString, message);
        CheckShare({Entry(1)});
        const QStringList picks = PickList();
        Pages()->setCurrentIndex(0);
        StatusTexts();
        const size_t enumerations = m_net->enumCalls.size();

        PathBox()->setEditText(path);
        Click("LMDButton1");

        QCOMPARE(m_prompts->shown, std::vector<std::string>({message.toStdString()}));
        QCOMPARE(m_net->enumCalls.size(), enumerations);
        QCOMPARE(Column(0), QStringList({"1"}));
        QCOMPARE(PickList(), picks);
        QCOMPARE(Pages()->currentIndex(), 0);
        QVERIFY(StatusTexts().isEmpty());
    }

    void successfulCheckFillsListAndPickList() {
        PathBox()->addItem("\\\\other\\x");
        CheckShare({Entry(7, "D:\\Data\\reports\\q1.xls", 0, "alice"),
                    Entry(2147483648u, "D:\\Data\\a.doc", 3), Entry(5, "D:\\Data\\b", 4),
                    Entry(6, "D:\\Data\\c", 7)});

        QCOMPARE(StatusTexts(), QStringList({"Getting Data", "Clearing Previous Results",
                                             "Filling List", "Finished"}));
        // Hovering a menu item (it sends its empty status tip) leaves the text in place.
        Find<QAction>("CopyResultstoClipboard1")->showStatusText(m_window.get());
        QCOMPARE(m_window->statusBar()->currentMessage(), QString("Finished"));
        StatusTexts();
        QVERIFY(m_prompts->shown.empty());
        QCOMPARE(Pages()->currentWidget()->objectName(), QString("tabUsers"));
        QCOMPARE(PickList(), QStringList({kShare, "\\\\other\\x"}));
        QCOMPARE(PathBox()->currentText(), QString(kShare));
        // Rows stand in the text order of their ids.
        QCOMPARE(Column(0), QStringList({"-2147483648", "5", "6", "7"}));
        QCOMPARE(Column(1), QStringList({"\\\\srv\\data\\a.doc", "\\\\srv\\data\\b",
                                         "\\\\srv\\data\\c", "\\\\srv\\data\\reports\\q1.xls"}));
        QCOMPARE(Column(2), QStringList({"bob", "bob", "bob", "alice"}));
        QCOMPARE(Column(3), QStringList({"0", "0", "0", "0"}));
        QCOMPARE(Column(4), QStringList({"RW", "C", "RWC", ""}));
        QCOMPARE(List()->model()->index(0, 3).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                     Qt::AlignHorizontal_Mask,
                 Qt::AlignRight);

        // Server-relative names, and an id above 2^31 read back into the same 32 bits.
        Find<QRadioButton>("optServerRelative")->setChecked(true);
        m_prompts->answers = {true};
        CheckShare({Entry(2147483648u, "D:\\Data\\a.doc", 3)});
        QCOMPARE(Column(1), QStringList({"D:\\Data\\a.doc"}));
        SelectRows({0});
        Serve({});
        Click("cmdClear");
        QCOMPARE(m_prompts->shown,
                 std::vector<std::string>({"Ask: Clear Connection -2147483648?"}));
        QCOMPARE(ClosedIds(), std::vector<uint32_t>({2147483648u}));
    }

    void failedCheckShowsTheEngineText() {
        CheckShare({Entry(1)});
        Pages()->setCurrentIndex(0);
        StatusTexts();
        Find<QRadioButton>("optDirectOnly")->setChecked(true);
        m_net->shareResult = 53;
        PathBox()->setEditText("\\\\srv\\data\\sub");
        m_probe->directories.insert("\\\\srv\\data\\sub");
        Click("LMDButton4");

        QCOMPARE(m_prompts->shown,
                 std::vector<std::string>({"Error: The network path was not found"}));
        QCOMPARE(List()->model()->rowCount(), 0);
        QCOMPARE(Pages()->currentIndex(), 0);
        QCOMPARE(PickList(), QStringList({kShare}));
        QCOMPARE(StatusTexts(),
                 QStringList({"Getting Data", "Clearing Previous Results", "Finished"}));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // A reply cut short is shown as an unexpected failure; the window stays usable.
    void cutShortReplyIsShownAndTheWindowCarriesOn() {
        Find<QRadioButton>("optServiceOnly")->setChecked(true);
        m_service->reaction = test::FakeServiceExchange::Reaction::CutShort;
        PathBox()->setEditText(kShare);
        Click("LMDButton4");
        QCOMPARE(m_prompts->shown,
                 std::vector<std::string>({"Error: Connection Closed Gracefully."}));
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(StatusTexts().last(), QString("Finished"));

        m_service->reaction = test::FakeServiceExchange::Reaction::Answer;
        m_service->rows = {TPellquinItem{"D:\\Data\\x", "eve", 3, 1, 0}};
        Click("LMDButton4");
        QCOMPARE(Column(0), QStringList({"3"}));

        // The same failure during a clear ends the walk, hides the pop-up and skips the refresh.
        m_service->reaction = test::FakeServiceExchange::Reaction::CutShort;
        m_prompts->shown.clear();
        const size_t calls = m_service->calls.size();
        Click("cmdClearAll");
        QCOMPARE(m_prompts->shown,
                 std::vector<std::string>(
                     {"Ask: Clear All Connections ?", "Error: Connection Closed Gracefully."}));
        QCOMPARE(m_service->calls.size(), calls + 1);
        QVERIFY(!m_window->frmStatus().isVisible());
    }

    void idsStandInTextOrderAndHeaderClicksSort() {
        CheckShare({Entry(9, "D:\\Data\\b", 1, "Zed"), Entry(100, "D:\\Data\\a", 1, "amy"),
                    Entry(10, "D:\\Data\\c", 1, "bob")});
        QCOMPARE(Column(0), QStringList({"10", "100", "9"}));
        QHeaderView* header = List()->header();
        QVERIFY(header->sortIndicatorSection() < 0 || header->sortIndicatorSection() >= 5);

        ClickHeader(0);
        QCOMPARE(Column(0), QStringList({"9", "10", "100"}));
        QCOMPARE(header->sortIndicatorSection(), 0);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        ClickHeader(0);
        QCOMPARE(Column(0), QStringList({"100", "10", "9"}));
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        // Another column sorts in the current direction; text compares by character codes.
        ClickHeader(2);
        QCOMPARE(Column(2), QStringList({"bob", "amy", "Zed"}));
        QCOMPARE(header->sortIndicatorSection(), 2);
        ClickHeader(2);
        QCOMPARE(Column(2), QStringList({"Zed", "amy", "bob"}));

        // From the keyboard, the list's context menu sorts as the header does.
        Find<QAction>("mniSortColumn0")->trigger();
        QCOMPARE(Column(0), QStringList({"9", "10", "100"}));
        QCOMPARE(header->sortIndicatorSection(), 0);

        // A selection follows its row through a sort.
        SelectRows({0});
        ClickHeader(0);
        QCOMPARE(Column(0), QStringList({"100", "10", "9"}));
        QCOMPARE(List()->selectionModel()->selectedRows(0).value(0).data().toString(),
                 QString("9"));
    }

    // Whatever way the mouse events of a quick second click arrive, each click sorts once:
    // the second reverses the first.
    void aQuickSecondHeaderClickIsNeverLost() {
        QHeaderView* header = List()->header();
        const QPoint at(header->sectionViewportPosition(0) + 5, 5);
        QWidget* target = header->viewport();
        const auto send = [&](QEvent::Type type) {
            QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                              Qt::NoModifier);
            QApplication::sendEvent(target, &event);
        };
        const std::vector<std::vector<QEvent::Type>> secondClicks = {
            // the double-click comes in place of the second press
            {QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease},
            // it follows the second press
            {QEvent::MouseButtonPress, QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease},
        };
        for (const auto& second : secondClicks) {
            CheckShare({Entry(9), Entry(100), Entry(10)});
            send(QEvent::MouseButtonPress);
            send(QEvent::MouseButtonRelease);
            const QStringList afterFirst = Column(0);
            const Qt::SortOrder firstOrder = header->sortIndicatorOrder();
            for (QEvent::Type type : second) {
                send(type);
            }
            QStringList reversed = afterFirst;
            std::reverse(reversed.begin(), reversed.end());
            QCOMPARE(Column(0), reversed);
            QVERIFY(header->sortIndicatorOrder() != firstOrder);
        }
    }

    // What a screen reader is told: the status bar's current text, and the options as radio
    // buttons in groups that still keep their rules.
    void assistiveTechnologyReadsTheStatusTextAndTheRadioButtons() {
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(m_window->statusBar());
        QVERIFY(bar != nullptr);
        QCOMPARE(bar->role(), QAccessible::StatusBar);
        CheckShare({Entry(1)});
        QCOMPARE(bar->text(QAccessible::Name), QString("Finished"));
        PathBox()->setEditText("");
        Click("LMDButton4");
        m_window->statusBar()->clearMessage();
        QCOMPARE(bar->text(QAccessible::Name), QString("Status"));

        const char* const radios[] = {"optDirectThenService", "optDirectOnly", "optServiceOnly",
                                      "optClientRelative", "optServerRelative"};
        for (const char* name : radios) {
            QRadioButton* radio = Find<QRadioButton>(name);
            QAccessibleInterface* button = QAccessible::queryAccessibleInterface(radio);
            QVERIFY(button != nullptr);
            QCOMPARE_EQ(button->role(), QAccessible::RadioButton);
            QVERIFY2(button->state().checkable, name);
            QCOMPARE(bool(button->state().checked), radio->isChecked());
            QCOMPARE(button->text(QAccessible::Name), Plain(radio->text()));
        }
        // A click selects the button and deselects the others of its group; a click on the
        // selected one keeps it selected; the other group is not touched.
        QRadioButton* directOnly = Find<QRadioButton>("optDirectOnly");
        for (int click = 0; click < 2; ++click) {
            QTest::mouseClick(directOnly, Qt::LeftButton);
            QVERIFY(directOnly->isChecked());
            QVERIFY(!Find<QRadioButton>("optDirectThenService")->isChecked());
            QVERIFY(!Find<QRadioButton>("optServiceOnly")->isChecked());
            QVERIFY(Find<QRadioButton>("optClientRelative")->isChecked());
        }
        QVERIFY(QAccessible::queryAccessibleInterface(directOnly)->state().checked);
    }

    // Shift+F10 and the Menu key open a list's context menu at its current row.
    void theKeyboardOpensTheListsMenus() {
        CheckShare({Entry(1), Entry(2)});
        struct Case {
            const char* view;
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            QString firstItem;
        } const cases[] = {
            {"lvwItems", Qt::Key_F10, Qt::ShiftModifier, "Sort by ID"},
            {"lvwItems", Qt::Key_Menu, Qt::NoModifier, "Sort by ID"},
            {"lvwFiles", Qt::Key_F10, Qt::ShiftModifier, "Sort by File Name"},
            {"lvwFiles", Qt::Key_Menu, Qt::NoModifier, "Sort by File Name"},
        };
        for (const Case& c : cases) {
            QTreeView* view = Find<QTreeView>(c.view);
            Pages()->setCurrentWidget(view->parentWidget()->objectName() == "tabUsers"
                                          ? view->parentWidget()
                                          : Pages()->widget(0));
            QStringList opened;
            QTimer closer;
            closer.setSingleShot(true);
            connect(&closer, &QTimer::timeout, [&opened] {
                if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                    for (QAction* action : menu->actions()) {
                        opened << action->text();
                    }
                    menu->close();
                }
            });
            closer.start(0);
            QTest::keyClick(view, c.key, c.modifiers);
            QVERIFY2(!opened.isEmpty(), c.view);
            QCOMPARE(opened.front(), c.firstItem);
        }
    }

    // The first fill widens the columns to what they hold (capped), later fills keep the
    // user's widths, and long names are cut in the middle so that their ends show.
    void theFirstFillFitsTheColumnsAndTheUserKeepsTheirs() {
        const std::string longName =
            "D:\\Data\\" + std::string(400, 'x') + "\\quarterly-report-final.xls";
        CheckShare({Entry(4294967295u, longName, 7, "EXAMPLE-DOMAIN\\administrator-account")});
        QHeaderView* header = List()->header();
        const QFontMetrics metrics(List()->font());
        for (int c : {0, 2}) {
            QVERIFY2(header->sectionSize(c) > metrics.horizontalAdvance(Cell(0, c)),
                     qPrintable(Cell(0, c)));
        }
        QVERIFY(header->sectionSize(1) >= 200);
        QVERIFY(header->sectionSize(1) <= std::max(m_window->width() / 2, 200));
        QCOMPARE(List()->textElideMode(), Qt::ElideMiddle);

        header->resizeSection(0, 37);
        CheckShare({Entry(1)});
        QCOMPARE(header->sectionSize(0), 37);
    }

    void copyPutsEveryRowOnTheClipboard() {
        CheckShare({Entry(1, "D:\\Data\\a", 3, "ann"), Entry(2, "D:\\Data\\b", 0, "ben")});
        SelectRows({1});
        Find<QAction>("CopyResultstoClipboard1")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString("1\t\\\\srv\\data\\a\tann\t0\tRW\r\n"
                                                            "2\t\\\\srv\\data\\b\tben\t0\t\r\n"));
        CheckShare({});
        Find<QAction>("CopyResultstoClipboard1")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString());
    }

    void enterInPathBoxRunsOneCheck() {
        Serve({Entry(1)});
        PathBox()->setEditText(kShare);
        PathBox()->lineEdit()->setFocus();
        QTest::keyClick(PathBox()->lineEdit(), Qt::Key_Return);
        QCOMPARE(m_net->enumCalls.size(), size_t{1});
        QCOMPARE(Column(0), QStringList({"1"}));
        QCOMPARE(PickList(), QStringList({kShare}));

        // Enter in a control that does not take it presses the default button, and only while
        // the "Path/File" page, which holds that button, is showing.
        auto* option = Find<QCheckBox>("chkShowDirectoryNames");
        Pages()->setCurrentWidget(Find<QWidget>("Options"));
        option->setFocus();
        QTest::keyClick(option, Qt::Key_Return);
        QCOMPARE(m_net->enumCalls.size(), size_t{1});
        QCOMPARE(Pages()->currentWidget()->objectName(), QString("Options"));

        Pages()->setCurrentIndex(0);
        Serve({Entry(2)});
        auto* tree = Find<QWidget>("tvwDrives");
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_Return);
        QCOMPARE(m_net->enumCalls.size(), size_t{2});
        QCOMPARE(Column(0), QStringList({"2"}));
    }

    void clearWalksTheSelectedRows_data() {
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<std::vector<bool>>("answers");
        QTest::addColumn<uint32_t>("failingId");
        QTest::addColumn<std::vector<uint32_t>>("closed");
        QTest::addColumn<std::vector<std::string>>("shown");
        // Rows stand 1, 2, 3, 4; rows 1, 2 and 3 are selected unless said otherwise.
        QTest::newRow("No for one of three")
            << true << std::vector<bool>{true, false, true} << 0u << std::vector<uint32_t>{1, 3}
            << std::vector<std::string>{"Ask: Clear Connection 1?", "Ask: Clear Connection 2?",
                                        "Ask: Clear Connection 3?"};
        QTest::newRow("second of four fails, the rest still tried")
            << false << std::vector<bool>{} << 2u << std::vector<uint32_t>{1, 2, 3, 4}
            << std::vector<std::string>{"Error: Access is denied"};
    }
    void clearWalksTheSelectedRows() {
        QFETCH(bool, confirm);
        QFETCH(std::vector<bool>, answers);
        QFETCH(uint32_t, failingId);
        QFETCH(std::vector<uint32_t>, closed);
        QFETCH(std::vector<std::string>, shown);
        Find<QCheckBox>("chkPromptClearConnection")->setChecked(confirm);
        Find<QRadioButton>("optDirectOnly")->setChecked(true);
        CheckShare({Entry(4), Entry(2), Entry(1), Entry(3)});
        SelectRows(confirm ? std::initializer_list<int>{0, 1, 2}
                           : std::initializer_list<int>{0, 1, 2, 3});
        m_prompts->answers.assign(answers.begin(), answers.end());
        m_net->closeResults[failingId] = 5;
        const size_t enumerations = m_net->enumCalls.size();
        Serve({Entry(2)});

        Click("cmdClear");

        QCOMPARE(ClosedIds(), closed);
        QCOMPARE(m_prompts->shown, shown);
        QCOMPARE(m_net->enumCalls.size(), enumerations + 1);
        QCOMPARE(Column(0), QStringList({"2"}));
        // The close goes to the server the path box names, as a close request.
        QCOMPARE(m_net->closeCalls.front().server.value_or(""), std::string("\\\\srv"));
    }

    void clearWithoutSelectionBeepsAndDoesNotRefresh() {
        Click("cmdClear");  // an empty list counts as no selection
        CheckShare({Entry(1)});
        List()->clearSelection();
        const size_t enumerations = m_net->enumCalls.size();
        Click("cmdClear");
        QCOMPARE(m_prompts->shown,
                 std::vector<std::string>({"Beep", "Message: Select User(s) to Clear", "Beep",
                                           "Message: Select User(s) to Clear"}));
        QCOMPARE(m_net->enumCalls.size(), enumerations);
        QVERIFY(m_net->closeCalls.empty());
    }

    void clearAllStopsAtTheFirstFailure() {
        Find<QRadioButton>("optDirectOnly")->setChecked(true);
        CheckShare({Entry(1), Entry(2), Entry(3), Entry(4)});
        m_prompts->answers = {false};
        Click("cmdClearAll");
        QCOMPARE(m_prompts->shown, std::vector<std::string>({"Ask: Clear All Connections ?"}));
        QVERIFY(m_net->closeCalls.empty());
        QCOMPARE(m_net->enumCalls.size(), size_t{1});

        m_prompts->shown.clear();
        m_net->closeResults[2] = 5;
        Serve({Entry(3), Entry(4)});
        Click("cmdClearAll");
        QCOMPARE(ClosedIds(), std::vector<uint32_t>({1, 2}));
        QCOMPARE(m_prompts->shown, std::vector<std::string>({"Ask: Clear All Connections ?",
                                                             "Error: Access is denied"}));
        QCOMPARE(m_net->closeSteps,
                 std::vector<QString>({"Clearing Connection 1", "Clearing Connection 2"}));
        QCOMPARE(m_net->enumSteps.back(), QString("Refreshing List"));
        QVERIFY(!m_window->frmStatus().isVisible());
        QCOMPARE(Column(0), QStringList({"3", "4"}));
    }

    // The pop-up is on screen, painted with the current step, at every close of a long run.
    void clearAllPaintsThePopUpBeforeEachClose() {
        Find<QCheckBox>("chkPromptClearConnection")->setChecked(false);
        Find<QRadioButton>("optDirectOnly")->setChecked(true);
        CheckShare({Entry(1), Entry(2), Entry(3)});
        Serve({});
        Click("cmdClearAll");
        QCOMPARE(m_net->closeSteps,
                 std::vector<QString>(
                     {"Clearing Connection 1", "Clearing Connection 2", "Clearing Connection 3"}));
        QCOMPARE(m_net->closeShownOnScreen, std::vector<bool>({true, true, true}));
    }

    void clearAllOnAnEmptyListRefreshes() {
        Find<QCheckBox>("chkPromptClearConnection")->setChecked(false);
        PathBox()->setEditText(kShare);
        Click("cmdClearAll");
        QVERIFY(m_prompts->shown.empty());
        QCOMPARE(m_net->enumSteps, std::vector<QString>({"Refreshing List"}));
    }

    void storedOptionsCanLeaveNoMechanismSelected() {
        for (const char* name : {"DirectThenService", "DirectOnly", "ServiceOnly"}) {
            m_registry->PutDword(RegistryRoot::CurrentUser, kOptionsKey, name, 0);
        }
        m_registry->PutDword(RegistryRoot::CurrentUser, kOptionsKey, "PromptOnClear", 2);
        m_registry->PutDword(RegistryRoot::CurrentUser, kOptionsKey, "ShowDirectories", 0);
        m_window->LoadOptions();
        for (const char* name : {"optDirectThenService", "optDirectOnly", "optServiceOnly"}) {
            QVERIFY2(!Find<QRadioButton>(name)->isChecked(), name);
        }
        QVERIFY(Find<QCheckBox>("chkPromptClearConnection")->isChecked());
        QVERIFY(!Find<QCheckBox>("chkShowDirectoryNames")->isChecked());
        // Not stored: the format group keeps its built-in selection.
        QVERIFY(Find<QRadioButton>("optClientRelative")->isChecked());

        PathBox()->setEditText(kShare);
        Click("LMDButton4");
        QVERIFY(m_net->enumCalls.empty());
        QVERIFY(m_service->calls.empty());
        QVERIFY(m_prompts->shown.empty());
        QCOMPARE(Pages()->currentWidget()->objectName(), QString("tabUsers"));

        // A later selection in a group takes over, as a radio group does.
        m_registry->PutDword(RegistryRoot::CurrentUser, kOptionsKey, "DirectOnly", 1);
        m_registry->PutDword(RegistryRoot::CurrentUser, kOptionsKey, "ServiceOnly", 1);
        m_window->LoadOptions();
        QVERIFY(Find<QRadioButton>("optServiceOnly")->isChecked());
        QVERIFY(!Find<QRadioButton>("optDirectOnly")->isChecked());
    }

    void setAsDefaultWritesTheSevenOptions() {
        Find<QCheckBox>("chkPromptClearConnection")->setChecked(false);
        Find<QRadioButton>("optServiceOnly")->setChecked(true);
        Find<QRadioButton>("optServerRelative")->setChecked(true);
        Click("cmdSetDefault");
        const std::pair<const char*, uint32_t> expected[] = {
            {"PromptOnClear", 0}, {"ShowDirectories", 1}, {"DirectThenService", 0},
            {"DirectOnly", 0},    {"ServiceOnly", 1},     {"ClientRelative", 0},
            {"ServerRelative", 1}};
        for (const auto& [name, value] : expected) {
            QCOMPARE(m_registry->GetDword(RegistryRoot::CurrentUser, kOptionsKey, name),
                     std::optional<uint32_t>(value));
        }
    }

    void pickListAndGeometryGoThroughTheStore() {
        PathBox()->setEditText("typed");
        m_registry->PutDword(RegistryRoot::CurrentUser, "Software\\Morrowfen\\Pellquin\\PickList",
                             "NumPickList", 2);
        m_registry->PutString(RegistryRoot::CurrentUser, "Software\\Morrowfen\\Pellquin\\PickList",
                              "PickList0", "\\\\a\\b");
        m_registry->PutString(RegistryRoot::CurrentUser, "Software\\Morrowfen\\Pellquin\\PickList",
                              "PickList1", "C:\\x");
        m_window->LoadPickList();
        QCOMPARE(PickList(), QStringList({"\\\\a\\b", "C:\\x"}));
        QCOMPARE(PathBox()->currentText(), QString("typed"));
        m_window->UpdatePickList("C:\\x");
        m_window->UpdatePickList("c:\\x");
        QCOMPARE(PickList(), QStringList({"c:\\x", "C:\\x", "\\\\a\\b"}));
        QCOMPARE(PathBox()->currentText(), QString("typed"));
        m_window->SavePickList();
        QCOMPARE(m_registry->GetDword(RegistryRoot::CurrentUser,
                                      "Software\\Morrowfen\\Pellquin\\PickList", "NumPickList"),
                 std::optional<uint32_t>(3));

        const char* const defaults = "Software\\Morrowfen\\Pellquin\\Defaults";
        const std::pair<const char*, uint32_t> stored[] = {
            {"WindowLeft", 40},   {"WindowTop", 50},    {"WindowHeight", 600},
            {"WindowWidth", 900}, {"DrivesWidth", 260}, {"DoneFirstRun", 1}};
        for (const auto& [name, value] : stored) {
            m_registry->PutDword(RegistryRoot::CurrentUser, defaults, name, value);
        }
        m_window->LoadDefaults();
        QCOMPARE(m_window->frameGeometry(), QRect(40, 50, 900, 600));
        QCOMPARE(m_window->DrivesWidth(), 260);
        QCOMPARE(m_window->DoneFirstRun(), 1);
        m_window->move(70, 80);
        m_window->SaveDefaults();
        QCOMPARE(m_registry->GetDword(RegistryRoot::CurrentUser, defaults, "WindowLeft"),
                 std::optional<uint32_t>(70));
        QCOMPARE(m_registry->GetDword(RegistryRoot::CurrentUser, defaults, "WindowHeight"),
                 std::optional<uint32_t>(600));
        QCOMPARE(m_registry->GetDword(RegistryRoot::CurrentUser, defaults, "DrivesWidth"),
                 std::optional<uint32_t>(260));
    }

    // A window wired without one of its services refuses to be built, naming what is
    // missing, and leaves no window behind; nothing is shown to the user.
    void aWindowMissingAServiceIsRefusedByName_data() {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<QString>("message");
        const QString window = "The main window was built without ";
        for (const char* member :
             {"modPQ", "settings", "pathProbe", "prompts", "contextMenus", "help", "frmAbout",
              "serviceParts.manager", "serviceParts.files", "serviceParts.viewer"}) {
            QTest::newRow(member) << member << window + member;
        }
        const QString browser = "The path browser was built without ";
        QTest::newRow("browserServices.drives")
            << "browserServices.drives" << browser + "a drive source";
        QTest::newRow("browserServices.directories")
            << "browserServices.directories" << browser + "a directory lister";
        QTest::newRow("browserServices.mapper")
            << "browserServices.mapper" << browser + "a drive mapper";
    }
    void aWindowMissingAServiceIsRefusedByName() {
        QFETCH(QString, missing);
        QFETCH(QString, message);
        const QWidgetList before = QApplication::topLevelWidgets();
        WindowServices services = m_parts->Services(*m_modPQ, *m_settings, *m_probe);
        const std::map<QString, std::function<void()>> drop = {
            {"modPQ", [&] { services.modPQ = nullptr; }},
            {"settings", [&] { services.settings = nullptr; }},
            {"pathProbe", [&] { services.pathProbe = nullptr; }},
            {"prompts", [&] { services.prompts = nullptr; }},
            {"contextMenus", [&] { services.contextMenus = nullptr; }},
            {"help", [&] { services.help = nullptr; }},
            {"frmAbout", [&] { services.frmAbout.reset(); }},
            {"serviceParts.manager", [&] { services.serviceParts.manager.reset(); }},
            {"serviceParts.files", [&] { services.serviceParts.files.reset(); }},
            {"serviceParts.viewer", [&] { services.serviceParts.viewer.reset(); }},
            {"browserServices.drives", [&] { services.browserServices.drives.reset(); }},
            {"browserServices.directories", [&] { services.browserServices.directories.reset(); }},
            {"browserServices.mapper", [&] { services.browserServices.mapper.reset(); }},
        };
        drop.at(missing)();
        QString thrown;
        try {
            TfrmPellquin window(std::move(services));
        } catch (const std::invalid_argument& e) {
            thrown = e.what();
        }
        QCOMPARE(thrown, message);
        QCOMPARE(QApplication::topLevelWidgets().size(), before.size());
        QCOMPARE(m_prompts->shown, std::vector<std::string>());
    }

    // The status bar counts the rows and the shown ones; the filter box narrows as one types.
    void statusBarCountsRowsAndShownRows() {
        CheckShare({Entry(7, "D:\\Data\\q1.xls", 1, "alice"), Entry(8), Entry(9)});
        auto* count = Find<QLabel>("lblRowCount");
        QCOMPARE(count->text(), QString("3 rows"));
        QTest::keyClicks(Find<QLineEdit>("txtFilter"), "ALICE");
        QCOMPARE(count->text(), QString("1 of 3 rows shown"));
        QCOMPARE(m_window->statusBar()->currentMessage(), QString("Finished"));
        Find<QAction>("CopyResultstoClipboard1")->trigger();
        QCOMPARE(QApplication::clipboard()->text(),
                 QString("7\t\\\\srv\\data\\q1.xls\talice\t0\tR\r\n"));
    }

    // Auto refresh follows its option and Set As Default; a tick refreshes the Users page but
    // not while a clear asks its questions or another page is shown.
    void autoRefreshFollowsItsOptionAndPausesDuringAClear() {
        auto* refresh = m_window->findChild<AutoRefresh*>("autoRefresh");
        QVERIFY(refresh != nullptr);
        QVERIFY(!refresh->IsActive());
        Find<QSpinBox>("spnAutoRefresh")->setValue(5);
        Find<QCheckBox>("chkAutoRefresh")->setChecked(true);
        QVERIFY(refresh->IsActive());
        Click("cmdSetDefault");
        QCOMPARE(m_registry->GetDword(RegistryRoot::CurrentUser, kOptionsKey, "AutoRefresh"),
                 std::optional<uint32_t>(5));

        CheckShare({Entry(7), Entry(8)});
        size_t enumerations = m_net->enumCalls.size();
        Serve({Entry(7)});
        refresh->Tick();
        QCOMPARE(m_net->enumCalls.size(), enumerations + 1);
        QCOMPARE(Column(0), QStringList({"7"}));

        // Ticks while Clear All asks and while it closes change nothing.
        Serve({Entry(7)});
        enumerations = m_net->enumCalls.size();
        std::vector<size_t> seenDuringClear;
        m_prompts->onShow = [&](const std::string&) {
            refresh->Tick();
            seenDuringClear.push_back(m_net->enumCalls.size());
        };
        Click("cmdClearAll");
        QCOMPARE(seenDuringClear, std::vector<size_t>{enumerations});
        QCOMPARE(ClosedIds(), std::vector<uint32_t>{7});
        m_prompts->onShow = nullptr;

        Pages()->setCurrentIndex(3);
        enumerations = m_net->enumCalls.size();
        refresh->Tick();
        QCOMPARE(m_net->enumCalls.size(), enumerations);

        Find<QCheckBox>("chkAutoRefresh")->setChecked(false);
        QVERIFY(!refresh->IsActive());
        m_window->LoadOptions();
        QVERIFY(refresh->IsActive());
        QCOMPARE(Find<QSpinBox>("spnAutoRefresh")->value(), 5);
    }
};

}  // namespace pellquin

QTEST_MAIN(pellquin::FrmPellquinTest)
#include "frm_pellquin_test.moc"
