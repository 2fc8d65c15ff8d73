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

// Lets many requests share enumerations of one server without ever being answered from
// data older than the request. A request that arrives while no enumeration runs starts one;
// requests that arrive while one runs wait for the next, which then answers all of them.
// So a burst of N requests costs at most two enumerations, and each answer was taken after
// its request arrived.
//
// Blocking: the calling thread waits, and the first waiter runs the enumeration on its own
// thread. An enumeration that never ends holds every waiter; callers bound their wait from
// outside (the server times the connection out and drops the answer).
class EnumerationCoalescer {
public:
    // `enumerate` lists the whole server; it is never called by two threads at once.
    explicit EnumerationCoalescer(std::function<ServerEnumeration()> enumerate);

    // An enumeration that started after this call, shared with the requests it answered.
    std::shared_ptr<const ServerEnumeration> Await();

private:
    std::function<ServerEnumeration()> m_enumerate;
    std::mutex m_mutex;
    std::condition_variable m_finishedChanged;
    uint64_t m_started = 0;   // enumerations begun
    uint64_t m_finished = 0;  // enumerations ended; m_latest is the last of them
    bool m_running = false;
    std::shared_ptr<const ServerEnumeration> m_latest;
};

}  // namespace pellquin
