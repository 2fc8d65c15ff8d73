// The handler between a peer's code page and this program's UTF-8: what a Windows client
// sends in Windows-1252 is matched against the server's UTF-8 names, and the rows go back in
// the code page the service is set to.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "fake_net_file_api.h"
#include "fake_system_info.h"
#include "platform/error_codes.h"
#include "platform/wire_text.h"
#include "protocol/service_codec.h"
#include "query/pellquin_request.h"
#include "queryservice/request_handler.h"

namespace pellquin {
namespace {

const std::string kUebersicht =
    "\xC3\x9C"
    "bersicht";  // "Übersicht" in UTF-8
const std::string kCafe = "caf\xC3\xA9.txt";

class HandlerInCodePage {
public:
    explicit HandlerInCodePage(const std::string& codePage,
                               const std::string& shareFolder = "D:\\Data") {
        char pattern[] = "/tmp/pq-code-page-XXXXXX";
        m_dir = mkdtemp(pattern);
        auto netFiles = std::make_unique<test::FakeNetFileApi>();
        netFiles->shareFolders["data"] = shareFolder;
        netFiles->rounds = {{NET_OK,
                             {{7, PERM_FILE_READ, 0,
                               shareFolder + "\\" + kUebersicht + "\\" + kCafe, "j\xC3\xBCrgen"},
                              {9, PERM_FILE_READ, 0, shareFolder + "\\Other\\x.txt", "bob"}}}};
        std::string error;
        auto wire = MakeWireText(codePage, &error);
        EXPECT_NE(wire, nullptr) << error;
        m_handler = std::make_unique<RequestHandler>(
            std::move(netFiles), std::make_unique<test::FakeSystemInfo>(), std::move(wire),
            HandlerPolicy{}, std::make_unique<ServiceLog>(m_dir));
    }
    ~HandlerInCodePage() { std::filesystem::remove_all(m_dir); }

    // The reply to a query whose texts are `path` and `user` as the peer's bytes.
    DecodedQueryReply Query(const std::string& path, const std::string& user) {
        ServiceRequestRecord record;
        record.Server = "srv";
        record.Share = "data";
        record.Path = path;
        record.RequestKind = REQUEST_QUERY;
        record.UserName = user;
        record.ComputerName = "WS01";
        const EncodedRecord encoded = EncodeRequestRecord(record);
        EXPECT_TRUE(encoded.Ok());
        const std::vector<uint8_t> body =
            m_handler->Handle("10.0.0.5", encoded.bytes.data(), encoded.bytes.size());
        return DecodeQueryReply(body.data(), body.size());
    }

    std::string LogText() const {
        std::ifstream file(m_handler->Log()->FilePath());
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

private:
    std::string m_dir;
    std::unique_ptr<RequestHandler> m_handler;
};

TEST(RequestHandlerCodePage, ARequestInTheCodePageFindsTheUtf8NameAndTheRowsGoBackInIt) {
    const struct {
        const char* codePage;
        std::string path;  // as the peer sends it
        std::string user;
        std::string rowPath;  // as the reply carries them
        std::string rowUser;
        std::string basePath;
    } cases[] = {
        {"Windows-1252",
         "\xDC"
         "bersicht",
         "j\xFCrgen",
         "D:\\Data\\\xDC"
         "bersicht\\caf\xE9.txt",
         "j\xFCrgen",
         "D:\\Data\\\xDC"
         "bersicht"},
        {"UTF-8", kUebersicht, "j\xC3\xBCrgen", "D:\\Data\\" + kUebersicht + "\\" + kCafe,
         "j\xC3\xBCrgen", "D:\\Data\\" + kUebersicht},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codePage);
        HandlerInCodePage handler(c.codePage);
        const DecodedQueryReply reply = handler.Query(c.path, c.user);
        ASSERT_TRUE(reply.ok) << reply.error;
        EXPECT_EQ(reply.header.ErrorText, "");
        EXPECT_EQ(reply.header.BasePath, c.basePath);
        ASSERT_EQ(reply.rows.size(), 1u);
        EXPECT_EQ(reply.rows[0].PathName, c.rowPath);
        EXPECT_EQ(reply.rows[0].UserName, c.rowUser);
        EXPECT_EQ(reply.rows[0].Id, 7u);
        // The log is this program's own text, whatever the peer's code page.
        EXPECT_NE(handler.LogText().find("\"j\xC3\xBCrgen\"@\"WS01\" query \"\\\\srv\\data\\" +
                                         kUebersicht + "\": 1 rows"),
                  std::string::npos)
            << handler.LogText();
    }
}

// A base path that fits this program's own limit may still not fit the field once converted:
// refused then, rather than cut (the client would show wrong relative names).
TEST(RequestHandlerCodePage, TheBasePathLimitCountsWireBytes) {
    std::string folder = "D:\\";
    for (int i = 0; i < 100; ++i) {
        folder += "\xC3\x80";  // 200 bytes of A-grave: 100 in Windows-1252, 400 in GB18030
    }
    const struct {
        const char* codePage;
        bool answered;
    } cases[] = {{"Windows-1252", true}, {"UTF-8", true}, {"GB18030", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codePage);
        HandlerInCodePage handler(c.codePage, folder);
        const DecodedQueryReply reply = handler.Query("", "alice");
        ASSERT_TRUE(reply.headerOk) << reply.error;
        EXPECT_EQ(reply.header.ErrorText,
                  c.answered ? "" : "The filename or extension is too long");
        EXPECT_EQ(reply.rows.size(), c.answered ? 2u : 0u);
    }
}

}  // namespace
}  // namespace pellquin
