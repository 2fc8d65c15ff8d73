#include "queryservice/query_server.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "canned_net_file_api.h"
#include "fake_system_info.h"
#include "raw_client.h"

namespace pellquin {
namespace {

// A file server whose enumeration blocks until the test lets it go, to hold the engine busy.
class GatedNetFileApi : public CannedNetFileApi {
public:
    GatedNetFileApi() : CannedNetFileApi(2, 0) {}

    uint32_t FileEnum(const std::optional<std::string>& server, const std::string& basePath,
                      uint32_t* resumeHandle, std::vector<OpenFileEntry>* entries) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_entered;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
        return CannedNetFileApi::FileEnum(server, basePath, resumeHandle, entries);
    }
    bool WaitEntered(int count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(5),
                                  [&] { return m_entered >= count; });
    }
    void Open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_entered = 0;
    bool m_open = false;
};

// The server on 127.0.0.1 and a free port, running on a thread for the test's length.
class RunningServer {
public:
    RunningServer(ServiceConfig config, std::unique_ptr<NetFileApi> netFiles) {
        config.listenAddress = "127.0.0.1";
        config.port = 0;
        m_server = std::make_unique<QueryServer>(
            config, std::make_unique<RequestHandler>(std::move(netFiles),
                                                     std::make_unique<test::FakeSystemInfo>(),
                                                     HandlerPolicy{}, nullptr));
        std::string error;
        m_listening = m_server->Listen(&error);
        EXPECT_TRUE(m_listening) << error;
        if (m_listening) {
            m_thread = std::thread([this] { m_server->Run(false); });
        }
    }
    ~RunningServer() {
        m_server->Stop();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    uint16_t port() const { return m_server->Port(); }

private:
    std::unique_ptr<QueryServer> m_server;
    bool m_listening = false;
    std::thread m_thread;
};

ServiceConfig Config(uint32_t ioTimeoutMs, size_t maxConnections = 512) {
    ServiceConfig config;
    config.ioTimeoutMs = ioTimeoutMs;
    config.maxConnections = maxConnections;
    return config;
}

TEST(QueryServer, SilentSlowAndGarbageClientsNeitherDelayOthersNorStayConnected) {
    RunningServer server(Config(500), std::make_unique<CannedNetFileApi>(3, 0));
    test::RawClient silent("127.0.0.1", server.port());
    test::RawClient halfLine("127.0.0.1", server.port());
    ASSERT_TRUE(halfLine.Send("Requ"));
    test::RawClient halfRecord("127.0.0.1", server.port());
    ASSERT_TRUE(halfRecord.Send("Request\r\n"));
    ASSERT_EQ(halfRecord.ReadLine(), std::optional<std::string>("OK"));
    ASSERT_TRUE(halfRecord.Send(std::vector<uint8_t>{0, 0, 5, 4, 1, 2, 3}));
    test::RawClient garbage("127.0.0.1", server.port());
    ASSERT_TRUE(garbage.Send("GET / HTTP/1.0\r\n\r\n"));
    test::RawClient badLength("127.0.0.1", server.port());
    ASSERT_TRUE(badLength.Send("Request\r\n"));
    ASSERT_EQ(badLength.ReadLine(), std::optional<std::string>("OK"));
    ASSERT_TRUE(badLength.Send(std::vector<uint8_t>{0, 0, 5, 5}));

    // Refused at once, without waiting for the time limit.
    EXPECT_TRUE(garbage.ClosedByPeer(400));
    EXPECT_TRUE(badLength.ClosedByPeer(400));

    test::RawClient good("127.0.0.1", server.port());
    const auto reply = good.Exchange(test::QueryRecord("srv", "data", "x"));
    ASSERT_TRUE(reply && reply->ok);
    EXPECT_EQ(reply->header.BasePath, "C:\\srv\\data\\x");
    EXPECT_EQ(reply->rows.size(), 3u);

    // Every read has a time limit.
    EXPECT_TRUE(silent.ClosedByPeer(5000));
    EXPECT_TRUE(halfLine.ClosedByPeer(5000));
    EXPECT_TRUE(halfRecord.ClosedByPeer(5000));
}

TEST(QueryServer, BusyEngineDelaysOnlyTheRequestsQueuedBehindIt) {
    auto gated = std::make_unique<GatedNetFileApi>();
    GatedNetFileApi& gate = *gated;
    RunningServer server(Config(10000), std::move(gated));

    std::optional<DecodedQueryReply> first;
    std::thread firstClient([&] {
        test::RawClient client("127.0.0.1", server.port(), 10000);
        first = client.Exchange(test::QueryRecord("srv", "data", ""));
    });
    ASSERT_TRUE(gate.WaitEntered(1));

    // While the engine is stuck, another client still gets its handshake answered.
    test::RawClient second("127.0.0.1", server.port());
    ASSERT_TRUE(second.Send("Request\r\n"));
    EXPECT_EQ(second.ReadLine(), std::optional<std::string>("OK"));

    gate.Open();
    firstClient.join();
    ASSERT_TRUE(first && first->ok);
    EXPECT_EQ(first->rows.size(), 2u);
}

TEST(QueryServer, ConnectionsBeyondTheCapWaitForAFreeSlot) {
    RunningServer server(Config(400, 2), std::make_unique<CannedNetFileApi>(1, 0));
    test::RawClient idle1("127.0.0.1", server.port());
    test::RawClient idle2("127.0.0.1", server.port());
    ASSERT_TRUE(idle1.ok() && idle2.ok());

    // Accepted by the kernel's backlog, served once an idle connection has timed out.
    test::RawClient waiting("127.0.0.1", server.port(), 5000);
    const auto reply = waiting.Exchange(test::QueryRecord("srv", "data", ""));
    ASSERT_TRUE(reply && reply->ok);
    EXPECT_TRUE(idle1.ClosedByPeer(1000));
    EXPECT_TRUE(idle2.ClosedByPeer(1000));
}

}  // namespace
}  // namespace pellquin
