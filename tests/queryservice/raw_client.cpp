#include "raw_client.h"

#include <asio.hpp>
#include <chrono>

namespace pellquin::test {

struct RawClient::Impl {
    asio::io_context io;
    asio::ip::tcp::socket socket{io};
    std::chrono::milliseconds timeout;
    bool connected = false;

    // Runs one asynchronous operation until it completes or `limit` passes; a late operation
    // is cancelled and reported as timed_out. *count receives the bytes moved.
    template <typename Start>
    asio::error_code Run(Start start, std::chrono::milliseconds limit, size_t* count = nullptr) {
        asio::error_code result = asio::error::would_block;
        size_t moved = 0;
        io.restart();
        start([&](const asio::error_code& error, size_t n = 0) {
            result = error;
            moved = n;
        });
        io.run_for(limit);
        if (result == asio::error::would_block) {
            asio::error_code ignored;
            socket.cancel(ignored);
            io.restart();
            io.run();
            result = asio::error::timed_out;
        }
        if (count != nullptr) {
            *count = moved;
        }
        return result;
    }
};

RawClient::RawClient(const std::string& ip, uint16_t port, int timeoutMs, const std::string& source)
    : m_impl(std::make_unique<Impl>()) {
    m_impl->timeout = std::chrono::milliseconds(timeoutMs);
    asio::error_code error;
    const asio::ip::tcp::endpoint endpoint(asio::ip::make_address(ip, error), port);
    if (error) {
        return;
    }
    if (!source.empty()) {
        m_impl->socket.open(endpoint.protocol(), error);
        if (!error) {
            m_impl->socket.bind(asio::ip::tcp::endpoint(asio::ip::make_address(source, error), 0),
                                error);
        }
        if (error) {
            return;
        }
    }
    error = m_impl->Run(
        [&](auto done) {
            m_impl->socket.async_connect(endpoint,
                                         [done](const asio::error_code& e) mutable { done(e); });
        },
        m_impl->timeout);
    m_impl->connected = !error;
}

RawClient::~RawClient() = default;

bool RawClient::ok() const {
    return m_impl->connected;
}

bool RawClient::Send(const std::vector<uint8_t>& bytes) {
    const asio::error_code error = m_impl->Run(
        [&](auto done) { asio::async_write(m_impl->socket, asio::buffer(bytes), done); },
        m_impl->timeout);
    return !error;
}

bool RawClient::Send(const std::string& text) {
    return Send(std::vector<uint8_t>(text.begin(), text.end()));
}

std::optional<std::string> RawClient::ReadLine() {
    std::string line;
    char c = 0;
    for (;;) {
        const asio::error_code error = m_impl->Run(
            [&](auto done) { m_impl->socket.async_read_some(asio::buffer(&c, 1), done); },
            m_impl->timeout);
        if (error) {
            return std::nullopt;
        }
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return line;
        }
        line.push_back(c);
    }
}

std::optional<std::vector<uint8_t>> RawClient::ReadExact(size_t size) {
    std::vector<uint8_t> data(size);
    const asio::error_code error =
        m_impl->Run([&](auto done) { asio::async_read(m_impl->socket, asio::buffer(data), done); },
                    m_impl->timeout);
    if (error) {
        return std::nullopt;
    }
    return data;
}

bool RawClient::ClosedByPeer(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        const asio::error_code error = m_impl->Run(
            [&](auto done) {
                m_impl->socket.async_read_some(asio::buffer(buffer, sizeof buffer), done);
            },
            left);
        if (error == asio::error::timed_out) {
            return false;
        }
        if (error) {
            return true;
        }
    }
}

std::optional<DecodedQueryReply> RawClient::Exchange(const ServiceRequestRecord& record) {
    if (!ok() || !Send("Request\r\n")) {
        return std::nullopt;
    }
    const auto line = ReadLine();
    if (!line || *line != "OK") {
        return std::nullopt;
    }
    const EncodedRecord encoded = EncodeRequestRecord(record);
    const auto prefix = EncodeLength(static_cast<uint32_t>(encoded.bytes.size()));
    if (!Send(std::vector<uint8_t>(prefix.begin(), prefix.end())) || !Send(encoded.bytes)) {
        return std::nullopt;
    }
    const auto length = ReadExact(4);
    if (!length) {
        return std::nullopt;
    }
    ByteReader reader(*length);
    const auto body = ReadExact(DecodeLength(reader));
    if (!body) {
        return std::nullopt;
    }
    return DecodeQueryReply(body->data(), body->size());
}

ServiceRequestRecord QueryRecord(const std::string& server, const std::string& share,
                                 const std::string& path) {
    ServiceRequestRecord record;
    record.Server = server;
    record.Share = share;
    record.Path = path;
    record.RequestKind = 1;
    record.UserName = "tester";
    record.ComputerName = "TESTPC";
    return record;
}

}  // namespace pellquin::test
