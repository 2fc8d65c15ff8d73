#pragma once

#include <memory>

#include "query/service_transport.h"

namespace pellquin {

// The service transport over a real TCP socket (standalone Asio). Time-outs run the socket's
// own event loop for the allowed time and cancel the read when it passes.
class TcpTransport : public ServiceTransport {
public:
    TcpTransport();
    ~TcpTransport() override;

    TransportStatus Connect(const std::string& host, uint16_t port) override;
    TransportStatus WriteLine(const std::string& line) override;
    TransportStatus ReadLine(std::string& line, std::chrono::milliseconds timeout) override;
    TransportStatus WriteInt32BE(int32_t value) override;
    TransportStatus Write(const uint8_t* data, size_t size) override;
    TransportStatus ReadInt32BE(int32_t& value, std::chrono::milliseconds idleTimeout,
                                std::chrono::steady_clock::time_point deadline) override;
    TransportStatus ReadExact(std::vector<uint8_t>& data, size_t size,
                              std::chrono::milliseconds idleTimeout,
                              std::chrono::steady_clock::time_point deadline) override;
    void Disconnect() override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace pellquin
