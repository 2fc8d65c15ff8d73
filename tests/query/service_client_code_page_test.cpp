// The Linux client against a Windows service, played by a script that sends and expects the
// records' texts in Windows-1252 as such a peer holds them.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fake_system_info.h"
#include "platform/wire_text.h"
#include "protocol/service_codec.h"
#include "query/service_client.h"
#include "query/tcp_transport.h"
#include "scripted_service.h"

namespace pellquin {
namespace {

using test::Peer;
using test::ScriptedServer;

std::string Field(const std::string& text) {
    return text + std::string(255 - text.size(), '\0');
}

std::string Be(uint32_t value) {
    return {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
}

std::unique_ptr<ServiceClient> ClientIn(const std::string& codePage, uint16_t port) {
    std::string error;
    auto wire = MakeWireText(codePage, &error);
    EXPECT_NE(wire, nullptr) << error;
    return std::make_unique<ServiceClient>(std::make_unique<test::FakeSystemInfo>(),
                                           std::make_unique<TcpTransport>(), std::move(wire), port);
}

TEST(ServiceClientCodePage, AWindows1252PeersNamesAreShownInUtf8) {
    // The reply as a Windows service on a Western system writes it.
    ServiceReplyHeader header;
    header.BasePath =
        "D:\\Daten\\\xDC"
        "bersicht";
    const std::vector<ServiceReplyRow> rows = {{"D:\\Daten\\\xDC"
                                                "bersicht\\caf\xE9 \x80.txt",
                                                "J\xFCrgen", 7, 1, 0},
                                               {"D:\\Daten\\\xDC"
                                                "bersicht\\\x81\x8D.txt",
                                                "bob", 9, 1, 0}};
    const EncodedRecord reply = EncodeQueryReply(header, rows);
    std::string record;
    ScriptedServer server([&](Peer& peer) {
        peer.ReadLine();
        peer.Send("OK\r\n");
        peer.Read(4);
        record = peer.Read(kRequestRecordSize);
        peer.Send(Be(static_cast<uint32_t>(reply.bytes.size())) +
                  std::string(reply.bytes.begin(), reply.bytes.end()));
    });
    auto client = ClientIn("Windows-1252", server.Port());

    TPellquinRequest request;
    request.Server = "127.0.0.1";
    request.Share = "Daten";
    request.Path =
        "\xC3\x9C"
        "bersicht";
    request.RequestKind = REQUEST_QUERY;
    EXPECT_FALSE(client->QueryThroughService(request));
    server.Join();

    EXPECT_EQ(record.substr(510, 255), Field("\xDC"
                                             "bersicht"));
    EXPECT_EQ(request.ErrorText, "");
    EXPECT_EQ(request.ServerPath,
              "D:\\Daten\\\xC3\x9C"
              "bersicht");
    ASSERT_EQ(request.Items.size(), 2u);
    EXPECT_EQ(request.Items[0].PathName,
              "D:\\Daten\\\xC3\x9C"
              "bersicht\\caf\xC3\xA9 \xE2\x82\xAC.txt");
    EXPECT_EQ(request.Items[0].UserName, "J\xC3\xBCrgen");
    // Bytes Windows-1252 leaves undefined cannot pass for text: one U+FFFD each.
    EXPECT_EQ(request.Items[1].PathName,
              "D:\\Daten\\\xC3\x9C"
              "bersicht\\\xEF\xBF\xBD\xEF\xBF\xBD.txt");
}

TEST(ServiceClientCodePage, TheFieldLimitCountsTheBytesSentAndErrorTextsAreConverted) {
    const EncodedRecord reply = EncodeReplyHeader({"Zugriff verweigert f\xFCr J\xFCrgen", "", 0});
    std::string record;
    ScriptedServer server([&](Peer& peer) {
        peer.ReadLine();
        peer.Send("OK\r\n");
        peer.Read(4);
        record = peer.Read(kRequestRecordSize);
        peer.Send(Be(static_cast<uint32_t>(reply.bytes.size())) +
                  std::string(reply.bytes.begin(), reply.bytes.end()));
    });
    auto client = ClientIn("", server.Port());

    // 400 bytes here, 200 on the wire: sent whole.
    std::string path;
    for (int i = 0; i < 200; ++i) {
        path += "\xC3\xA9";
    }
    TPellquinRequest close;
    close.Server = "127.0.0.1";
    close.Share = "Daten";
    close.Path = path;
    close.RequestKind = REQUEST_CLOSE;
    close.FileId = 3;
    client->CloseThroughService(close);
    server.Join();
    EXPECT_EQ(record.substr(510, 255), Field(std::string(200, '\xE9')));
    EXPECT_EQ(close.ErrorText, "Zugriff verweigert f\xC3\xBCr J\xC3\xBCrgen");
}

}  // namespace
}  // namespace pellquin
