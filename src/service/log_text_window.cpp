#include "service/log_text_window.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace pellquin {
namespace {

constexpr qint64 kMostShown = 16 * 1024 * 1024;

}  // namespace

bool ShowLogTextWindow(const std::string& localPath) {
    QFile file(QString::fromStdString(localPath));
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const qint64 size = file.size();
    if (size > kMostShown) {
        file.seek(size - kMostShown);
    }
    const QByteArray data = file.read(kMostShown);
    auto* window = new QPlainTextEdit();
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setObjectName("txtServiceLog");
    window->setReadOnly(true);
    window->setLineWrapMode(QPlainTextEdit::NoWrap);
    window->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    window->setWindowTitle(QFileInfo(file).fileName() + " - Pellquin");
    window->setPlainText(QString::fromUtf8(data));
    window->moveCursor(QTextCursor::End);
    window->resize(800, 500);
    window->show();
    return true;
}

}  // namespace pellquin
