#include "raw_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace pellquin::test {

RawClient::RawClient(const std::string& ip, uint16_t port, int timeoutMs) {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        return;
    }
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    inet_pton(AF_INET, ip.c_str(), &address.sin_addr);
    if (connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(m_fd);
        m_fd = -1;
    }
}

RawClient::~RawClient() {
    if (m_fd >= 0) {
        close(m_fd);
    }
}

bool RawClient::Send(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool RawClient::Send(const std::string& text) {
    return Send(std::vector<uint8_t>(text.begin(), text.end()));
}

std::optional<std::string> RawClient::ReadLine() {
    std::string line;
    char c = 0;
    while (recv(m_fd, &c, 1, 0) == 1) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return line;
        }
        line.push_back(c);
    }
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> RawClient::ReadExact(size_t size) {
    std::vector<uint8_t> data(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = recv(m_fd, data.data() + done, size - done, 0);
        if (n <= 0) {
            return std::nullopt;
        }
        done += static_cast<size_t>(n);
    }
    return data;
}

bool RawClient::ClosedByPeer(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            return false;
        }
        pollfd watch{m_fd, POLLIN, 0};
        if (poll(&watch, 1, static_cast<int>(left)) <= 0) {
            return false;
        }
        const ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
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
