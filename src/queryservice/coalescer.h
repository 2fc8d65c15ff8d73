#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/net_file_api.h"

namespace pellquin {

// One whole enumeration of a server's open files: the status of the call that ended it
// (NET_OK, or the failure that cut it short) and, after NET_OK, every entry.
struct ServerEnumeration {
    uint32_t status = NET_OK;
    std::vector<OpenFileEntry> entries;
};

// Lets many requests share one call's result without ever being answered from data older
// than the request. A request joins the next call that has not begun yet, starting one when
// there is none; a call that has begun takes no one else, so requests that arrive while it
// runs wait for the next. While the file server is busy (`callLock` held), every request that
// arrives joins the one call waiting for it, so a burst of N requests costs two calls, not N.
//
// Blocking: the calling thread waits, and the first request of a call runs it on its own
// thread, holding `callLock` throughout. A call that never ends holds every request that
// waits for it; callers bound their wait from outside (the server times the connection out
// and drops the answer).
template <typename Result>
class Coalescer {
public:
    // `call` is run with `callLock` held, so never by two threads at once, and never at the
    // same time as anything else that takes `callLock`.
    Coalescer(std::function<Result()> call, std::mutex& callLock)
        : m_call(std::move(call)), m_callLock(callLock) {}

    // The result of a call that began after this request arrived, shared with the requests
    // it answered.
    std::shared_ptr<const Result> Await() {
        std::unique_lock<std::mutex> lock(m_mutex);
        uint64_t call = m_joinable;
        while (m_joinableHasRunner || call != m_joinable) {
            m_finishedChanged.wait(lock, [&] { return m_finished >= call || m_failed >= call; });
            if (m_finished >= call) {
                return m_latest;
            }
            // The call failed by an exception: take part in the next one.
            call = m_joinable;
        }
        m_joinableHasRunner = true;
        lock.unlock();
        std::unique_lock<std::mutex> busy(m_callLock);
        lock.lock();
        // From here on the call has begun: later requests need the next one.
        ++m_joinable;
        m_joinableHasRunner = false;
        lock.unlock();
        std::shared_ptr<const Result> result;
        try {
            result = std::make_shared<const Result>(m_call());
        } catch (...) {
            busy.unlock();
            lock.lock();
            m_failed = call;
            m_finishedChanged.notify_all();
            throw;
        }
        busy.unlock();
        lock.lock();
        if (call > m_finished) {
            m_latest = result;
            m_finished = call;
        }
        m_finishedChanged.notify_all();
        return result;
    }

private:
    std::function<Result()> m_call;
    std::mutex& m_callLock;
    std::mutex m_mutex;
    std::condition_variable m_finishedChanged;
    uint64_t m_joinable = 1;  // the call new requests join
    bool m_joinableHasRunner = false;
    uint64_t m_finished = 0;  // the last call that ended; m_latest is its result
    uint64_t m_failed = 0;    // the last call that ended by an exception
    std::shared_ptr<const Result> m_latest;
};

using EnumerationCoalescer = Coalescer<ServerEnumeration>;

}  // namespace pellquin
