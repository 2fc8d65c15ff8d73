#pragma once

#include <stdexcept>
#include <string>

#include "query/pellquin_request.h"

namespace pellquin {

constexpr uint16_t SERVICE_PORT = 8021;

// A reply from the query service that was cut short. The only failure the engine lets
// escape to its caller; the message is "Connection Closed Gracefully." or "Stream read error".
class ServiceReplyError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The conversation with the query service on the request's server: one connection per
// operation. Abstract so that the query mechanism can be tested with a scripted service.
// Both operations expect ResolvePath to have succeeded and RequestKind (and FileId) set.
class ServiceExchange {
public:
    virtual ~ServiceExchange() = default;

    // Stores the service's reply in the request (rows, ServerPath, ErrorText), or records a
    // socket failure in ErrorCode and ErrorText and returns true; a service that declines the
    // handshake changes nothing. Throws ServiceReplyError for a reply cut short.
    virtual bool QueryThroughService(TPellquinRequest& request) = 0;

    // Stores the reply's error text, or records a socket failure. Throws like the query.
    virtual void CloseThroughService(TPellquinRequest& request) = 0;
};

}  // namespace pellquin
