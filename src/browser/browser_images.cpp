#include "browser/browser_images.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

namespace pellquin {
namespace {

QIcon Standard(QStyle::StandardPixmap which) {
    return QIcon(QApplication::style()->standardIcon(which).pixmap(16, 16));
}

// The computer with a small globe in its lower right corner.
QIcon ComputerWithGlobe() {
    QPixmap picture = QApplication::style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(16, 16);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 70, 140), 1));
    painter.setBrush(QColor(70, 150, 230));
    const QRectF globe(8.5, 8.5, 7, 7);
    painter.drawEllipse(globe);
    painter.drawLine(QPointF(8.5, 12), QPointF(15.5, 12));
    painter.drawEllipse(QRectF(10.5, 8.5, 3, 7));
    painter.end();
    return QIcon(picture);
}

}  // namespace

QList<QIcon> MakeBrowserImages() {
    return {Standard(QStyle::SP_DriveNetIcon),
            Standard(QStyle::SP_DriveHDIcon),
            Standard(QStyle::SP_DirClosedIcon),
            Standard(QStyle::SP_ComputerIcon),
            ComputerWithGlobe(),
            Standard(QStyle::SP_FileIcon)};
}

}  // namespace pellquin
