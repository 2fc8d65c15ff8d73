#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/system_info.h"
#include "query/service_exchange.h"
#include "query/service_transport.h"

namespace pellquin {

// The client side of the query service conversation: one fresh connection per operation,
// the "Request"/"OK" handshake, the length-prefixed request record and the reply. The
// connection is closed at the end of every exchange, whatever its outcome.
class ServiceClient : public ServiceExchange {
public:
    static constexpr std::chrono::milliseconds kHandshakeTimeout{5000};
    // Longest silence tolerated while the reply's length or body is on its way.
    static constexpr std::chrono::milliseconds kReplyTimeout{30000};

    // `system` gives the user and computer names sent with every request; `transport` is the
    // TCP client (TcpTransport in the program).
    ServiceClient(std::unique_ptr<SystemInfo> system, std::unique_ptr<ServiceTransport> transport,
                  uint16_t port = SERVICE_PORT,
                  std::chrono::milliseconds handshakeTimeout = kHandshakeTimeout,
                  std::chrono::milliseconds replyTimeout = kReplyTimeout);

    // A text that does not fit its record field is refused before connecting, never cut:
    // over 254 bytes gives ErrorCode 206, an embedded NUL 123, each with its system text;
    // the query then returns false, since no socket failed.
    bool QueryThroughService(TPellquinRequest& request) override;
    void CloseThroughService(TPellquinRequest& request) override;

private:
    enum class Outcome { Reply, Declined, SocketError, NotSent };

    // Runs the conversation up to the reply body, which it leaves in `body` on Reply.
    // Records socket and encoding failures in the request; throws ServiceReplyError when
    // the service closes the connection early or announces an unacceptable length.
    Outcome Exchange(TPellquinRequest& request, std::vector<uint8_t>& body);

    std::unique_ptr<SystemInfo> m_system;
    std::unique_ptr<ServiceTransport> m_transport;
    uint16_t m_port;
    std::chrono::milliseconds m_handshakeTimeout;
    std::chrono::milliseconds m_replyTimeout;
};

}  // namespace pellquin
