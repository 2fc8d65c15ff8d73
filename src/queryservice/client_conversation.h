#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "queryservice/connection_parser.h"

namespace pellquin {

// The service's side of one conversation as the session's loop drives it, without a socket:
// bytes come in, and it says what the session must do next. The server's sessions and the
// fuzzer run this same step, so the fuzzer tests the loop that serves clients.
// Memory stays bounded: it keeps at most one read's bytes beyond the parser's own.
class ClientConversation {
public:
    enum class Next {
        Read,           // read more bytes and pass them to Received
        SendHandshake,  // send kHandshakeReply, then call Resume
        Dispatch,       // Record() is complete: answer it; nothing more is read
        Close,          // close the connection; Reason() says why
    };

    // Works through the bytes just read (after any kept back by a handshake).
    Next Received(const uint8_t* data, size_t size);

    // Goes on with the bytes kept back once the handshake reply has been sent.
    Next Resume();

    const std::vector<uint8_t>& Record() const { return m_parser.Record(); }
    const std::string& Reason() const { return m_parser.Reason(); }

private:
    Next Work();

    ConnectionParser m_parser;
    std::vector<uint8_t> m_pending;
    size_t m_offset = 0;
    bool m_finished = false;
};

}  // namespace pellquin
