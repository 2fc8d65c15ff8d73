#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/service_codec.h"

namespace pellquin::test {

// A deliberately plain blocking client for driving the service byte by byte: tests need to
// stall, misbehave and inspect what comes back, which the real client never does. Built on
// Asio, so the same tests drive the service over Winsock.
class RawClient {
public:
    // Connects to ip:port, from `source` when one is given (a loopback address stands for
    // another client machine); ok() tells whether it did. Every read gives up after
    // timeoutMs.
    RawClient(const std::string& ip, uint16_t port, int timeoutMs = 5000,
              const std::string& source = std::string());
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool ok() const;
    bool Send(const std::vector<uint8_t>& bytes);
    bool Send(const std::string& text);
    // The next line without its LF (and CR); nullopt on time-out or end of stream.
    std::optional<std::string> ReadLine();
    std::optional<std::vector<uint8_t>> ReadExact(size_t size);
    // Whether the service closes the connection within timeoutMs, reading what it sends.
    bool ClosedByPeer(int timeoutMs);

    // The whole conversation for one record; nullopt when any step fails.
    std::optional<DecodedQueryReply> Exchange(const ServiceRequestRecord& record);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

ServiceRequestRecord QueryRecord(const std::string& server, const std::string& share,
                                 const std::string& path);

}  // namespace pellquin::test
