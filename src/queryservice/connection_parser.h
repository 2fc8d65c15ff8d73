#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pellquin {

// The service's answer to an accepted handshake.
constexpr const char* kHandshakeReply = "OK\r\n";
// Longest handshake line kept while waiting for its LF; "Request" needs 9 bytes.
constexpr size_t kMaxHandshakeLine = 64;

// What a client sends on one connection, taken apart as bytes arrive: the line "Request"
// (ended by LF, a CR before it dropped), the big-endian length 1284, then the record.
// Socket-free, so that tests and the fuzzer drive it directly. Memory is bounded by the
// line cap and the fixed record size, whatever arrives.
class ConnectionParser {
public:
    enum class Event {
        None,               // all bytes consumed, more are needed
        HandshakeAccepted,  // send kHandshakeReply before going on
        RecordReady,        // Record() holds the request record
        Rejected,           // close the connection; Reason() says why
    };

    // Consumes bytes up to the next event (or all of them) and reports it; *consumed is
    // how many were used. After RecordReady or Rejected every byte is ignored.
    Event Feed(const uint8_t* data, size_t size, size_t* consumed);

    const std::vector<uint8_t>& Record() const { return m_record; }
    const std::string& Reason() const { return m_reason; }

private:
    enum class State { Line, Length, Record, Done };

    Event Reject(std::string reason);

    State m_state = State::Line;
    std::string m_line;
    uint8_t m_length[4] = {};
    size_t m_lengthBytes = 0;
    std::vector<uint8_t> m_record;
    std::string m_reason;
};

}  // namespace pellquin
