#pragma once

#include <QList>
#include <QRect>
#include <optional>

class QWidget;

namespace pellquin {

// The outer bounds (frame included) of a top-level window, as stored in the settings. Before
// the window manager has framed a window (on X11 until it is mapped) its frame reads as
// nothing, and a stored outer size would become the inner size: the window would grow by its
// frame at every start. Such bounds are applied once more when the frame appears.
class WindowGeometry {
public:
    // `window` is borrowed and must outlive this object.
    explicit WindowGeometry(QWidget& window);

    QRect OuterBounds() const;
    // Moves the frame's corner to (left, top) and sizes the window so that its frame, as
    // known now, is width by height. Bounds that fit within one of the available screens are
    // applied as they are; others are brought onto the nearest screen and capped to it (see
    // BoundedToScreens), so a stored size of 2^31 cannot make a window the size of the memory.
    // `sizeStored` tells whether the size came from the settings (only then is it applied again
    // once the frame is known).
    void SetOuterBounds(int left, int top, int width, int height, bool sizeStored);
    // To be called at every move, resize and show of the window: applies bounds that were
    // set while the window had no frame, once it has one.
    void Settle();

private:
    QWidget& m_window;
    std::optional<QRect> m_pending;
};

// The outer bounds (left, top, width, height) as they may be applied on `screens` (available
// areas, task bars excluded): unchanged when they lie within one screen; otherwise the size is
// capped to the screen that holds most of them (or, when none does, the screen nearest to
// their centre) and they are moved inside it. Sizes below 1 become 1. No screens: unchanged,
// sizes below 1 aside. Arithmetic is 64-bit, so any int input is safe.
QRect BoundedToScreens(int left, int top, int width, int height, const QList<QRect>& screens);

// The available areas of the screens the platform reports now.
QList<QRect> AvailableScreenAreas();

}  // namespace pellquin
