#include "app/window_geometry.h"

#include <QWidget>

namespace pellquin {

WindowGeometry::WindowGeometry(QWidget& window) : m_window(window) {}

QRect WindowGeometry::OuterBounds() const {
    return m_window.frameGeometry();
}

void WindowGeometry::SetOuterBounds(int left, int top, int width, int height, bool sizeStored) {
    const QRect frame = m_window.frameGeometry();
    // The position is the frame's: before the window exists Qt places the frame there itself.
    m_window.move(left, top);
    const int frameWidth = frame.width() - m_window.width();
    const int frameHeight = frame.height() - m_window.height();
    m_window.resize(width - frameWidth, height - frameHeight);
    if (sizeStored && frameWidth == 0 && frameHeight == 0) {
        m_pending = QRect(left, top, width, height);
    } else {
        m_pending.reset();
    }
}

void WindowGeometry::Settle() {
    if (!m_pending || m_window.windowHandle() == nullptr) {
        return;
    }
    const QRect frame = m_window.frameGeometry();
    const int frameWidth = frame.width() - m_window.width();
    const int frameHeight = frame.height() - m_window.height();
    if (frameWidth == 0 && frameHeight == 0) {
        return;
    }
    const QRect pending = *m_pending;
    m_pending.reset();
    m_window.resize(pending.width() - frameWidth, pending.height() - frameHeight);
    m_window.move(pending.topLeft());
}

}  // namespace pellquin
