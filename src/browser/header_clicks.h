#pragma once

#include <QObject>
#include <functional>

class QHeaderView;

namespace pellquin {

// Every click on a header section, fast ones included. A second click soon after the first
// may arrive as a double-click whose press the header never sees, and then the header reports
// no click for it; such a double-click counts as the click. One whose press the header did see
// is followed by its own click and is not counted twice.
class HeaderClicks : public QObject {
    Q_OBJECT
public:
    // Calls `clicked` with the section's logical index at each click; the object is the
    // header's child.
    static void Connect(QHeaderView* header, std::function<void(int)> clicked);

private:
    HeaderClicks(QHeaderView* header, std::function<void(int)> clicked);

    std::function<void(int)> m_clicked;
    bool m_pressed = false;  // a press the header saw, not yet followed by its click
};

}  // namespace pellquin
