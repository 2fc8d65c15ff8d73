#include "query/service_client.h"

#include <gtest/gtest.h>

#include <atomic>

#include <asio.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fake_system_info.h"
#include "protocol/service_codec.h"
#include "query/tcp_transport.h"
#include "scripted_service.h"

namespace pellquin {
namespace {

using namespace std::chrono_literals;
using asio::ip::tcp;
using test::Peer;
using test::ScriptedServer;

// A port on 127.0.0.1 where nothing listens (until a test starts a server there).
uint16_t ClosedPort() {
    asio::io_context io;
    tcp::acceptor acceptor(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
    return acceptor.local_endpoint().port();
}

// The system's own number and text for a socket error (errno on Linux, WSA codes on
// Windows), as the client reports them.
int SocketErrorCode(asio::error::basic_errors error) {
    return asio::error::make_error_code(error).value();
}

std::string SocketErrorText(asio::error::basic_errors error) {
    const asio::error_code code = asio::error::make_error_code(error);
    return "Socket Error # " + std::to_string(code.value()) + "\r\n" + code.message();
}

std::unique_ptr<ServiceClient> MakeClient(uint16_t port,
                                          std::chrono::milliseconds handshake = 500ms,
                                          std::chrono::milliseconds reply = 500ms,
                                          std::chrono::milliseconds deadline = 120s) {
    return std::make_unique<ServiceClient>(std::make_unique<test::FakeSystemInfo>(),
                                           std::make_unique<TcpTransport>(), port, handshake, reply,
                                           deadline);
}

std::string Field(const std::string& text) {
    return text + std::string(255 - text.size(), '\0');
}

std::string Le(uint32_t value) {
    return {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
}

std::string Be(uint32_t value) {
    return {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
}

std::string Text(const EncodedRecord& record) {
    return std::string(record.bytes.begin(), record.bytes.end());
}

std::string QueryReply(const std::string& error, const std::string& base,
                       const std::vector<ServiceReplyRow>& rows) {
    return Text(EncodeQueryReply({error, base, 0}, rows));
}

TPellquinRequest Request(uint8_t kind, uint32_t fileId = 0) {
    TPellquinRequest request;
    request.Server = "127.0.0.1";
    request.Share = "Data";
    request.Path = "Reports\\q1.xls";
    request.RequestKind = kind;
    request.FileId = fileId;
    return request;
}

// What the service saw of one well-behaved exchange.
struct Received {
    std::string handshake;
    std::string prefix;
    std::string record;
    bool sawEnd = false;
};

ScriptedServer::Script Answer(Received& seen, const std::string& ok, const std::string& reply) {
    return [&seen, ok, reply](Peer& peer) {
        seen.handshake = peer.ReadLine();
        peer.Send(ok);
        seen.prefix = peer.Read(4);
        seen.record = peer.Read(kRequestRecordSize);
        peer.Send(Be(static_cast<uint32_t>(reply.size())) + reply);
        seen.sawEnd = peer.SawEndOfStream();
    };
}

TEST(ServiceClientTest, QuerySendsTheExactRecordAndStoresTheRows) {
    Received seen;
    const std::vector<ServiceReplyRow> rows = {{"D:\\Data\\Reports\\q1.xls", "bob", 7, 3, 1},
                                               {"D:\\Data\\Reports\\q2.xls", "carol", 9, 1, 0}};
    ScriptedServer server(Answer(seen, "OK\r\n", QueryReply("", "D:\\Data\\", rows)));
    auto client = MakeClient(server.Port());

    TPellquinRequest request = Request(REQUEST_QUERY, 5);
    request.Items.push_back({"stale row of a direct attempt", "x", 1, 1, 1});
    request.ErrorCode = 5;  // a denied direct attempt before
    request.ErrorText = "Access is denied";
    EXPECT_FALSE(client->QueryThroughService(request));
    server.Join();

    EXPECT_EQ(seen.handshake, "Request\r\n");
    EXPECT_EQ(seen.prefix, std::string("\x00\x00\x05\x04", 4));
    const std::string expected = Field("127.0.0.1") + Field("Data") + Field("Reports\\q1.xls") +
                                 std::string("\x01\0\0", 3) + Le(5) + Field("alice") +
                                 Field("WS01") + std::string(2, '\0');
    EXPECT_EQ(seen.record, expected);
    EXPECT_TRUE(seen.sawEnd);

    EXPECT_EQ(request.ErrorText, "");
    EXPECT_EQ(request.ErrorCode, 5);  // a reply does not reset it
    EXPECT_EQ(request.ServerPath, "D:\\Data\\");
    EXPECT_EQ(request.Server, "");  // ClearResults
    ASSERT_EQ(request.Items.size(), 2u);
    EXPECT_EQ(request.Items[0].PathName, "D:\\Data\\Reports\\q1.xls");
    EXPECT_EQ(request.Items[0].UserName, "bob");
    EXPECT_EQ(request.Items[0].Id, 7u);
    EXPECT_EQ(request.Items[0].Permissions, 3u);
    EXPECT_EQ(request.Items[0].NumLocks, 1u);
    EXPECT_EQ(request.Items[1].UserName, "carol");
}

TEST(ServiceClientTest, RepliesWithoutRowsStoreTheirErrorText) {
    std::string negativeCount = QueryReply("Path not found", "E:\\", {{"E:\\a", "u", 1, 1, 0}});
    negativeCount.replace(772, 4, Le(0xffffffff));
    const struct {
        const char* name;
        std::string reply;
    } queries[] = {{"zero rows", QueryReply("Path not found", "E:\\", {})},
                   {"negative row count", negativeCount}};
    for (const auto& q : queries) {
        SCOPED_TRACE(q.name);
        Received seen;
        ScriptedServer server(Answer(seen, "OK\n", q.reply));  // LF-only handshake
        TPellquinRequest request = Request(REQUEST_QUERY);
        request.Items.push_back({});
        EXPECT_FALSE(MakeClient(server.Port())->QueryThroughService(request));
        EXPECT_EQ(request.ErrorText, "Path not found");
        EXPECT_EQ(request.ServerPath, "E:\\");
        EXPECT_TRUE(request.Items.empty());
    }
    const struct { const char* replyError; } closes[] = {{"The file is not open"}, {""}};
    for (const auto& c : closes) {
        SCOPED_TRACE(c.replyError);
        Received seen;
        ScriptedServer server(
            Answer(seen, "OK\r\n", Text(EncodeReplyHeader({c.replyError, "ignored", 4}))));
        TPellquinRequest request = Request(REQUEST_CLOSE, 0x01020304);
        request.ErrorText = "Access is denied";  // the direct close failed first
        auto client = MakeClient(server.Port());
        client->CloseThroughService(request);
        server.Join();
        EXPECT_EQ(request.ErrorText, c.replyError);
        EXPECT_EQ(request.ServerPath, "");
        EXPECT_EQ(seen.record.substr(765, 1), "\x02");
        EXPECT_EQ(seen.record.substr(768, 4), "\x04\x03\x02\x01");
        EXPECT_TRUE(seen.sawEnd);
    }
}

TEST(ServiceClientTest, LocalPathGoesToThisMachineWithEmptyServerAndShare) {
    Received seen;
    ScriptedServer server(Answer(seen, "OK\r\n", QueryReply("", "C:\\", {})));
    TPellquinRequest request;
    request.Path = "C:\\Temp\\report.doc";
    request.IsLocal = 1;
    request.RequestKind = REQUEST_QUERY;
    EXPECT_FALSE(MakeClient(server.Port())->QueryThroughService(request));
    server.Join();
    EXPECT_EQ(request.ErrorText, "");
    ASSERT_EQ(seen.record.size(), kRequestRecordSize);
    EXPECT_EQ(seen.record.substr(0, 510), std::string(510, '\0'));
    EXPECT_EQ(seen.record.substr(510, 255), Field("C:\\Temp\\report.doc"));
}

TEST(ServiceClientTest, AnythingButOkDeclinesWithoutRecordingAnything) {
    const struct {
        const char* name;
        std::string answer;  // empty: the service stays silent
    } cases[] = {{"lower case", "ok\r\n"}, {"trailing blank", "OK \r\n"}, {"silence", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string afterHandshake = "unset";
        bool sawEnd = false;
        ScriptedServer server([&](Peer& peer) {
            peer.ReadLine();
            if (!c.answer.empty()) {
                peer.Send(c.answer);
            }
            afterHandshake = peer.Read(1);  // the client must send nothing more
            sawEnd = peer.SawEndOfStream();
        });
        TPellquinRequest request = Request(REQUEST_QUERY);
        request.Items.push_back({"direct row", "x", 1, 1, 1});
        request.ErrorCode = 5;
        request.ErrorText = "Access is denied";
        auto client = MakeClient(server.Port(), 200ms);  // alive until the server is done
        EXPECT_FALSE(client->QueryThroughService(request));
        server.Join();
        EXPECT_EQ(afterHandshake, "");
        EXPECT_TRUE(sawEnd);
        EXPECT_EQ(request.ErrorCode, 5);
        EXPECT_EQ(request.ErrorText, "Access is denied");
        EXPECT_EQ(request.Items.size(), 1u);
        EXPECT_EQ(request.Server, "127.0.0.1");
        EXPECT_TRUE(request.ServiceDeclined);
    }
}

TEST(ServiceClientTest, RefusedConnectionIsASocketErrorAndTheNextExchangeConnectsAfresh) {
    const uint16_t port = ClosedPort();
    auto client = MakeClient(port);

    TPellquinRequest refused = Request(REQUEST_QUERY);
    EXPECT_TRUE(client->QueryThroughService(refused));
    EXPECT_EQ(refused.ErrorCode, SocketErrorCode(asio::error::connection_refused));
    EXPECT_EQ(refused.ErrorText, SocketErrorText(asio::error::connection_refused));

    TPellquinRequest closeRefused = Request(REQUEST_CLOSE, 1);
    client->CloseThroughService(closeRefused);
    EXPECT_EQ(closeRefused.ErrorText, SocketErrorText(asio::error::connection_refused));

    Received seen;
    ScriptedServer server(Answer(seen, "OK\r\n", QueryReply("", "D:\\", {{"D:\\a", "u", 1, 1, 0}})),
                          port);
    TPellquinRequest next = Request(REQUEST_QUERY);
    EXPECT_FALSE(client->QueryThroughService(next));
    EXPECT_EQ(next.ErrorText, "");
    EXPECT_EQ(next.Items.size(), 1u);
}

TEST(ServiceClientTest, TextsThatDoNotFitAreRefusedBeforeConnecting) {
    // Nothing listens on the port: an attempt to connect would show as a socket error.
    auto client = MakeClient(ClosedPort());
    TPellquinRequest request = Request(REQUEST_QUERY);
    request.Path = std::string(255, 'p');
    EXPECT_FALSE(client->QueryThroughService(request));
    EXPECT_EQ(request.ErrorCode, 206);
    EXPECT_EQ(request.ErrorText, "The filename or extension is too long");

    TPellquinRequest withNul = Request(REQUEST_CLOSE, 1);
    withNul.Path = std::string("a\0b", 3);
    client->CloseThroughService(withNul);
    EXPECT_EQ(withNul.ErrorCode, 123);
    EXPECT_NE(withNul.ErrorText, "");
}

TEST(ServiceClientTest, ReplyCutShortThrowsAndClosesTheConnection) {
    const std::string header = QueryReply("", "D:\\", {});
    std::string threeAnnouncedOneSent =
        QueryReply("", "D:\\", {{"D:\\a", "u", 1, 1, 0}, {"D:\\b", "u", 2, 1, 0}});
    threeAnnouncedOneSent[772] = 3;
    threeAnnouncedOneSent.resize(kReplyHeaderSize + kReplyRowSize);
    std::string hugeRowCount = header;
    hugeRowCount.replace(772, 4, Le(0x7fffffff));

    const struct {
        const char* name;
        std::string sent;  // after the handshake and the request; then the service closes
        uint8_t kind;
        const char* message;
        size_t rowsKept;
        std::string handshake = "OK\r\n";  // empty: the service closes instead of answering
    } cases[] = {
        {"closed during the handshake", "", REQUEST_CLOSE, "Connection Closed Gracefully.", 0, ""},
        {"closed before the length", "", REQUEST_QUERY, "Connection Closed Gracefully.", 0},
        {"closed inside the length", "\0\0", REQUEST_QUERY, "Connection Closed Gracefully.", 0},
        {"closed inside the body", Be(2000) + header, REQUEST_QUERY,
         "Connection Closed Gracefully.", 0},
        {"body shorter than the header", Be(100) + header.substr(0, 100), REQUEST_QUERY,
         "Stream read error", 0},
        {"close reply shorter than the header", Be(0), REQUEST_CLOSE, "Stream read error", 0},
        {"fewer rows than announced",
         Be(static_cast<uint32_t>(threeAnnouncedOneSent.size())) + threeAnnouncedOneSent,
         REQUEST_QUERY, "Stream read error", 1},
        {"impossible row count", Be(kReplyHeaderSize) + hugeRowCount, REQUEST_QUERY,
         "Stream read error", 0},
        // Refused unread: the service sends no body, so a client that tried to read it
        // would end in a time-out instead.
        {"length above 256 MiB", Be(kMaxReplyLength + 1), REQUEST_QUERY, "Stream read error", 0},
        {"negative length", Be(0xffffffff), REQUEST_QUERY, "Stream read error", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool sawEnd = false;
        ScriptedServer server([&](Peer& peer) {
            peer.ReadLine();
            if (c.handshake.empty()) {
                peer.Close();
                return;
            }
            peer.Send(c.handshake);
            peer.Read(4 + kRequestRecordSize);
            peer.Send(c.sent);
            if (c.sent.size() < 4 || c.message == std::string("Connection Closed Gracefully.")) {
                peer.Close();
                return;
            }
            sawEnd = peer.SawEndOfStream();
        });
        TPellquinRequest request = Request(c.kind, 1);
        auto client = MakeClient(server.Port(), 500ms, 5s);
        try {
            if (c.kind == REQUEST_QUERY) {
                client->QueryThroughService(request);
            } else {
                client->CloseThroughService(request);
            }
            ADD_FAILURE() << "no exception";
        } catch (const ServiceReplyError& error) {
            EXPECT_EQ(std::string(error.what()), c.message);
        }
        server.Join();
        if (std::string(c.message) == "Stream read error") {
            EXPECT_TRUE(sawEnd);
        }
        EXPECT_EQ(request.Items.size(), c.rowsKept);
    }
}

// A service that took the request is there: its slowness is its own failure, never the
// socket failure that makes the engine say the server has no service.
TEST(ServiceClientTest, SilenceWhileWaitingForTheReplyIsTheServicesTimeOut) {
    bool sawEnd = false;
    ScriptedServer server([&](Peer& peer) {
        peer.ReadLine();
        peer.Send("OK\r\n" + Be(kReplyHeaderSize) + "partial");
        peer.Read(4 + kRequestRecordSize);
        sawEnd = peer.SawEndOfStream();
    });
    TPellquinRequest request = Request(REQUEST_QUERY);
    auto client = MakeClient(server.Port(), 500ms, 200ms);
    EXPECT_FALSE(client->QueryThroughService(request));
    server.Join();
    EXPECT_EQ(request.ErrorCode, 1460);
    EXPECT_EQ(request.ErrorText, "The Pellquin service on 127.0.0.1 did not answer in time");
    EXPECT_FALSE(request.ServiceDeclined);
    EXPECT_TRUE(sawEnd);
}

// Each byte comes well within the silence limit, but the whole reply may not take longer
// than the deadline.
TEST(ServiceClientTest, AReplyTrickledByteByByteEndsAtTheDeadline) {
    std::atomic<bool> stop{false};
    ScriptedServer server([&](Peer& peer) {
        peer.ReadLine();
        peer.Send("OK\r\n");
        peer.Read(4 + kRequestRecordSize);
        peer.Send(Be(kReplyHeaderSize));
        for (int i = 0; i < 100 && !stop; ++i) {
            peer.Send(std::string(1, '\0'));
            std::this_thread::sleep_for(50ms);
        }
    });
    TPellquinRequest request = Request(REQUEST_CLOSE, 7);
    auto client = MakeClient(server.Port(), 500ms, 300ms, 600ms);
    const auto started = std::chrono::steady_clock::now();
    client->CloseThroughService(request);
    const auto waited = std::chrono::steady_clock::now() - started;
    stop = true;
    server.Join();
    EXPECT_EQ(request.ErrorText, "The Pellquin service on 127.0.0.1 did not answer in time");
    // Far below the 100 bytes' 5 s: the deadline, not the trickle, ended the wait.
    EXPECT_LT(waited, 4s);
}

}  // namespace
}  // namespace pellquin
