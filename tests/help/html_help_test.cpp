#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "fake_html_help.h"
#include "help/browser_help.h"
#include "help/html_help_system.h"
#include "platform/html_help.h"
#include "scripted_prompts.h"

namespace pellquin {

class HtmlHelpTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    test::FakeHtmlHelp* m_viewer = nullptr;
    std::unique_ptr<test::ScriptedPrompts> m_prompts;
    std::unique_ptr<HtmlHelpSystem> m_help;

    std::string InstallDir() const { return m_dir->path().toStdString() + "/Pellquin Tools/"; }

    void MakeHelp(const std::string& executable) {
        auto viewer = std::make_unique<test::FakeHtmlHelp>();
        m_viewer = viewer.get();
        m_help = std::make_unique<HtmlHelpSystem>(std::move(viewer), executable, *m_prompts);
    }
    void PutHelpFile() {
        QDir().mkpath(QString::fromStdString(InstallDir()));
        std::ofstream(InstallDir() + "Pellquin.chm") << "help";
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_prompts = std::make_unique<test::ScriptedPrompts>();
        MakeHelp(InstallDir() + "pellquin");
    }

    void codesReachTheViewerAsTheTable_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("data");
        QTest::addColumn<int>("command");  // -1: nothing shown
        QTest::addColumn<int>("shownData");
        QTest::newRow("999: contents") << 999 << 0 << int(kHhDisplayToc) << 0;
        QTest::newRow("1: the topic of a context") << 1 << 1000 << int(kHhHelpContext) << 1000;
        QTest::newRow("1 with context 0 (menu open)") << 1 << 0 << int(kHhHelpContext) << 0;
        QTest::newRow("3: the index") << 3 << 0 << int(kHhDisplayIndex) << 0;
        QTest::newRow("0x101: keyword") << 0x101 << 1234 << -1 << 0;
        QTest::newRow("13: pop-up position") << 13 << 0x00100020 << -1 << 0;
        QTest::newRow("2: anything else") << 2 << 0 << -1 << 0;
    }
    void codesReachTheViewerAsTheTable() {
        QFETCH(int, code);
        QFETCH(int, data);
        QFETCH(int, command);
        QFETCH(int, shownData);
        PutHelpFile();
        bool callHelp = true;
        QCOMPARE(m_help->ApplicationEvents1Help(static_cast<uint16_t>(code), data, &callHelp),
                 false);
        QVERIFY(!callHelp);
        QCOMPARE(m_help->ShowHtmlHelp(static_cast<uint16_t>(code), data), 0);
        if (command < 0) {
            QVERIFY(m_viewer->shown.empty());
        } else {
            QCOMPARE(m_viewer->shown.size(), size_t(2));
            for (const auto& shown : m_viewer->shown) {
                QCOMPARE(shown.helpFile, InstallDir() + "Pellquin.chm");
                QCOMPARE(int(shown.command), command);
                QCOMPARE(int(shown.data), shownData);
            }
        }
        QVERIFY(m_prompts->shown.empty());
    }

    void aMissingHelpFileWarnsOnceWithItsFullPath() {
        QCOMPARE(m_help->ShowHtmlHelp(kHelpTableOfContents, 0), 0);
        QCOMPARE(m_prompts->shown, std::vector<std::string>{"Warning: Cannot find Help File : " +
                                                            InstallDir() + "Pellquin.chm"});
        QVERIFY(m_viewer->shown.empty());
        QVERIFY(m_help->HelpFileWarned());

        // Later requests go to the viewer, which deals with the missing file itself.
        m_help->ShowHtmlHelp(kHelpContext, kMainWindowHelpContext);
        QCOMPARE(m_prompts->shown.size(), size_t(1));
        QCOMPARE(m_viewer->shown.size(), size_t(1));
        QCOMPARE(int(m_viewer->shown[0].command), int(kHhHelpContext));
    }

    void theHelpFileIsFoundBesideTheExecutableFromAnyWorkingDirectory() {
        // The build puts this platform's help beside the test program, as beside pellquin.
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir->path()));
        auto viewer = std::make_unique<test::FakeHtmlHelp>();
        viewer->fileName = MakeHtmlHelp()->FileName();
        m_viewer = viewer.get();
        HtmlHelpSystem help(std::move(viewer),
                            QCoreApplication::applicationFilePath().toStdString(), *m_prompts);
        help.ShowHtmlHelp(kHelpTableOfContents, 0);
        QDir::setCurrent(before);
        QCOMPARE(m_prompts->shown, std::vector<std::string>{});
        QCOMPARE(m_viewer->shown.size(), size_t(1));
        QCOMPARE(QString::fromStdString(m_viewer->shown[0].helpFile),
                 QCoreApplication::applicationDirPath() + "/" +
                     QString::fromStdString(m_viewer->fileName));
    }

    void loadHtmlHelpReportsTheViewer() {
        m_viewer->loadResult = false;
        QVERIFY(!m_help->LoadHtmlHelp());
        m_viewer->loadResult = true;
        QVERIFY(m_help->LoadHtmlHelp());
    }

    // The help pages in the browser (the Linux viewer), over the pages the build installs.
    void browserOpensTheMappedPage() {
        const std::string pages =
            QCoreApplication::applicationDirPath().toStdString() + "/pellquin-help/";
        std::vector<std::string> opened;
        bool browser = false;
        BrowserHelp viewer([&](const std::string& url) { return opened.push_back(url), true; },
                           [&] { return browser; });
        viewer.Show(pages + "index.html", kHhDisplayToc, 0);
        QVERIFY(opened.empty());  // not loaded: nothing to call

        browser = true;
        QVERIFY(viewer.Load());
        viewer.Show(pages + "index.html", kHhHelpContext, kMainWindowHelpContext);
        viewer.Show(pages + "index.html", kHhHelpContext, 0);
        viewer.Show(pages + "index.html", kHhDisplayIndex, 0);
        viewer.Show(pages + "index.html", 0x0E, 0);  // a command the pages do not offer
        QCOMPARE(opened, (std::vector<std::string>{FileUrl(pages + "checking.html"),
                                                   FileUrl(pages + "index.html"),
                                                   FileUrl(pages + "index.html")}));
        QCOMPARE(FileUrl("/opt/Pellquin Tools/50%/ü.html"),
                 std::string("file:///opt/Pellquin%20Tools/50%25/%C3%BC.html"));
    }

    void everyPageLinkLeadsToAPage() {
        const QDir pages(QCoreApplication::applicationDirPath() + "/pellquin-help");
        const QStringList files = pages.entryList({"*.html"});
        QVERIFY(files.contains("index.html"));
        const QRegularExpression link("href=\"([^\"#]+)\"");
        for (const QString& file : files) {
            QFile page(pages.filePath(file));
            QVERIFY(page.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(page.readAll());
            for (auto match = link.globalMatch(text); match.hasNext();) {
                const QString target = match.next().captured(1);
                QVERIFY2(pages.exists(target), qPrintable(file + " -> " + target));
            }
        }
    }
};

}  // namespace pellquin

QTEST_GUILESS_MAIN(pellquin::HtmlHelpTest)
#include "html_help_test.moc"
