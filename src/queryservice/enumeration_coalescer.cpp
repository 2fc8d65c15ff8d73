#include "queryservice/enumeration_coalescer.h"

namespace pellquin {

EnumerationCoalescer::EnumerationCoalescer(std::function<ServerEnumeration()> enumerate)
    : m_enumerate(std::move(enumerate)) {}

std::shared_ptr<const ServerEnumeration> EnumerationCoalescer::Await() {
    std::unique_lock<std::mutex> lock(m_mutex);
    // The one running now (if any) began before this request: only a later one will do.
    const uint64_t needed = m_started + 1;
    while (m_finished < needed) {
        if (m_running) {
            m_finishedChanged.wait(lock);
            continue;
        }
        m_running = true;
        ++m_started;
        lock.unlock();
        std::shared_ptr<const ServerEnumeration> result;
        try {
            result = std::make_shared<const ServerEnumeration>(m_enumerate());
        } catch (...) {
            lock.lock();
            m_running = false;
            --m_started;
            m_finishedChanged.notify_all();
            throw;
        }
        lock.lock();
        m_latest = std::move(result);
        m_finished = m_started;
        m_running = false;
        m_finishedChanged.notify_all();
    }
    return m_latest;
}

}  // namespace pellquin
