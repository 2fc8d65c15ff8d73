#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pellquin {

// Outcome of one transport step. A socket error carries the platform's error number and its
// text; Closed means the peer ended the connection before the data asked for arrived;
// TimedOut, that a read's time ran out (it also carries the number and text of a time-out).
struct TransportStatus {
    enum class Kind { Ok, Closed, SocketError, TimedOut };
    Kind kind = Kind::Ok;
    int code = 0;
    std::string message;

    bool Ok() const { return kind == Kind::Ok; }
};

// What the service exchange needs of a TCP client: one blocking connection at a time.
// Abstract so that the exchange logic reads without socket details and can be driven from
// memory (the reply fuzzer does).
class ServiceTransport {
public:
    virtual ~ServiceTransport() = default;

    // Resolves `host` with the platform's lookup and connects, with the platform's own
    // connect time-out. Drops a connection still open.
    virtual TransportStatus Connect(const std::string& host, uint16_t port) = 0;

    // Sends `line` and CR LF.
    virtual TransportStatus WriteLine(const std::string& line) = 0;

    // A line ended by LF, one CR before the LF dropped. When no whole line arrives within
    // `timeout` in all, gives an empty line and Ok. An overlong line is cut at a few KiB.
    virtual TransportStatus ReadLine(std::string& line, std::chrono::milliseconds timeout) = 0;

    virtual TransportStatus WriteInt32BE(int32_t value) = 0;
    virtual TransportStatus Write(const uint8_t* data, size_t size) = 0;

    // `idleTimeout` bounds each wait for more bytes and `deadline` the whole read, so a peer
    // that trickles bytes cannot hold the reader longer; running out of either is TimedOut.
    // ReadExact grows `data` as bytes arrive, never by `size` up front.
    virtual TransportStatus ReadInt32BE(int32_t& value, std::chrono::milliseconds idleTimeout,
                                        std::chrono::steady_clock::time_point deadline) = 0;
    virtual TransportStatus ReadExact(std::vector<uint8_t>& data, size_t size,
                                      std::chrono::milliseconds idleTimeout,
                                      std::chrono::steady_clock::time_point deadline) = 0;

    // Closes the connection if one is open; never fails.
    virtual void Disconnect() = 0;
};

}  // namespace pellquin
