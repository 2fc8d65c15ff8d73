#include "app/frm_status.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFrame>
#include <QGroupBox>
#include <QThread>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

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

    m_panel = new QFrame(this);
    m_panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_panel->setLineWidth(2);

    m_grpStatus = new QGroupBox("Processing", m_panel);
    m_grpStatus->setObjectName("grpStatus");
    auto* layout = new QVBoxLayout(m_panel);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_grpStatus);

    m_lblStatus = new QLabel(m_grpStatus);
    m_lblStatus->setObjectName("lblStatus");
    m_lblStatus->setAccessibleName("Processing step");
    FitToText();
}

void TfrmStatus::FitToText() {
    const QSize label = QSize(229, 34).expandedTo(m_lblStatus->sizeHint());
    const int top = std::max(15, m_grpStatus->fontMetrics().height());
    // The frame (2) and the panel's margin (4) on each side, the label's 4 pixels left and
    // right inside the group box.
    const QSize popup =
        QSize(249, 61).expandedTo(QSize(label.width() + 20, top + label.height() + 12));
    m_lblStatus->setFixedSize(label);
    m_lblStatus->move(4, top);
    if (popup == size() && m_panel->size() == popup) {
        return;
    }
    const QPoint centre = geometry().center();
    setFixedSize(popup);
    m_panel->setGeometry(0, 0, popup.width(), popup.height());
    if (isVisible()) {
        move(centre - QPoint(popup.width() / 2, popup.height() / 2));
    }
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
    FitToText();
    if (paint) {
        repaint();
    }
}

}  // namespace pellquin
