#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/system_info.h"
#include "platform/wire_text.h"
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
    // Longest wait for the whole reply once the request is sent, however its bytes trickle.
    static constexpr std::chrono::milliseconds kReplyDeadline{120000};

    // `system` gives the user and computer names sent with every request; `transport` is the
    // TCP client (TcpTransport in the program); `wireText` converts the records' texts to and
    // from the service's code page.
    ServiceClient(std::unique_ptr<SystemInfo> system, std::unique_ptr<ServiceTransport> transport,
                  std::unique_ptr<WireText> wireText, uint16_t port = SERVICE_PORT,
                  std::chrono::milliseconds handshakeTimeout = kHandshakeTimeout,
                  std::chrono::milliseconds replyTimeout = kReplyTimeout,
                  std::chrono::milliseconds replyDeadline = kReplyDeadline);
    // The same with this system's default code page for the records.
    ServiceClient(std::unique_ptr<SystemInfo> system, std::unique_ptr<ServiceTransport> transport,
                  uint16_t port = SERVICE_PORT,
                  std::chrono::milliseconds handshakeTimeout = kHandshakeTimeout,
                  std::chrono::milliseconds replyTimeout = kReplyTimeout,
                  std::chrono::milliseconds replyDeadline = kReplyDeadline);

    // A text that does not fit its record field is refused before connecting, never cut:
    // over 254 bytes in the service's code page gives ErrorCode 206, an embedded NUL 123,
    // each with its system text; the query then returns false, since no socket failed. A
    // service that accepted the request but whose reply does not arrive in time fails the
    // request with code 1460 and "The Pellquin service on SERVER did not answer in time",
    // again without a socket failure: the service is there, so no message may say it is not
    // installed. A service that declines the handshake (or stays silent) records nothing but
    // ServiceDeclined.
    bool QueryThroughService(TPellquinRequest& request) override;
    void CloseThroughService(TPellquinRequest& request) override;

private:
    enum class Outcome { Reply, Declined, SocketError, NotSent, TimedOut };

    // Runs the conversation up to the reply body, which it leaves in `body` on Reply.
    // Records socket and encoding failures in the request; throws ServiceReplyError when
    // the service closes the connection early or announces an unacceptable length.
    Outcome Exchange(TPellquinRequest& request, std::vector<uint8_t>& body);

    std::unique_ptr<SystemInfo> m_system;
    std::unique_ptr<ServiceTransport> m_transport;
    std::unique_ptr<WireText> m_wireText;
    uint16_t m_port;
    std::chrono::milliseconds m_handshakeTimeout;
    std::chrono::milliseconds m_replyTimeout;
    std::chrono::milliseconds m_replyDeadline;
};

}  // namespace pellquin
