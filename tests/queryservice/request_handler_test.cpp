#include "queryservice/request_handler.h"

#include <gtest/gtest.h>

#include <time.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "fake_net_file_api.h"
#include "fake_system_info.h"
#include "protocol/service_codec.h"
#include "query/direct_query.h"
#include "utf8_wire_text.h"

namespace pellquin {
namespace {

namespace fs = std::filesystem;

ServiceRequestRecord Record(uint8_t kind, const std::string& server, const std::string& share,
                            const std::string& path, uint32_t fileId = 0) {
    ServiceRequestRecord record;
    record.Server = server;
    record.Share = share;
    record.Path = path;
    record.RequestKind = kind;
    record.FileId = fileId;
    record.UserName = "alice";
    record.ComputerName = "WS01";
    return record;
}

OpenFileEntry Entry(uint32_t id, const std::string& path) {
    return OpenFileEntry{id, PERM_FILE_READ | PERM_FILE_WRITE, 1, path, "bob"};
}

// A server with one share and a few open files, in two rounds.
void Script(test::FakeNetFileApi& netFiles) {
    netFiles.shareFolders["data"] = "D:\\Data";
    netFiles.rounds = {
        {NET_MORE_DATA, {Entry(7, "D:\\Data\\reports\\q1.xls"), Entry(9, "D:\\Data\\a.txt")}},
        {NET_OK, {Entry(12, "C:\\local\\x.doc")}}};
}

// The same open files, all in the share's "reports" folder, so every query under it keeps
// them all.
void ScriptReports(test::FakeNetFileApi& netFiles) {
    netFiles.rounds = {
        {NET_MORE_DATA,
         {Entry(7, "D:\\Data\\reports\\q1.xls"), Entry(9, "D:\\Data\\reports\\a.txt")}},
        {NET_OK, {Entry(12, "D:\\Data\\reports\\x.doc")}}};
}

// A fresh directory under the system's temporary directory (portable: no mkdtemp on Windows).
class TempDir {
public:
    TempDir() {
        std::random_device random;
        for (;;) {
            const fs::path candidate =
                fs::temp_directory_path() / ("pq-handler-" + std::to_string(random()));
            if (fs::create_directory(candidate)) {
                m_path = candidate.string();
                return;
            }
        }
    }
    ~TempDir() { fs::remove_all(m_path); }
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

class RequestHandlerTest : public ::testing::Test {
protected:
    // Builds the handler over a fake whose calls stay visible to the test.
    void Make(HandlerPolicy policy = {}, bool withLog = true) {
        auto netFiles = std::make_unique<test::FakeNetFileApi>();
        m_netFiles = netFiles.get();
        Script(*m_netFiles);
        m_handler = std::make_unique<RequestHandler>(
            std::move(netFiles), std::make_unique<test::FakeSystemInfo>(),
            std::make_unique<test::Utf8WireText>(), std::move(policy),
            withLog ? std::make_unique<ServiceLog>(m_dir.path()) : nullptr);
    }

    std::vector<uint8_t> Send(const ServiceRequestRecord& record,
                              const std::string& peer = "10.0.0.5") {
        const EncodedRecord encoded = EncodeRequestRecord(record);
        EXPECT_TRUE(encoded.Ok());
        return m_handler->Handle(peer, encoded.bytes.data(), encoded.bytes.size());
    }

    static DecodedQueryReply Decode(const std::vector<uint8_t>& body) {
        DecodedQueryReply reply = DecodeQueryReply(body.data(), body.size());
        EXPECT_TRUE(reply.ok) << reply.error;
        return reply;
    }

    std::string LogText() { return ReadFile(m_handler->Log()->FilePath()); }

    TempDir m_dir;
    test::FakeNetFileApi* m_netFiles = nullptr;
    std::unique_ptr<RequestHandler> m_handler;
};

TEST_F(RequestHandlerTest, QueryAnswersWithTheDirectQuerysBasePathAndRows) {
    struct Case {
        const char* name;
        ServiceRequestRecord record;
        TPellquinRequest direct;  // what the client's own direct query would be given
    };
    TPellquinRequest onShare;
    onShare.Server = "srv";
    onShare.Share = "data";
    onShare.Path = "reports";
    TPellquinRequest shareRoot = onShare;
    shareRoot.Path.clear();
    TPellquinRequest local;
    local.IsLocal = 1;
    local.Path = "C:\\local";
    const Case cases[] = {
        {"below a share", Record(REQUEST_QUERY, "srv", "data", "reports"), onShare},
        {"share root", Record(REQUEST_QUERY, "srv", "data", ""), shareRoot},
        {"local path", Record(REQUEST_QUERY, "", "", "C:\\local"), local},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Make();
        const DecodedQueryReply reply = Decode(Send(c.record));
        const auto serviceCalls = m_netFiles->enumCalls;

        test::FakeNetFileApi direct;
        Script(direct);
        test::FakeSystemInfo system;
        TPellquinRequest request = c.direct;
        ASSERT_TRUE(QueryDirect(request, direct, system));

        EXPECT_EQ(reply.header.ErrorText, "");
        EXPECT_EQ(reply.header.BasePath, request.ServerPath);
        ASSERT_EQ(reply.rows.size(), request.Items.size());
        for (size_t i = 0; i < reply.rows.size(); ++i) {
            EXPECT_EQ(reply.rows[i].PathName, request.Items[i].PathName);
            EXPECT_EQ(reply.rows[i].UserName, request.Items[i].UserName);
            EXPECT_EQ(reply.rows[i].Id, request.Items[i].Id);
            EXPECT_EQ(reply.rows[i].Permissions, request.Items[i].Permissions);
            EXPECT_EQ(reply.rows[i].NumLocks, request.Items[i].NumLocks);
        }
        ASSERT_EQ(serviceCalls.size(), direct.enumCalls.size());
        EXPECT_EQ(serviceCalls[0].server, direct.enumCalls[0].server);
        EXPECT_EQ(serviceCalls[0].basePath, direct.enumCalls[0].basePath);
    }
}

TEST_F(RequestHandlerTest, FailuresReachTheClientAsErrorTexts) {
    struct Case {
        const char* name;
        uint32_t shareResult;
        const char* text;
    };
    const Case cases[] = {
        {"system text, trimmed", 2310, "This shared resource does not exist"},
        // An empty text would read as success on the client.
        {"code without a system text", 1234, "Error 1234"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Make();
        m_netFiles->shareResult = c.shareResult;
        const DecodedQueryReply reply = Decode(Send(Record(REQUEST_QUERY, "srv", "data", "")));
        EXPECT_EQ(reply.header.ErrorText, c.text);
        EXPECT_TRUE(reply.rows.empty());
        EXPECT_NE(LogText().find(std::string("failed: ") + c.text), std::string::npos);
    }
}

TEST_F(RequestHandlerTest, CloseUsesTheDirectCloseAndReportsItsFailure) {
    Make();
    m_netFiles->closeResults[99] = 2;

    DecodedQueryReply reply = Decode(Send(Record(REQUEST_CLOSE, "srv", "data", "a.txt", 9)));
    EXPECT_EQ(reply.header.ErrorText, "");
    reply = Decode(Send(Record(REQUEST_CLOSE, "", "", "C:\\local\\x.doc", 99)));
    EXPECT_EQ(reply.header.ErrorText, "The system cannot find the file specified");

    ASSERT_EQ(m_netFiles->closeCalls.size(), 2u);
    EXPECT_EQ(m_netFiles->closeCalls[0].server, std::optional<std::string>("\\\\srv"));
    EXPECT_EQ(m_netFiles->closeCalls[0].id, 9u);
    EXPECT_EQ(m_netFiles->closeCalls[1].server, std::nullopt);
    EXPECT_TRUE(m_netFiles->enumCalls.empty());
}

TEST_F(RequestHandlerTest, PolicyRefusesWithAccessDeniedAndNoServerCall) {
    HandlerPolicy policy;
    policy.allowedClients = {"10.0.0.5", "10.0.0.6"};
    policy.refuseClose = true;
    Make(policy);
    ScriptReports(*m_netFiles);

    // Allowed client: queries are served, closes refused.
    EXPECT_EQ(Decode(Send(Record(REQUEST_QUERY, "srv", "data", ""), "10.0.0.6")).rows.size(), 3u);
    EXPECT_EQ(
        Decode(Send(Record(REQUEST_CLOSE, "srv", "data", "", 7), "10.0.0.6")).header.ErrorText,
        "Access is denied");
    // Any other client: refused before the server is asked anything.
    EXPECT_EQ(Decode(Send(Record(REQUEST_QUERY, "srv", "data", ""), "10.0.0.7")).header.ErrorText,
              "Access is denied");

    EXPECT_EQ(m_netFiles->enumCalls.size(), 2u);  // the one query served, in two rounds
    EXPECT_TRUE(m_netFiles->closeCalls.empty());
    const std::string log = LogText();
    EXPECT_NE(log.find("refused: closing is turned off"), std::string::npos);
    EXPECT_NE(
        log.find(
            "10.0.0.7 \"alice\"@\"WS01\" query \"\\\\srv\\data\": refused: client not allowed"),
        std::string::npos);
}

TEST_F(RequestHandlerTest, DefaultPolicyServesEveryoneAndUnknownKindsAreRefused) {
    Make();
    EXPECT_EQ(
        Decode(Send(Record(REQUEST_CLOSE, "srv", "data", "", 7), "192.168.1.1")).header.ErrorText,
        "");
    // Neither a query nor a close: nothing is done, and the client sees a failure.
    EXPECT_EQ(Decode(Send(Record(3, "srv", "data", ""))).header.ErrorText, "Error 87");
    EXPECT_TRUE(m_netFiles->enumCalls.empty());
    EXPECT_EQ(m_netFiles->closeCalls.size(), 1u);
}

TEST_F(RequestHandlerTest, RowTextsTooLongForTheirFieldsAreCutAtACharacterBoundary) {
    Make();
    // 253 ASCII bytes then a two-byte character: a cut at 254 would split it.
    const std::string longPath = "D:\\Data\\" + std::string(245, 'x') + "\xC3\xA9" + "tail";
    m_netFiles->rounds = {{NET_OK, {Entry(1, longPath), Entry(2, "D:\\Data\\short")}}};

    const DecodedQueryReply reply = Decode(Send(Record(REQUEST_QUERY, "srv", "data", "")));

    ASSERT_EQ(reply.rows.size(), 2u);
    EXPECT_EQ(reply.rows[0].PathName, longPath.substr(0, 253));
    EXPECT_EQ(reply.rows[0].Id, 1u);
    EXPECT_EQ(reply.rows[1].PathName, "D:\\Data\\short");
}

TEST_F(RequestHandlerTest, UnreadableRecordGetsAnErrorReply) {
    Make();
    const std::vector<uint8_t> shortRecord(100, 0x41);
    const std::vector<uint8_t> body =
        m_handler->Handle("10.0.0.5", shortRecord.data(), shortRecord.size());
    EXPECT_EQ(Decode(body).header.ErrorText, "Error 87");
    EXPECT_TRUE(m_netFiles->enumCalls.empty());
}

TEST_F(RequestHandlerTest, LogHasOneLinePerRequestAndIsCreatedAgainAfterDeletion) {
    Make();
    ScriptReports(*m_netFiles);
    Send(Record(REQUEST_QUERY, "srv", "data", "reports"));
    Send(Record(REQUEST_CLOSE, "", "", "C:\\local\\x.doc", 12));
    std::string log = LogText();
    EXPECT_NE(log.find(" 10.0.0.5 \"alice\"@\"WS01\" query \"\\\\srv\\data\\reports\": 3 rows\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(" 10.0.0.5 \"alice\"@\"WS01\" close \"C:\\local\\x.doc\": closed id 12\n"),
              std::string::npos)
        << log;

    ASSERT_TRUE(fs::remove(m_handler->Log()->FilePath()));
    Send(Record(REQUEST_QUERY, "srv", "data", ""));
    log = LogText();
    EXPECT_NE(log.find("query \"\\\\srv\\data\": 0 rows"), std::string::npos) << log;
    EXPECT_EQ(log.find("reports"), std::string::npos) << "old lines came back";
}

}  // namespace
}  // namespace pellquin
