#include "queryservice/query_server.h"

#include <asio.hpp>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "protocol/service_codec.h"
#include "queryservice/client_conversation.h"
#include "queryservice/connection_admission.h"
#include "queryservice/reply_budget.h"

namespace pellquin {
namespace {

using asio::ip::tcp;

// Requests wait on these threads for the enumeration that answers them, so their number is
// how many requests one enumeration can answer at once (with 8, 200 clients got 0.3 of the
// service's own rate against Samba; with 64, 0.7). A hung file server holds them all in the
// one call it hangs in, while accepting, handshakes and time-outs go on on the I/O thread.
constexpr size_t kRequestThreads = 64;

// Runs jobs in arrival order on a few threads of its own.
class RequestPool {
public:
    explicit RequestPool(size_t threads) {
        for (size_t i = 0; i < threads; ++i) {
            m_threads.emplace_back([this] { Loop(); });
        }
    }
    ~RequestPool() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
            m_jobs.clear();
        }
        m_wake.notify_all();
        for (std::thread& thread : m_threads) {
            thread.join();
        }
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
    std::vector<std::thread> m_threads;
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
    // Outlives the server while sessions still hold it (some end on a request thread or
    // when the I/O context is torn down).
    struct Shared {
        std::atomic<bool> stopping{false};
    };

    class Session : public std::enable_shared_from_this<Session> {
    public:
        Session(Impl& server, tcp::socket socket, std::string peer)
            : m_server(server),
              m_shared(server.m_shared),
              m_socket(std::move(socket)),
              m_timer(m_socket.get_executor()),
              m_peer(std::move(peer)) {}

        // Runs on the I/O thread, or when the I/O context is torn down (stopping).
        ~Session() {
            if (!m_shared->stopping) {
                m_server.SessionEnded(m_peer, m_ticket);
            }
        }

        void Start() {
            ArmTimer(m_server.m_config.ioTimeoutMs);
            Read();
        }

        void Close() {
            asio::error_code ignored;
            m_abandoned = true;
            m_timer.cancel();
            if (m_socket.is_open()) {
                m_socket.shutdown(tcp::socket::shutdown_both, ignored);
                m_socket.close(ignored);
            }
        }

    private:
        void ArmTimer(uint32_t ms) {
            m_timer.expires_after(std::chrono::milliseconds(ms));
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
                self->Act(self->m_conversation.Received(self->m_buffer.data(), size));
            });
        }

        void Act(ClientConversation::Next next) {
            switch (next) {
                case ClientConversation::Next::Read:
                    Read();
                    return;
                case ClientConversation::Next::SendHandshake:
                    ArmTimer(m_server.m_config.ioTimeoutMs);
                    asio::async_write(m_socket, asio::buffer(kHandshakeReply, 4),
                                      [self = shared_from_this()](asio::error_code ec, size_t) {
                                          if (ec) {
                                              self->Close();
                                          } else {
                                              self->Act(self->m_conversation.Resume());
                                          }
                                      });
                    return;
                case ClientConversation::Next::Dispatch:
                    Dispatch();
                    return;
                case ClientConversation::Next::Close:
                    Close();
                    return;
            }
        }

        // The answer may take long, but not for ever: past the answer time-out the
        // connection closes, and an answer that comes later is dropped. A request whose
        // connection closed before its turn is not answered at all.
        void Dispatch() {
            ArmTimer(m_server.m_config.answerTimeoutMs);
            // The job hands its reference on to the I/O thread: a session must end there,
            // since its end touches the admission state, which only the I/O thread uses.
            m_server.m_requests.Post([self = shared_from_this()]() mutable {
                std::vector<uint8_t> reply;
                if (!self->m_abandoned) {
                    reply = self->m_server.m_handler->Handle(self->m_peer,
                                                             self->m_conversation.Record().data(),
                                                             self->m_conversation.Record().size());
                }
                const auto executor = self->m_socket.get_executor();
                asio::post(executor, [self = std::move(self), reply = std::move(reply)]() mutable {
                    self->WriteReply(std::move(reply));
                });
            });
        }

        void WriteReply(std::vector<uint8_t> body) {
            if (!m_socket.is_open()) {
                return;
            }
            m_prefix = EncodeLength(static_cast<uint32_t>(body.size()));
            ReplyBudget::Admission admission = m_server.m_budget.Admit(std::move(body));
            m_ticket = admission.ticket;
            m_reply = std::move(admission.reply);
            m_server.DropWriters(admission.dropped);
            m_server.m_writers[m_ticket] = weak_from_this();
            const std::array<asio::const_buffer, 2> buffers = {asio::buffer(m_prefix),
                                                               asio::buffer(*m_reply)};
            ArmTimer(m_server.m_config.ioTimeoutMs);
            asio::async_write(
                m_socket, buffers,
                [self = shared_from_this()](asio::error_code, size_t) { self->Close(); });
        }

        Impl& m_server;
        std::shared_ptr<Shared> m_shared;
        tcp::socket m_socket;
        asio::steady_timer m_timer;
        std::string m_peer;
        ClientConversation m_conversation;
        std::atomic<bool> m_abandoned{false};
        std::array<uint8_t, 2048> m_buffer{};
        std::array<uint8_t, kLengthPrefixSize> m_prefix{};
        ReplyBudget::Reply m_reply;
        uint64_t m_ticket = 0;
    };

    Impl(ServiceConfig config, std::unique_ptr<RequestHandler> handler)
        : m_config(std::move(config)),
          m_handler(std::move(handler)),
          m_shared(std::make_shared<Shared>()),
          m_admission(m_config.allowedClients, m_config.maxConnections,
                      m_config.maxConnectionsPerClient),
          m_budget(m_config.maxReplyBytes),
          m_acceptor(m_io),
          m_retryTimer(m_io),
          m_requests(kRequestThreads) {}

    ~Impl() {
        m_shared->stopping = true;
        asio::error_code ignored;
        m_acceptor.close(ignored);
    }

    void SessionEnded(const std::string& peer, uint64_t ticket) {
        m_admission.Release(peer);
        if (ticket != 0) {
            m_budget.Release(ticket);
            m_writers.erase(ticket);
        }
    }

    void DropWriters(const std::vector<uint64_t>& tickets) {
        for (const uint64_t ticket : tickets) {
            const auto it = m_writers.find(ticket);
            if (it == m_writers.end()) {
                continue;
            }
            if (const auto session = it->second.lock()) {
                session->Close();
            }
            m_writers.erase(it);
        }
    }

    void StartAccept() {
        if (m_shared->stopping) {
            return;
        }
        m_acceptor.async_accept([this](asio::error_code ec, tcp::socket socket) {
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
            Admit(std::move(socket));
            StartAccept();
        });
    }

    void Admit(tcp::socket socket) {
        std::string peer = PeerAddress(socket);
        const ConnectionAdmission::Verdict verdict = m_admission.Admit(peer);
        if (verdict != ConnectionAdmission::Verdict::Admitted) {
            asio::error_code ignored;
            socket.close(ignored);
            if (ServiceLog* log = m_handler->Log()) {
                log->Refused(peer, ConnectionAdmission::Reason(verdict),
                             std::chrono::steady_clock::now());
            }
            return;
        }
        std::make_shared<Session>(*this, std::move(socket), std::move(peer))->Start();
    }

    ServiceConfig m_config;
    std::unique_ptr<RequestHandler> m_handler;
    std::shared_ptr<Shared> m_shared;
    ConnectionAdmission m_admission;
    ReplyBudget m_budget;
    std::map<uint64_t, std::weak_ptr<Session>> m_writers;  // by reply ticket
    asio::io_context m_io;
    tcp::acceptor m_acceptor;
    asio::steady_timer m_retryTimer;
    // Last, so that it is joined first: a running job may still post to the I/O context.
    RequestPool m_requests;
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
