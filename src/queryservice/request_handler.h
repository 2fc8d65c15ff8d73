#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/net_file_api.h"
#include "platform/system_info.h"
#include "platform/wire_text.h"
#include "queryservice/service_log.h"

namespace pellquin {

// What the service refuses beyond the protocol. Both off by default.
struct HandlerPolicy {
    std::vector<std::string> allowedClients;  // exact addresses; empty: everyone
    bool refuseClose = false;
};

// Answers one request record with a reply body: a query through the same engine and
// resolution rules as a direct query (so base path and rows match one), a close through the
// same direct close, and refusals as error texts the client shows. Logs every request.
// Records arrive and leave in the wire's code page; everything in between (the query, its
// filter, the log) works on this program's own text.
//
// Safe to call from several threads when its NetFileApi and SystemInfo are: the service
// gives it a CoalescingNetFileApi, which runs the network calls one at a time.
class RequestHandler {
public:
    // `wireText` converts the records' texts; `log` may be null (no log).
    RequestHandler(std::unique_ptr<NetFileApi> netFiles, std::unique_ptr<SystemInfo> system,
                   std::unique_ptr<WireText> wireText, HandlerPolicy policy,
                   std::unique_ptr<ServiceLog> log);

    // The reply body (without its length prefix) for `record` from the client at `peer`.
    // Any bytes are answered: a record that cannot be read gets an error reply.
    std::vector<uint8_t> Handle(const std::string& peer, const uint8_t* record, size_t size);

    ServiceLog* Log() { return m_log.get(); }

private:
    std::unique_ptr<NetFileApi> m_netFiles;
    std::unique_ptr<SystemInfo> m_system;
    std::unique_ptr<WireText> m_wireText;
    HandlerPolicy m_policy;
    std::unique_ptr<ServiceLog> m_log;
};

}  // namespace pellquin
