#include "app/auto_refresh.h"

#include <QTimer>
#include <utility>

namespace pellquin {

AutoRefresh::AutoRefresh(std::function<void()> refresh, std::function<bool()> busy, QObject* parent)
    : QObject(parent), m_refresh(std::move(refresh)), m_busy(std::move(busy)) {
    m_timer = new QTimer(this);
    m_timer->setObjectName("tmrAutoRefresh");
    connect(m_timer, &QTimer::timeout, this, &AutoRefresh::Tick);
}

void AutoRefresh::SetSeconds(int seconds) {
    if (seconds <= 0) {
        m_timer->stop();
        return;
    }
    m_timer->start(seconds * 1000);
}

bool AutoRefresh::IsActive() const {
    return m_timer->isActive();
}

void AutoRefresh::Tick() {
    if (!m_busy()) {
        m_refresh();
    }
}

}  // namespace pellquin
