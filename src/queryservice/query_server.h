#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "queryservice/request_handler.h"
#include "queryservice/service_config.h"

namespace pellquin {

// The query service's network side: accepts TCP connections, runs each conversation and
// hands complete records to the request handler.
//
// Threads: one I/O thread runs every connection asynchronously, so a slow or silent client
// costs a socket and a timer, never another client's time. Requests are answered on a
// small pool of request threads, so a slow or hung file-server call holds up only the
// requests that need its answer, never an accept, a handshake or a time-out; the handler
// must therefore be safe to call from several threads (see CoalescingNetFileApi).
//
// Admission happens when a connection is accepted, before any byte is read: an address
// outside the allow-list, an address already holding its share of connections, and any
// connection beyond the cap are closed at once (ConnectionAdmission) and noted in the log
// without anything the client sent. Every read and the reply's write are limited by the
// I/O time-out, the wait for an answer by the answer time-out, and the reply bytes held
// for clients that do not read them by ReplyBudget.
class QueryServer {
public:
    QueryServer(ServiceConfig config, std::unique_ptr<RequestHandler> handler);
    ~QueryServer();

    // Binds and listens on the configured address and port (port 0: any free one).
    bool Listen(std::string* error);

    // The port actually bound; valid after Listen.
    uint16_t Port() const;

    // Serves on the calling thread until Stop, or until SIGINT or SIGTERM when
    // `stopOnSignals` is set.
    void Run(bool stopOnSignals);

    // Ends Run. Safe from any thread.
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace pellquin
