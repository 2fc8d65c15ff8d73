#pragma once

#include <QObject>
#include <functional>

class QTimer;

namespace pellquin {

// Refreshes the results every few seconds when the user asks for it. A tick is skipped while
// `busy()` says so (a dialog is open, a clear is running), since a refresh then would refill
// the list under a loop that walks it; the next tick tries again.
class AutoRefresh : public QObject {
    Q_OBJECT
public:
    AutoRefresh(std::function<void()> refresh, std::function<bool()> busy,
                QObject* parent = nullptr);

    // Every `seconds`; 0 stops.
    void SetSeconds(int seconds);
    bool IsActive() const;

    // What a tick of the timer does; public so tests need not wait for one.
    void Tick();

private:
    std::function<void()> m_refresh;
    std::function<bool()> m_busy;
    QTimer* m_timer = nullptr;
};

}  // namespace pellquin
