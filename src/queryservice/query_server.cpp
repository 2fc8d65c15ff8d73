#include "queryservice/query_server.h"

#include <asio.hpp>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "protocol/service_codec.h"
#include "queryservice/connection_parser.h"

namespace pellquin {
namespace {

using asio::ip::tcp;

// Runs jobs one after the other on a thread of its own.
class EngineThread {
public:
    EngineThread() : m_thread([this] { Loop(); }) {}
    ~EngineThread() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
            m_jobs.clear();
        }
        m_wake.notify_one();
        m_thread.join();
    }

    void Post(std::function<void()> job) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_jobs.push_back(std::move(job));
        }
        m_wake.notify_one();
    }

private:
    void Loop() {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
                if (m_stopping) {
                    return;
                }
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

std::string PeerAddress(const tcp::socket& socket) {
    asio::error_code ec;
    asio::ip::address address = socket.remote_endpoint(ec).address();
    if (ec) {
        return "?";
    }
    if (address.is_v6() && address.to_v6().is_v4_mapped()) {
        address = asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
    }
    return address.to_string();
}

}  // namespace

struct QueryServer::Impl {
    // Outlives the server while sessions still hold it (some end on the engine thread or
    // when the I/O context is torn down).
    struct Shared {
        std::atomic<bool> stopping{false};
        std::function<void()> sessionEnded;  // called on the I/O thread
    };

    class Session : public std::enable_shared_from_this<Session> {
    public:
        Session(Impl& server, tcp::socket socket)
            : m_server(server),
              m_shared(server.m_shared),
              m_socket(std::move(socket)),
              m_timer(m_socket.get_executor()),
              m_peer(PeerAddress(m_socket)) {}

        ~Session() {
            if (!m_shared->stopping) {
                m_shared->sessionEnded();
            }
        }

        void Start() {
            ArmTimer();
            Read();
        }

        void WriteReply(std::vector<uint8_t> body) {
            if (!m_socket.is_open()) {
                return;
            }
            m_reply = std::move(body);
            m_prefix = EncodeLength(static_cast<uint32_t>(m_reply.size()));
            const std::array<asio::const_buffer, 2> buffers = {asio::buffer(m_prefix),
                                                               asio::buffer(m_reply)};
            ArmTimer();
            asio::async_write(
                m_socket, buffers,
                [self = shared_from_this()](asio::error_code, size_t) { self->Close(); });
        }

    private:
        void ArmTimer() {
            m_timer.expires_after(std::chrono::milliseconds(m_server.m_config.ioTimeoutMs));
            m_timer.async_wait([self = shared_from_this()](asio::error_code ec) {
                if (!ec) {
                    self->Close();
                }
            });
        }

        void Read() {
            m_socket.async_read_some(asio::buffer(m_buffer), [self = shared_from_this()](
                                                                 asio::error_code ec, size_t size) {
                if (ec) {
                    self->Close();
                    return;
                }
                self->m_pending.assign(self->m_buffer.begin(), self->m_buffer.begin() + size);
                self->Consume();
            });
        }

        // Feeds the bytes received so far to the parser and acts on what it reports.
        void Consume() {
            while (!m_pending.empty()) {
                size_t used = 0;
                const auto event = m_parser.Feed(m_pending.data(), m_pending.size(), &used);
                m_pending.erase(m_pending.begin(), m_pending.begin() + used);
                switch (event) {
                    case ConnectionParser::Event::None:
                        break;
                    case ConnectionParser::Event::Rejected:
                        Close();
                        return;
                    case ConnectionParser::Event::HandshakeAccepted:
                        ArmTimer();
                        asio::async_write(m_socket, asio::buffer(kHandshakeReply, 4),
                                          [self = shared_from_this()](asio::error_code ec, size_t) {
                                              if (ec) {
                                                  self->Close();
                                              } else {
                                                  self->Consume();
                                              }
                                          });
                        return;
                    case ConnectionParser::Event::RecordReady:
                        Dispatch();
                        return;
                }
            }
            Read();
        }

        // The engine may take long; no timer runs while the request waits for it.
        void Dispatch() {
            m_timer.cancel();
            m_pending.clear();
            // The job hands its reference on to the I/O thread: a session must end there, since
            // its end touches the accept state, which only the I/O thread may use.
            m_server.m_engine.Post([self = shared_from_this()]() mutable {
                std::vector<uint8_t> reply = self->m_server.m_handler->Handle(
                    self->m_peer, self->m_parser.Record().data(), self->m_parser.Record().size());
                const auto executor = self->m_socket.get_executor();
                asio::post(executor, [self = std::move(self), reply = std::move(reply)]() mutable {
                    self->WriteReply(std::move(reply));
                });
            });
        }

        void Close() {
            asio::error_code ignored;
            m_timer.cancel();
            if (m_socket.is_open()) {
                m_socket.shutdown(tcp::socket::shutdown_both, ignored);
                m_socket.close(ignored);
            }
        }

        Impl& m_server;
        std::shared_ptr<Shared> m_shared;
        tcp::socket m_socket;
        asio::steady_timer m_timer;
        std::string m_peer;
        ConnectionParser m_parser;
        std::array<uint8_t, 2048> m_buffer{};
        std::vector<uint8_t> m_pending;
        std::array<uint8_t, kLengthPrefixSize> m_prefix{};
        std::vector<uint8_t> m_reply;
    };

    Impl(ServiceConfig config, std::unique_ptr<RequestHandler> handler)
        : m_config(std::move(config)),
          m_handler(std::move(handler)),
          m_shared(std::make_shared<Shared>()),
          m_acceptor(m_io),
          m_retryTimer(m_io) {
        m_shared->sessionEnded = [this] {
            --m_active;
            StartAccept();
        };
    }

    ~Impl() {
        m_shared->stopping = true;
        asio::error_code ignored;
        m_acceptor.close(ignored);
    }

    void StartAccept() {
        if (m_accepting || m_shared->stopping || m_active >= m_config.maxConnections) {
            return;
        }
        m_accepting = true;
        m_acceptor.async_accept([this](asio::error_code ec, tcp::socket socket) {
            m_accepting = false;
            if (ec == asio::error::operation_aborted || m_shared->stopping) {
                return;
            }
            if (ec) {
                // Out of descriptors or the like: back off instead of spinning.
                m_retryTimer.expires_after(std::chrono::milliseconds(100));
                m_retryTimer.async_wait([this](asio::error_code waitError) {
                    if (!waitError) {
                        StartAccept();
                    }
                });
                return;
            }
            ++m_active;
            std::make_shared<Session>(*this, std::move(socket))->Start();
            StartAccept();
        });
    }

    ServiceConfig m_config;
    std::unique_ptr<RequestHandler> m_handler;
    std::shared_ptr<Shared> m_shared;
    asio::io_context m_io;
    tcp::acceptor m_acceptor;
    asio::steady_timer m_retryTimer;
    size_t m_active = 0;
    bool m_accepting = false;
    // Last, so that it is joined first: a running job may still post to the I/O context.
    EngineThread m_engine;
};

QueryServer::QueryServer(ServiceConfig config, std::unique_ptr<RequestHandler> handler)
    : m_impl(std::make_unique<Impl>(std::move(config), std::move(handler))) {}

QueryServer::~QueryServer() = default;

bool QueryServer::Listen(std::string* error) {
    asio::error_code ec;
    const asio::ip::address address = asio::ip::make_address(m_impl->m_config.listenAddress, ec);
    if (ec) {
        *error = "bad listen address '" + m_impl->m_config.listenAddress + "'";
        return false;
    }
    const tcp::endpoint endpoint(address, m_impl->m_config.port);
    auto& acceptor = m_impl->m_acceptor;
    acceptor.open(endpoint.protocol(), ec);
    if (!ec) {
        acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
    }
    if (!ec) {
        acceptor.bind(endpoint, ec);
    }
    if (!ec) {
        acceptor.listen(asio::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        *error = "cannot listen on " + m_impl->m_config.listenAddress + " port " +
                 std::to_string(m_impl->m_config.port) + ": " + ec.message();
        acceptor.close(ec);
        return false;
    }
    return true;
}

uint16_t QueryServer::Port() const {
    asio::error_code ec;
    return m_impl->m_acceptor.local_endpoint(ec).port();
}

void QueryServer::Run(bool stopOnSignals) {
    asio::signal_set signals(m_impl->m_io);
    if (stopOnSignals) {
        signals.add(SIGINT);
        signals.add(SIGTERM);
        signals.async_wait([this](asio::error_code ec, int) {
            if (!ec) {
                Stop();
            }
        });
    }
    m_impl->StartAccept();
    m_impl->m_io.run();
}

void QueryServer::Stop() {
    m_impl->m_io.stop();
}

}  // namespace pellquin
