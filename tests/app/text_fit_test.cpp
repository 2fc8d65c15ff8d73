// No caption of any window is cut: every label, button, check box, radio button, group-box
// title and tab shown by the program's own windows has the room its text needs in the font it
// is drawn with. Run by CTest at several scale factors, each with several font sizes, since fixed
// pixel sizes that fit one font cut the text of another. Item views are not checked: their cells
// elide by design.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QTest>

#include "window_gallery.h"

namespace pellquin {
namespace {

// The text as drawn: "&x" shows as "x", "&&" as "&".
QString WithoutMnemonic(const QString& text) {
    QString shown;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            ++i;
        }
        shown += text[i];
    }
    return shown;
}

// The width of the widest line of `text` in `metrics`.
int TextWidth(const QFontMetrics& metrics, const QString& text) {
    int widest = 0;
    for (const QString& line : text.split('\n')) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    return widest;
}

QString Describe(const QWidget& widget, const QString& text) {
    return QString("%1 \"%2\"")
        .arg(widget.objectName().isEmpty() ? widget.metaObject()->className() : widget.objectName(),
             text);
}

// Every cut caption among the visible widgets of `window`, one line each.
QStringList CutCaptions(QWidget& window) {
    QStringList cut;
    const auto report = [&cut](const QWidget& widget, const QString& text, const QString& need) {
        cut << Describe(widget, text) + ": " + need;
    };
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisible() || widget->window() != &window) {
            continue;
        }
        const QFontMetrics metrics = widget->fontMetrics();
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            if (label->text().isEmpty()) {
                continue;
            }
            if (label->wordWrap()) {
                const int height = label->heightForWidth(label->width());
                if (label->height() < height) {
                    report(*label, label->text(),
                           QString("needs %1 px high at %2 px wide, has %3")
                               .arg(height)
                               .arg(label->width())
                               .arg(label->height()));
                }
                continue;
            }
            // A plain label's size hint is its text plus margin, indent and frame.
            const QSize hint = label->sizeHint();
            if (label->width() < hint.width() || label->height() < hint.height()) {
                report(*label, label->text(),
                       QString("needs %1x%2, has %3x%4")
                           .arg(hint.width())
                           .arg(hint.height())
                           .arg(label->width())
                           .arg(label->height()));
            }
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            if (button->text().isEmpty()) {
                continue;
            }
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            option.icon = button->icon();
            option.iconSize = button->iconSize();
            QStyle::SubElement contents = QStyle::SE_PushButtonContents;
            if (qobject_cast<QCheckBox*>(button) != nullptr) {
                contents = QStyle::SE_CheckBoxContents;
            } else if (qobject_cast<QRadioButton*>(button) != nullptr) {
                contents = QStyle::SE_RadioButtonContents;
            } else if (auto* push = qobject_cast<QPushButton*>(button)) {
                if (push->isDefault()) {
                    option.features |= QStyleOptionButton::DefaultButton;
                }
                if (push->autoDefault()) {
                    option.features |= QStyleOptionButton::AutoDefaultButton;
                }
            } else {
                continue;  // tool buttons and the like size themselves
            }
            const QRect room = button->style()->subElementRect(contents, &option, button);
            const QString shown = WithoutMnemonic(button->text());
            int need = TextWidth(metrics, shown);
            if (!button->icon().isNull()) {
                need += button->iconSize().width() + 4;
            }
            if (room.width() < need || room.height() < metrics.height()) {
                report(*button, button->text(),
                       QString("needs %1x%2, has %3x%4")
                           .arg(need)
                           .arg(metrics.height())
                           .arg(room.width())
                           .arg(room.height()));
            }
        } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
            if (group->title().isEmpty()) {
                continue;
            }
            QStyleOptionGroupBox option;
            option.initFrom(group);
            option.text = group->title();
            option.lineWidth = 1;
            option.midLineWidth = 0;
            option.textAlignment = Qt::Alignment(group->alignment());
            option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
            if (group->isFlat()) {
                option.features |= QStyleOptionFrame::Flat;
            }
            if (group->isCheckable()) {
                option.subControls |= QStyle::SC_GroupBoxCheckBox;
            }
            const QRect title = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                               QStyle::SC_GroupBoxLabel, group);
            const int need = TextWidth(metrics, WithoutMnemonic(group->title()));
            if (!group->rect().contains(title) || title.width() < need) {
                report(*group, group->title(),
                       QString("title needs %1 px in a box %2 px wide")
                           .arg(title.right() + 1)
                           .arg(group->width()));
            }
        } else if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
            for (int i = 0; i < tabs->count(); ++i) {
                const QRect tab = tabs->tabRect(i);
                const int need = TextWidth(metrics, WithoutMnemonic(tabs->tabText(i)));
                if (!tabs->rect().contains(tab) || tab.width() < need) {
                    report(*tabs, tabs->tabText(i),
                           QString("tab needs %1 px, has %2 within %3")
                               .arg(need)
                               .arg(tab.width())
                               .arg(tabs->width()));
                }
            }
        }
    }
    return cut;
}

class TextFitTest : public QObject {
    Q_OBJECT

private slots:
    // The check itself: each kind of caption squeezed below its text's width is reported,
    // and the same captions given room are not.
    void aSqueezedCaptionOfEachKindIsReported() {
        QWidget window;
        window.setObjectName("window");
        auto* label = new QLabel("Description :", &window);
        auto* push = new QPushButton("&Check For Updates", &window);
        auto* check = new QCheckBox("&Use Proxy Server", &window);
        auto* radio = new QRadioButton("Show Complete Path", &window);
        auto* group = new QGroupBox("Application Information", &window);
        QWidget* const widgets[] = {label, push, check, radio, group};
        int top = 0;
        for (QWidget* widget : widgets) {
            widget->setObjectName(widget->metaObject()->className());
            const QSize hint = widget->sizeHint().expandedTo(widget->minimumSizeHint());
            widget->setGeometry(0, top, hint.width() + 40, hint.height() + 20);
            top += widget->height();
        }
        window.resize(600, top);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(CutCaptions(window), QStringList());
        for (QWidget* widget : widgets) {
            widget->resize(widget->fontMetrics().horizontalAdvance("Descr"), widget->height());
        }
        const QStringList cut = CutCaptions(window);
        QCOMPARE(cut.size(), 5);
        for (const char* kind :
             {"QLabel", "QPushButton", "QCheckBox", "QRadioButton", "QGroupBox"}) {
            QVERIFY2(cut.filter(QString(kind) + " \"").size() == 1, qPrintable(cut.join('\n')));
        }
    }

    // The application's font at its default size (9 pt offscreen), at a desktop's usual
    // 11 pt, and at 150 % of the default, as desktops that scale their text instead of their
    // windows draw it. Windows are built anew for each font.
    void noCaptionOfAnyWindowIsCut_data() {
        QTest::addColumn<qreal>("points");
        const qreal standard = m_font.pointSizeF();
        QTest::newRow("default font") << standard;
        QTest::newRow("11 pt") << qreal(11);
        QTest::newRow("150 % text") << standard * 1.5;
    }
    void noCaptionOfAnyWindowIsCut() {
        QFETCH(qreal, points);
        QFont font = m_font;
        font.setPointSizeF(points);
        QApplication::setFont(font);
        QStringList windows;
        QStringList cut;
        {
            test::WindowGallery gallery;
            gallery.ForEach([&](const QString& name, QWidget& window) {
                windows << name;
                for (const QString& line : CutCaptions(window)) {
                    cut << name + ": " + line;
                }
            });
        }
        QApplication::setFont(m_font);
        // Every window is visited; a window left out would pass unseen.
        QCOMPARE(windows, QStringList({"main-path-file", "main-users", "main-service-control",
                                       "main-options", "status", "add-favourite", "map-drive",
                                       "about", "proxy-settings", "welcome"}));
        QVERIFY2(cut.isEmpty(), qPrintable("cut captions:\n" + cut.join('\n')));
    }

private:
    const QFont m_font = QApplication::font();
};

}  // namespace
}  // namespace pellquin

QTEST_MAIN(pellquin::TextFitTest)
#include "text_fit_test.moc"
