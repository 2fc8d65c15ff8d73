#include "app/frm_status.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFrame>
#include <QGroupBox>
#include <QThread>
#include <QVBoxLayout>
#include <QWindow>

namespace pellquin {
namespace {

// How long a show waits for the window system to put the pop-up on screen. A window that is
// not exposed takes no paint: painting it at once after show() draws nothing at all.
constexpr int kExposeWaitMs = 1000;

}  // namespace

TfrmStatus::TfrmStatus(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("frmStatus");
    setAccessibleName("Processing");
    setFixedSize(249, 61);

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(2);
    panel->setGeometry(0, 0, 249, 61);

    auto* grpStatus = new QGroupBox("Processing", panel);
    grpStatus->setObjectName("grpStatus");
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(grpStatus);

    m_lblStatus = new QLabel(grpStatus);
    m_lblStatus->setObjectName("lblStatus");
    m_lblStatus->setAccessibleName("Processing step");
    m_lblStatus->setGeometry(4, 15, 229, 34);
    m_lblStatus->setFixedSize(229, 34);
}

void TfrmStatus::ShowOver(QWidget* over) {
    if (over != nullptr) {
        const QRect frame = over->frameGeometry();
        move(frame.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    // Only the window system's own events run while waiting: no input, no sockets, so the
    // loop that follows cannot be re-entered from here.
    QElapsedTimer waited;
    waited.start();
    while (windowHandle() != nullptr && !windowHandle()->isExposed() &&
           waited.elapsed() < kExposeWaitMs) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::ExcludeSocketNotifiers);
        QThread::msleep(2);
    }
    repaint();
}

void TfrmStatus::SetStep(const QString& text, bool paint) {
    m_lblStatus->setText(text);
    if (paint) {
        repaint();
    }
}

}  // namespace pellquin
