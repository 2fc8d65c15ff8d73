#include "queryservice/query_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "canned_net_file_api.h"
#include "fake_system_info.h"
#include "queryservice/coalescing_net_file_api.h"
#include "raw_client.h"
#include "utf8_wire_text.h"

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
    RunningServer(ServiceConfig config, std::unique_ptr<NetFileApi> netFiles,
                  std::unique_ptr<ServiceLog> log = nullptr) {
        config.listenAddress = "127.0.0.1";
        config.port = 0;
        m_server = std::make_unique<QueryServer>(
            config, std::make_unique<RequestHandler>(
                        std::move(netFiles), std::make_unique<test::FakeSystemInfo>(),
                        std::make_unique<test::Utf8WireText>(), HandlerPolicy{}, std::move(log)));
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

// A file server with fixed open files whose enumerations are counted and held until the
// test opens the gate; share folders as the stand-in server names them.
class CountingGatedServer : public CannedNetFileApi {
public:
    CountingGatedServer() : CannedNetFileApi(0, 0) {}

    uint32_t FileEnum(const std::optional<std::string>&, const std::string&, uint32_t*,
                      std::vector<OpenFileEntry>* entries) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        const int number = ++m_enumerations;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_released >= number; });
        *entries = {{1, 1, 0, "C:\\srv\\data\\a\\f1", "bob"},
                    {2, 1, 0, "C:\\srv\\data\\b\\f2", "eve"},
                    {3, 1, 0, "C:\\srv\\data\\b\\f3", "eve"}};
        return 0;
    }
    bool WaitEnumerations(int count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(5),
                                  [&] { return m_enumerations >= count; });
    }
    int Enumerations() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_enumerations;
    }
    // Lets `count` more enumerations end.
    void Release(int count) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released += count;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_enumerations = 0;
    int m_released = 0;
};

TEST(QueryServer, ClientsWaitingOnOneEnumerationGetTheirOwnRowsFromTheNext) {
    auto gated = std::make_unique<CountingGatedServer>();
    CountingGatedServer& gate = *gated;
    RunningServer server(Config(10000), std::make_unique<CoalescingNetFileApi>(std::move(gated)));

    const std::vector<std::pair<std::string, size_t>> asks = {{"", 3},      {"a", 1}, {"b", 2},
                                                              {"b\\f3", 1}, {"c", 0}, {"b", 2}};
    std::vector<std::optional<DecodedQueryReply>> replies(asks.size());
    std::vector<std::thread> clients;
    clients.emplace_back([&] {
        test::RawClient client("127.0.0.1", server.port(), 10000);
        replies[0] = client.Exchange(test::QueryRecord("srv", "data", asks[0].first));
    });
    ASSERT_TRUE(gate.WaitEnumerations(1));
    for (size_t i = 1; i < asks.size(); ++i) {
        clients.emplace_back([&, i] {
            test::RawClient client("127.0.0.1", server.port(), 10000);
            replies[i] = client.Exchange(test::QueryRecord("srv", "data", asks[i].first));
        });
    }
    // Every later request waits behind the first enumeration before it ends. They all share
    // the next one, except those that reach it only once it has begun: they share the one
    // after, held until the first of them has reached it.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    gate.Release(1);
    if (gate.WaitEnumerations(2)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    gate.Release(1000);
    for (std::thread& client : clients) {
        client.join();
    }
    for (size_t i = 0; i < asks.size(); ++i) {
        ASSERT_TRUE(replies[i] && replies[i]->ok) << asks[i].first;
        EXPECT_EQ(replies[i]->rows.size(), asks[i].second) << asks[i].first;
    }
    EXPECT_LE(gate.Enumerations(), 3);
}

TEST(QueryServer, AHungFileServerStopsNeitherHandshakesNorTimeOuts) {
    auto gated = std::make_unique<GatedNetFileApi>();
    GatedNetFileApi& gate = *gated;
    ServiceConfig config = Config(300);
    config.answerTimeoutMs = 300;
    RunningServer server(config, std::move(gated));

    // More waiting requests than request threads: all of them are stuck on the file server.
    std::vector<std::unique_ptr<test::RawClient>> waiting;
    for (int i = 0; i < 12; ++i) {
        waiting.push_back(std::make_unique<test::RawClient>("127.0.0.1", server.port()));
        ASSERT_TRUE(waiting.back()->Send("Request\r\n"));
        ASSERT_EQ(waiting.back()->ReadLine(), std::optional<std::string>("OK"));
        ASSERT_TRUE(waiting.back()->Send(std::vector<uint8_t>{0, 0, 5, 4}));
        ASSERT_TRUE(
            waiting.back()->Send(EncodeRequestRecord(test::QueryRecord("srv", "data", "")).bytes));
    }
    ASSERT_TRUE(gate.WaitEntered(1));

    test::RawClient fresh("127.0.0.1", server.port());
    ASSERT_TRUE(fresh.Send("Request\r\n"));
    EXPECT_EQ(fresh.ReadLine(), std::optional<std::string>("OK"));
    // The silent newcomer and every request left waiting are closed at their time-outs.
    EXPECT_TRUE(fresh.ClosedByPeer(3000));
    for (auto& client : waiting) {
        EXPECT_TRUE(client->ClosedByPeer(3000));
    }
    gate.Open();
}

// A fresh directory under the system's temporary directory, with the modes a log needs.
class TempDir {
public:
    TempDir() {
        std::random_device random;
        for (;;) {
            const auto candidate =
                std::filesystem::temp_directory_path() / ("pq-server-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) {
                m_path = candidate.string();
                std::filesystem::permissions(m_path, std::filesystem::perms::owner_all);
                return;
            }
        }
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

std::string ReadFile(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(QueryServer, ConnectionsTheServiceCannotTakeAreClosedAtOnce) {
    struct Case {
        const char* name;
        size_t maxConnections;
        size_t perClient;
        std::vector<const char*> held;  // sources of the connections already served
        const char* next;               // source of the connection refused
        const char* other;              // a source still served
    };
    const Case cases[] = {
        {"service full", 2, 100, {"127.0.0.1", "127.0.0.2"}, "127.0.0.3", nullptr},
        {"address holds its share", 10, 2, {"127.0.0.1", "127.0.0.1"}, "127.0.0.1", "127.0.0.2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ServiceConfig config = Config(10000, c.maxConnections);
        config.maxConnectionsPerClient = c.perClient;
        RunningServer server(config, std::make_unique<CannedNetFileApi>(1, 0));
        std::vector<std::unique_ptr<test::RawClient>> idle;
        for (const char* source : c.held) {
            idle.push_back(
                std::make_unique<test::RawClient>("127.0.0.1", server.port(), 5000, source));
            // The handshake answered: the connection is being served.
            ASSERT_TRUE(idle.back()->Send("Request\r\n"));
            ASSERT_EQ(idle.back()->ReadLine(), std::optional<std::string>("OK"));
        }
        // Closed long before the I/O time-out, with no handshake answer.
        test::RawClient refused("127.0.0.1", server.port(), 5000, c.next);
        EXPECT_TRUE(refused.ClosedByPeer(1000));
        if (c.other != nullptr) {
            test::RawClient other("127.0.0.1", server.port(), 5000, c.other);
            const auto reply = other.Exchange(test::QueryRecord("srv", "data", ""));
            EXPECT_TRUE(reply && reply->ok) << "another address is still served";
        }

        idle.pop_back();
        // The service sees the close when its pending read ends.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        test::RawClient later("127.0.0.1", server.port(), 5000, c.next);
        const auto reply = later.Exchange(test::QueryRecord("srv", "data", ""));
        EXPECT_TRUE(reply && reply->ok) << "a freed slot serves the next connection";
    }
}

TEST(QueryServer, AllowListIsAppliedOnAcceptAndRefusalsAreLoggedShortAndRateLimited) {
    TempDir dir;
    auto log = std::make_unique<ServiceLog>(dir.path());
    const std::string logPath = log->FilePath();
    ServiceConfig config = Config(10000);
    config.allowedClients = {"10.9.9.9"};
    RunningServer server(config, std::make_unique<CannedNetFileApi>(1, 0), std::move(log));

    for (int i = 0; i < 20; ++i) {
        test::RawClient refused("127.0.0.1", server.port());
        // Closed without a byte sent: nothing the client might send is read.
        EXPECT_TRUE(refused.ClosedByPeer(1000));
    }
    const std::string text = ReadFile(logPath);
    EXPECT_NE(text.find("refused 127.0.0.1: not allowed"), std::string::npos) << text;
    EXPECT_LE(std::count(text.begin(), text.end(), '\n'), 2) << text;
}

TEST(QueryServer, RepliesHeldForClientsThatDoNotReadStayWithinTheCap) {
    // Replies of about 21 MB each, more than the kernel's socket buffers take in; the cap
    // holds one of them.
    constexpr uint32_t kRows = 40000;
    const size_t replySize = kReplyHeaderSize + kReplyRowSize * kRows;
    ServiceConfig config = Config(10000);
    config.maxReplyBytes = replySize + replySize / 2;
    RunningServer server(config, std::make_unique<CannedNetFileApi>(kRows, 0));

    // Two clients asking for the same path at once: their replies are one held copy, so
    // the second does not push the first out.
    test::RawClient first("127.0.0.1", server.port(), 10000);
    test::RawClient second("127.0.0.1", server.port(), 10000);
    for (test::RawClient* client : {&first, &second}) {
        ASSERT_TRUE(client->Send("Request\r\n"));
        ASSERT_EQ(client->ReadLine(), std::optional<std::string>("OK"));
        ASSERT_TRUE(client->Send(std::vector<uint8_t>{0, 0, 5, 4}));
        ASSERT_TRUE(client->Send(EncodeRequestRecord(test::QueryRecord("srv", "data", "x")).bytes));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(first.ReadExact(4));
    EXPECT_TRUE(first.ReadExact(replySize)) << "dropped although its reply was shared";

    // A different reply does not fit beside the one still waiting: that one is dropped.
    test::RawClient other("127.0.0.1", server.port(), 10000);
    const auto reply = other.Exchange(test::QueryRecord("srv", "data", "y"));
    ASSERT_TRUE(reply && reply->ok);
    EXPECT_EQ(reply->rows.size(), kRows);
    const auto length = second.ReadExact(4);
    if (length) {
        EXPECT_FALSE(second.ReadExact(replySize)) << "a dropped reply arrived whole";
    }
}

}  // namespace
}  // namespace pellquin
