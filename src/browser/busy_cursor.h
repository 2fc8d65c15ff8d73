#pragma once

#include <QApplication>

namespace pellquin {

// The hourglass for the length of a command, restored on every way out.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { Restore(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    // Restores the cursor before the scope ends (as before a box that waits for the user).
    void Restore() {
        if (m_active) {
            m_active = false;
            QApplication::restoreOverrideCursor();
        }
    }

private:
    bool m_active = true;
};

}  // namespace pellquin
