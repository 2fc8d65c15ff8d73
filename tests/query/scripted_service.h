#pragma once

#include <algorithm>
#include <asio.hpp>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

// A scripted query service for the client's tests: the peer's bytes exactly as a script
// writes them, as another implementation of the service would send them.
namespace pellquin::test {

using asio::ip::tcp;

// One accepted connection, seen from the scripted service. Reads give up after a few
// seconds so that a faulty client fails the test instead of hanging it.
class Peer {
public:
    explicit Peer(tcp::socket socket) : m_socket(std::move(socket)) { m_socket.non_blocking(true); }

    // Bytes up to and including the first LF, or what came before the client stopped.
    std::string ReadLine() {
        std::string line;
        while (line.empty() || line.back() != '\n') {
            const std::string more = Read(1);
            if (more.empty()) {
                break;
            }
            line += more;
        }
        return line;
    }

    // Exactly `count` bytes, or fewer when the client closed or went quiet.
    std::string Read(size_t count) {
        std::string data;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (data.size() < count && std::chrono::steady_clock::now() < deadline) {
            char buffer[4096];
            asio::error_code error;
            const size_t n = m_socket.read_some(
                asio::buffer(buffer, std::min(sizeof buffer, count - data.size())), error);
            if (error == asio::error::would_block) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            if (error) {
                m_closed = error == asio::error::eof;
                break;
            }
            data.append(buffer, n);
        }
        return data;
    }

    // True when the client closed its end (and sent nothing more) within a few seconds.
    bool SawEndOfStream() {
        if (!m_closed) {
            const std::string extra = Read(1);
            return extra.empty() && m_closed;
        }
        return true;
    }

    void Send(const std::string& bytes) {
        asio::error_code error;
        m_socket.non_blocking(false);
        asio::write(m_socket, asio::buffer(bytes), error);
        m_socket.non_blocking(true);
    }

    void Close() {
        asio::error_code ignored;
        m_socket.close(ignored);
    }

private:
    tcp::socket m_socket;
    bool m_closed = false;
};

// A tiny query service on 127.0.0.1 that runs a script on each connection it accepts, on
// its own thread. Join() before reading what the script recorded.
class ScriptedServer {
public:
    using Script = std::function<void(Peer&)>;

    explicit ScriptedServer(Script script, uint16_t port = 0, int connections = 1)
        : m_acceptor(m_io) {
        const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), port);
        m_acceptor.open(endpoint.protocol());
        m_acceptor.set_option(tcp::acceptor::reuse_address(true));
        m_acceptor.bind(endpoint);
        m_acceptor.listen();
        m_acceptor.non_blocking(true);
        m_port = m_acceptor.local_endpoint().port();
        m_thread = std::thread([this, script, connections] {
            for (int i = 0; i < connections; ++i) {
                tcp::socket socket(m_io);
                if (!Accept(socket)) {
                    return;
                }
                Peer peer(std::move(socket));
                script(peer);
            }
        });
    }

    ~ScriptedServer() { Join(); }

    uint16_t Port() const { return m_port; }

    void Join() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

private:
    bool Accept(tcp::socket& socket) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            asio::error_code error;
            m_acceptor.accept(socket, error);
            if (!error) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    asio::io_context m_io;
    tcp::acceptor m_acceptor;
    uint16_t m_port = 0;
    std::thread m_thread;
};

}  // namespace pellquin::test
