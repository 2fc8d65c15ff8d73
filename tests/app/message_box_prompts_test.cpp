#include "app/message_box_prompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>

namespace pellquin {

// Drives the real message boxes: what each shows, and that it returns only once answered.
class MessageBoxPromptsTest : public QObject {
    Q_OBJECT

private:
    struct Seen {
        QString caption;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;
        Qt::TextFormat format = Qt::AutoText;
    };

    // Runs `show` while a timer inspects the box it opens and presses `answer` on it.
    static Seen Drive(QMessageBox::StandardButton answer, const std::function<void()>& show) {
        Seen seen;
        QTimer::singleShot(0, [&seen, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            seen.caption = box->windowTitle();
            seen.text = box->text();
            seen.icon = box->icon();
            seen.format = box->textFormat();
            for (QAbstractButton* button : box->buttons()) {
                seen.buttons << QMessageBox::staticMetaObject
                                    .enumerator(QMessageBox::staticMetaObject.indexOfEnumerator(
                                        "StandardButton"))
                                    .valueToKey(box->standardButton(button));
            }
            seen.buttons.sort();
            box->button(answer)->click();
        });
        show();
        return seen;
    }

private slots:
    void errorBoxShowsTheTextAsItIs() {
        MessageBoxPrompts prompts;
        // Error texts can come from the query service or hold a typed path: markup in them is
        // text to show, never to interpret.
        const std::string text = "<b>x</b> Does not appear to be a valid file or directory";
        const Seen seen = Drive(QMessageBox::Ok, [&] { prompts.ShowError(text); });
        QCOMPARE(seen.caption, QString("Pellquin"));
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.buttons, QStringList({"Ok"}));
        QCOMPARE(seen.text, QString::fromStdString(text));
        QCOMPARE(seen.format, Qt::PlainText);
    }

    void questionIsYesOnlyForYes() {
        MessageBoxPrompts prompts;
        bool answer = false;
        Seen seen =
            Drive(QMessageBox::Yes, [&] { answer = prompts.AskYesNo("Clear All Connections ?"); });
        QVERIFY(answer);
        QCOMPARE(seen.caption, QString("Pellquin"));
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
        QCOMPARE(seen.buttons, QStringList({"No", "Yes"}));
        QCOMPARE(seen.format, Qt::PlainText);
        Drive(QMessageBox::No, [&] { answer = prompts.AskYesNo("Clear Connection 5?"); });
        QVERIFY(!answer);
    }

    void warningBelongsToNoWindowAndTextsBreakAtWindowsLineBreaks() {
        QWidget owner;
        MessageBoxPrompts prompts(&owner);
        QWidget* parent = &owner;
        QTimer::singleShot(
            0, [&parent] { parent = QApplication::activeModalWidget()->parentWidget(); });
        const Seen seen = Drive(QMessageBox::Ok, [&] {
            prompts.ShowWarning("Cannot find Help File : /opt/pellquin/pellquin-help/index.html");
        });
        QCOMPARE(seen.icon, QMessageBox::Warning);
        QCOMPARE(seen.buttons, QStringList({"Ok"}));
        QCOMPARE(seen.caption, QString("Pellquin"));
        QCOMPARE(parent, nullptr);

        const Seen welcome = Drive(QMessageBox::No, [&] { prompts.AskYesNo("One\r\n\r\nTwo"); });
        QCOMPARE(welcome.text, QString("One\n\nTwo"));
    }
};

}  // namespace pellquin

QTEST_MAIN(pellquin::MessageBoxPromptsTest)
#include "message_box_prompts_test.moc"
