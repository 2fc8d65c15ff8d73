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
// costs a socket and a timer, never another client's time. The handler runs on one engine
// thread of its own, fed by a queue: the network calls allow one context per process, and a
// slow call then delays only the requests queued behind it, never a handshake. Connections
// beyond the configured cap are left in the listen backlog until one ends; every read and
// the reply's write are limited by the configured time-out.
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
