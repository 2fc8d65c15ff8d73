#include "query/tcp_transport.h"

#include <algorithm>
#include <asio.hpp>

#include "protocol/service_codec.h"

namespace pellquin {
namespace {

// Longest handshake line kept; the service's answer is two letters.
constexpr size_t kMaxLine = 4096;
constexpr size_t kChunk = 64 * 1024;

TransportStatus FromError(const asio::error_code& error) {
    TransportStatus status;
    if (error == asio::error::eof) {
        status.kind = TransportStatus::Kind::Closed;
    } else if (error == asio::error::timed_out) {
        status.kind = TransportStatus::Kind::TimedOut;
    } else {
        status.kind = TransportStatus::Kind::SocketError;
    }
    status.code = error.value();
    status.message = error.message();
    return status;
}

}  // namespace

struct TcpTransport::Impl {
    asio::io_context io;
    asio::ip::tcp::socket socket{io};
    std::vector<uint8_t> pending;  // received after a line's LF, not yet consumed

    // Appends up to `max` received bytes to `into`, waiting at most `timeout` for the first.
    // Asio's blocking reads have no time-out, so the read is asynchronous and the event loop
    // runs for the allowed time only.
    asio::error_code ReceiveSome(std::vector<uint8_t>& into, size_t max,
                                 std::chrono::steady_clock::duration timeout) {
        const size_t old = into.size();
        into.resize(old + std::min(max, kChunk));
        asio::error_code result = asio::error::would_block;
        size_t received = 0;
        socket.async_read_some(asio::buffer(into.data() + old, into.size() - old),
                               [&](const asio::error_code& error, size_t count) {
                                   result = error;
                                   received = count;
                               });
        io.restart();
        io.run_for(timeout);
        if (!io.stopped()) {
            socket.cancel();
            io.restart();
            io.run();  // lets the cancelled read finish; `into` must outlive it
        }
        into.resize(old + received);
        if (result == asio::error::operation_aborted) {
            return asio::error::timed_out;
        }
        return result;
    }
};

TcpTransport::TcpTransport() : m_impl(std::make_unique<Impl>()) {}

TcpTransport::~TcpTransport() {
    Disconnect();
}

TransportStatus TcpTransport::Connect(const std::string& host, uint16_t port) {
    Disconnect();
    asio::error_code error;
    asio::ip::tcp::resolver resolver(m_impl->io);
    const auto endpoints = resolver.resolve(host, std::to_string(port), error);
    if (!error) {
        asio::connect(m_impl->socket, endpoints, error);
    }
    if (!error) {
        // The length prefix and the record go out as two small writes; without this the
        // second waits for the service's delayed acknowledgement, about 40 ms each time.
        asio::error_code ignored;
        m_impl->socket.set_option(asio::ip::tcp::no_delay(true), ignored);
    }
    return error ? FromError(error) : TransportStatus();
}

TransportStatus TcpTransport::WriteLine(const std::string& line) {
    const std::string text = line + "\r\n";
    return Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TransportStatus TcpTransport::ReadLine(std::string& line, std::chrono::milliseconds timeout) {
    line.clear();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<uint8_t>& pending = m_impl->pending;
    for (;;) {
        const auto lf = std::find(pending.begin(), pending.end(), '\n');
        if (lf != pending.end() || pending.size() >= kMaxLine) {
            const auto end = lf != pending.end() ? lf : pending.begin() + kMaxLine;
            line.assign(pending.begin(), end);
            if (lf != pending.end() && !line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            pending.erase(pending.begin(), lf != pending.end() ? lf + 1 : end);
            return TransportStatus();
        }
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            return TransportStatus();
        }
        const asio::error_code error =
            m_impl->ReceiveSome(pending, kMaxLine - pending.size(), left);
        if (error == asio::error::timed_out) {
            return TransportStatus();
        }
        if (error) {
            return FromError(error);
        }
    }
}

TransportStatus TcpTransport::WriteInt32BE(int32_t value) {
    const auto bytes = EncodeLength(static_cast<uint32_t>(value));
    return Write(bytes.data(), bytes.size());
}

TransportStatus TcpTransport::Write(const uint8_t* data, size_t size) {
    asio::error_code error;
    asio::write(m_impl->socket, asio::buffer(data, size), error);
    return error ? FromError(error) : TransportStatus();
}

TransportStatus TcpTransport::ReadInt32BE(int32_t& value, std::chrono::milliseconds idleTimeout,
                                          std::chrono::steady_clock::time_point deadline) {
    std::vector<uint8_t> bytes;
    TransportStatus status = ReadExact(bytes, kLengthPrefixSize, idleTimeout, deadline);
    ByteReader reader(bytes);
    value = status.Ok() ? static_cast<int32_t>(DecodeLength(reader)) : 0;
    return status;
}

TransportStatus TcpTransport::ReadExact(std::vector<uint8_t>& data, size_t size,
                                        std::chrono::milliseconds idleTimeout,
                                        std::chrono::steady_clock::time_point deadline) {
    std::vector<uint8_t>& pending = m_impl->pending;
    const size_t buffered = std::min(size, pending.size());
    data.assign(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(buffered));
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(buffered));
    while (data.size() < size) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            return FromError(asio::error::timed_out);
        }
        const asio::error_code error =
            m_impl->ReceiveSome(data, size - data.size(),
                                std::min<std::chrono::steady_clock::duration>(idleTimeout, left));
        if (error) {
            return FromError(error);
        }
    }
    return TransportStatus();
}

void TcpTransport::Disconnect() {
    asio::error_code ignored;
    if (m_impl->socket.is_open()) {
        m_impl->socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        m_impl->socket.close(ignored);
    }
    m_impl->pending.clear();
}

}  // namespace pellquin
