#pragma once

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
    // known now, is width by height. Stored values are applied as they are, without any check
    // against the screen. `sizeStored` tells whether the size came from the settings (only
    // then is it applied again once the frame is known).
    void SetOuterBounds(int left, int top, int width, int height, bool sizeStored);
    // To be called at every move, resize and show of the window: applies bounds that were
    // set while the window had no frame, once it has one.
    void Settle();

private:
    QWidget& m_window;
    std::optional<QRect> m_pending;
};

}  // namespace pellquin
