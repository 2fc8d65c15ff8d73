// The users page's filter box, per-user clearing and export, driven by object names.
#include "app/users_page.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <memory>

#include "app/frm_status.h"
#include "query/rows_export.h"
#include "scripted_prompts.h"

namespace pellquin {

class UsersPageTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::ScriptedPrompts> m_prompts;
    std::unique_ptr<TfrmStatus> m_status;
    std::unique_ptr<UsersPage> m_page;
    std::vector<uint32_t> m_closed;
    bool m_confirm = true;
    int m_refreshes = 0;

    static std::vector<ResultRow> Rows() {
        TPellquinRequest request;
        request.Items = {{"D:\\Data\\reports\\q1.xls", "ann", 11, 1, 0},
                         {"D:\\Data\\plans\\a.doc", "ben", 12, 3, 0},
                         {"D:\\Data\\REPORTS\\q2.xls", "ben", 13, 1, 0},
                         {"D:\\Data\\notes.txt", "Reporter", 14, 1, 0},
                         {"D:\\Data\\reports\\q3.xls", "ann", 4294967295u, 1, 2}};
        return MakeResultRows(request, true);
    }

    QTreeView* List() { return m_page->findChild<QTreeView*>("lvwItems"); }
    QLineEdit* FilterBox() { return m_page->findChild<QLineEdit*>("txtFilter"); }
    std::vector<std::string> ShownUsersAndIds() {
        std::vector<std::string> shown;
        for (const ResultRow& row : m_page->ShownRows()) {
            shown.push_back(row.cells[kColumnId] + " " + row.cells[kColumnUserName]);
        }
        return shown;
    }
    void Type(const QString& text) {
        FilterBox()->clear();
        QTest::keyClicks(FilterBox(), text);
    }

private slots:
    void init() {
        m_prompts = std::make_unique<test::ScriptedPrompts>();
        m_status = std::make_unique<TfrmStatus>();
        m_closed.clear();
        m_confirm = true;
        m_refreshes = 0;
        UsersPageHost host;
        host.closeConnection = [this](uint32_t id) {
            m_closed.push_back(id);
            return std::string();
        };
        host.confirmClear = [this] { return m_confirm; };
        host.refresh = [this] { ++m_refreshes; };
        m_page = std::make_unique<UsersPage>(std::move(host), *m_prompts, *m_status);
        m_page->show();
        m_page->ShowRows(Rows());
    }

    void cleanup() { m_page.reset(); }

    // Typing narrows the rows (any case, file or user name), and a new check keeps the filter.
    void typingNarrowsTheShownRows() {
        QCOMPARE(FilterBox()->accessibleName(), QString("Filter the open files"));
        // Alt+T reaches the box (Alt+F is the File menu's).
        m_page->findChild<QPushButton*>("cmdRefresh")->setFocus();
        m_page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
        QTest::keyClick(m_page.get(), Qt::Key_T, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), FilterBox());
        Type("REPORT");
        QCOMPARE(ShownUsersAndIds(),
                 (std::vector<std::string>{"-1 ann", "11 ann", "13 ben", "14 Reporter"}));
        Type("ben");
        QCOMPARE(ShownUsersAndIds(), (std::vector<std::string>{"12 ben", "13 ben"}));
        m_page->ShowRows(Rows());
        QCOMPARE(ShownUsersAndIds(), (std::vector<std::string>{"12 ben", "13 ben"}));
        m_page->lvwItemsColumnClick(kColumnId);  // sorting keeps the hidden rows hidden
        QCOMPARE(ShownUsersAndIds(), (std::vector<std::string>{"12 ben", "13 ben"}));
        Type("");
        QCOMPARE(m_page->ShownRows().size(), Rows().size());
    }

    // Clear Selected closes the selected rows the filter shows, never a hidden selected one.
    void clearSelectedClosesOnlyShownSelectedRows() {
        List()->selectAll();
        Type("xls");
        m_page->findChild<QPushButton*>("cmdClear")->click();
        QCOMPARE(m_closed, (std::vector<uint32_t>{4294967295u, 11, 13}));
        QCOMPARE(m_prompts->shown,
                 (std::vector<std::string>{"Ask: Clear Connection -1?", "Ask: Clear Connection 11?",
                                           "Ask: Clear Connection 13?"}));
        QCOMPARE(m_refreshes, 1);
    }

    // Clear All still clears every row, and says so when the filter hides some.
    void clearAllClearsHiddenRowsTooAndSaysSo() {
        Type("plans");
        m_page->findChild<QPushButton*>("cmdClearAll")->click();
        QCOMPARE(m_closed.size(), Rows().size());
        QCOMPARE(m_prompts->shown,
                 (std::vector<std::string>{"Ask: Clear All Connections ?\r\n\r\nThis includes 4 "
                                           "connections the filter hides."}));
        m_prompts->shown.clear();
        Type("");
        m_page->findChild<QPushButton*>("cmdClearAll")->click();
        QCOMPARE(m_prompts->shown, (std::vector<std::string>{"Ask: Clear All Connections ?"}));
    }

    // The context menu's action closes the current row's user's shown rows after one question.
    void clearRowsOfThisUser() {
        Type("xls");
        const QModelIndex annRow = List()->model()->index(1, 0);  // 11, ann
        QCOMPARE(List()->model()->index(1, 2).data().toString(), QString("ann"));
        List()->setCurrentIndex(annRow);
        auto* action = List()->findChild<QAction*>("mniClearUserRows");
        QVERIFY(action != nullptr);
        QVERIFY(List()->actions().contains(action));
        action->trigger();
        QCOMPARE(m_closed, (std::vector<uint32_t>{4294967295u, 11}));
        QCOMPARE(m_prompts->shown, (std::vector<std::string>{"Ask: Clear 2 Connections of ann?"}));
        QCOMPARE(m_refreshes, 1);

        // Declined: nothing closed; without confirmation: no question.
        m_closed.clear();
        m_prompts->answers = {false};
        action->trigger();
        QVERIFY(m_closed.empty());
        m_confirm = false;
        Type("");
        action->trigger();
        QCOMPARE(m_closed, (std::vector<uint32_t>{4294967295u, 11}));
    }

    // Export writes exactly the shown rows, as JSON for a .json name and CSV otherwise.
    void exportWritesWhatIsShown() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Type("ben");
        for (const QString& name : {QString("rows.json"), QString("rows.csv")}) {
            const QString path = dir.filePath(name);
            m_page->SetExportFileChooser([path] { return path; });
            m_page->findChild<QPushButton*>("cmdExport")->click();
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const std::string expected = name.endsWith(".json") ? RowsJson(m_page->ShownRows())
                                                                : RowsCsv(m_page->ShownRows());
            QCOMPARE(file.readAll().toStdString(), expected);
            QVERIFY(expected.find("\"userName\": \"ann\"") == std::string::npos);
            QVERIFY(expected.find("13") != std::string::npos);
        }
        // A cancelled dialog writes nothing; a file that cannot be written says so.
        m_page->SetExportFileChooser([] { return QString(); });
        m_page->findChild<QPushButton*>("cmdExport")->click();
        QVERIFY(m_prompts->shown.empty());
        m_page->SetExportFileChooser([&dir] { return dir.filePath("missing/rows.csv"); });
        m_page->findChild<QPushButton*>("cmdExport")->click();
        QCOMPARE(m_prompts->shown.size(), size_t{1});
        QVERIFY(m_prompts->shown[0].rfind("Error: Cannot write ", 0) == 0);
    }
};

}  // namespace pellquin

QTEST_MAIN(pellquin::UsersPageTest)
#include "users_page_test.moc"
