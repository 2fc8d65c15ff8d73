#include "app/window_geometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <limits>

namespace pellquin {
namespace {

int64_t Clamp64(int64_t value, int64_t low, int64_t high) {
    return std::max(low, std::min(value, high));
}

}  // namespace

QRect BoundedToScreens(int left, int top, int width, int height, const QList<QRect>& screens) {
    const int64_t w = std::max(width, 1);
    const int64_t h = std::max(height, 1);
    const int64_t x = left;
    const int64_t y = top;
    if (screens.isEmpty()) {
        return QRect(left, top, static_cast<int>(w), static_cast<int>(h));
    }
    int best = -1;
    int64_t bestArea = 0;
    for (int i = 0; i < screens.size(); ++i) {
        const QRect& s = screens[i];
        const int64_t sx1 = s.x();
        const int64_t sy1 = s.y();
        const int64_t sx2 = sx1 + s.width();
        const int64_t sy2 = sy1 + s.height();
        if (x >= sx1 && y >= sy1 && x + w <= sx2 && y + h <= sy2) {
            return QRect(left, top, static_cast<int>(w), static_cast<int>(h));
        }
        const int64_t iw = std::min(x + w, sx2) - std::max(x, sx1);
        const int64_t ih = std::min(y + h, sy2) - std::max(y, sy1);
        if (iw > 0 && ih > 0 && iw * ih > bestArea) {
            bestArea = iw * ih;
            best = i;
        }
    }
    if (best < 0) {
        // Nothing overlaps: the screen whose area lies nearest to the window's centre.
        const int64_t cx = x + w / 2;
        const int64_t cy = y + h / 2;
        uint64_t bestDistance = std::numeric_limits<uint64_t>::max();
        for (int i = 0; i < screens.size(); ++i) {
            const QRect& s = screens[i];
            const int64_t dx = cx - Clamp64(cx, s.x(), int64_t{s.x()} + s.width() - 1);
            const int64_t dy = cy - Clamp64(cy, s.y(), int64_t{s.y()} + s.height() - 1);
            // Each difference fits in 33 bits, so the sum of squares fits in 64.
            const uint64_t distance =
                static_cast<uint64_t>(dx * dx) + static_cast<uint64_t>(dy * dy);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
    }
    const QRect& s = screens[best];
    const int64_t cappedW = std::min<int64_t>(w, s.width());
    const int64_t cappedH = std::min<int64_t>(h, s.height());
    const int64_t cappedX = Clamp64(x, s.x(), int64_t{s.x()} + s.width() - cappedW);
    const int64_t cappedY = Clamp64(y, s.y(), int64_t{s.y()} + s.height() - cappedH);
    return QRect(static_cast<int>(cappedX), static_cast<int>(cappedY), static_cast<int>(cappedW),
                 static_cast<int>(cappedH));
}

QList<QRect> AvailableScreenAreas() {
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        areas.append(screen->availableGeometry());
    }
    return areas;
}

WindowGeometry::WindowGeometry(QWidget& window) : m_window(window) {}

QRect WindowGeometry::OuterBounds() const {
    return m_window.frameGeometry();
}

void WindowGeometry::SetOuterBounds(int storedLeft, int storedTop, int storedWidth,
                                    int storedHeight, bool sizeStored) {
    const QRect bounded =
        BoundedToScreens(storedLeft, storedTop, storedWidth, storedHeight, AvailableScreenAreas());
    const int left = bounded.x();
    const int top = bounded.y();
    const int width = bounded.width();
    const int height = bounded.height();
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
