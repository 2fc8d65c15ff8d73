#include "query/mod_pq.h"

#include <gtest/gtest.h>

#include "fake_net_file_api.h"
#include "fake_service_exchange.h"
#include "fake_system_info.h"
#include "fake_universal_names.h"

namespace pellquin {
namespace {

using Reaction = test::FakeServiceExchange::Reaction;

enum class Direct { Succeeds, Denied, OtherFailure, NotMade };
enum class Service { Answers, AnswersError, SocketError, Declines, NotMade };

// What the user sees after a query.
struct Outcome {
    const char* errorText;  // nullptr: no message
    size_t rows;
};

struct MechanismCase {
    const char* name;
    int tryDirect;
    int tryService;
    Direct direct;
    Service service;
    Outcome expected;
};

class QueryMechanism : public ::testing::TestWithParam<MechanismCase> {
protected:
    QueryMechanism() {
        auto netFiles = std::make_unique<test::FakeNetFileApi>();
        auto service = std::make_unique<test::FakeServiceExchange>();
        m_netFiles = netFiles.get();
        m_service = service.get();
        m_netFiles->shareFolders["data"] = "D:\\Data";
        m_modPQ = std::make_unique<TmodPQ>(
            std::move(netFiles), std::make_unique<test::FakeUniversalNames>(),
            std::make_unique<test::FakeSystemInfo>(), std::move(service));
    }

    void Script(Direct direct, Service service) {
        switch (direct) {
            case Direct::Succeeds:
                m_netFiles->rounds = {{NET_OK, {OpenFileEntry{1, 1, 0, "D:\\Data\\a", "bob"}}}};
                break;
            case Direct::Denied:
                m_netFiles->shareResult = 5;
                break;
            case Direct::OtherFailure:
                m_netFiles->rounds = {{53, {}}};
                break;
            case Direct::NotMade:
                break;
        }
        TPellquinItem row;
        row.Id = 7;
        m_service->rows = {row, row};
        switch (service) {
            case Service::Answers:
            case Service::NotMade:
                m_service->reaction = Reaction::Answer;
                break;
            case Service::AnswersError:
                m_service->reaction = Reaction::Answer;
                m_service->replyError = "The network name cannot be found";
                break;
            case Service::SocketError:
                m_service->reaction = Reaction::SocketError;
                break;
            case Service::Declines:
                m_service->reaction = Reaction::Decline;
                break;
        }
    }

    test::FakeNetFileApi* m_netFiles;
    test::FakeServiceExchange* m_service;
    std::unique_ptr<TmodPQ> m_modPQ;
};

TEST_P(QueryMechanism, UserSeesWhatTheOutcomeTableSays) {
    const MechanismCase& c = GetParam();
    Script(c.direct, c.service);
    TPellquinRequest request;
    request.ClientPath = request.Path = "\\\\srv\\data";
    request.RequestKind = REQUEST_QUERY;

    m_modPQ->QueryOpenFiles(request, c.tryDirect, c.tryService);

    EXPECT_EQ(request.ErrorText, c.expected.errorText ? c.expected.errorText : "");
    if (!c.expected.errorText) {
        EXPECT_EQ(request.Items.size(), c.expected.rows);
    }
    const bool directMade = !m_netFiles->shareCalls.empty();
    EXPECT_EQ(directMade, c.direct != Direct::NotMade);
    EXPECT_EQ(!m_service->calls.empty(), c.service != Service::NotMade);
}

const char* const kSocketText = "Socket Error # 111\r\nConnection refused";

INSTANTIATE_TEST_SUITE_P(
    OutcomeTable, QueryMechanism,
    ::testing::Values(
        MechanismCase{"BothDirectSucceeds", 1, 1, Direct::Succeeds, Service::NotMade, {nullptr, 1}},
        MechanismCase{
            "BothDeniedServiceAnswers", 1, 1, Direct::Denied, Service::Answers, {nullptr, 2}},
        MechanismCase{"BothOtherFailureServiceAnswers",
                      1,
                      1,
                      Direct::OtherFailure,
                      Service::Answers,
                      {nullptr, 2}},
        MechanismCase{"BothDeniedServiceAnswersError",
                      1,
                      1,
                      Direct::Denied,
                      Service::AnswersError,
                      {"The network name cannot be found", 0}},
        MechanismCase{"BothDeniedNoService",
                      1,
                      1,
                      Direct::Denied,
                      Service::SocketError,
                      {kMessageAccessDeniedNoService, 0}},
        MechanismCase{"BothOtherFailureNoService",
                      1,
                      1,
                      Direct::OtherFailure,
                      Service::SocketError,
                      {kSocketText, 0}},
        MechanismCase{"BothDeniedServiceDeclines",
                      1,
                      1,
                      Direct::Denied,
                      Service::Declines,
                      {"Access is denied", 0}},
        MechanismCase{"DirectOnlyDenied",
                      1,
                      0,
                      Direct::Denied,
                      Service::NotMade,
                      {kMessageAccessDeniedTryService, 0}},
        MechanismCase{"DirectOnlyOtherFailure",
                      1,
                      0,
                      Direct::OtherFailure,
                      Service::NotMade,
                      {"The network path was not found", 0}},
        MechanismCase{"ServiceOnlyAnswers", 0, 1, Direct::NotMade, Service::Answers, {nullptr, 2}},
        MechanismCase{"ServiceOnlyAnswersError",
                      0,
                      1,
                      Direct::NotMade,
                      Service::AnswersError,
                      {"The network name cannot be found", 0}},
        MechanismCase{"ServiceOnlyNoService",
                      0,
                      1,
                      Direct::NotMade,
                      Service::SocketError,
                      {kMessageNoService, 0}},
        MechanismCase{
            "ServiceOnlyDeclines", 0, 1, Direct::NotMade, Service::Declines, {nullptr, 0}},
        MechanismCase{"NoOption", 0, 0, Direct::NotMade, Service::NotMade, {nullptr, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

class QueryMechanismFixture : public QueryMechanism {};

TEST_F(QueryMechanismFixture, UnresolvablePathStopsBeforeAnyAttemptAndShowsItsOwnText) {
    auto names = std::make_unique<test::FakeUniversalNames>();
    names->failure = 53;
    auto netFiles = std::make_unique<test::FakeNetFileApi>();
    auto service = std::make_unique<test::FakeServiceExchange>();
    service->reaction = Reaction::SocketError;
    auto* netFilesSeen = netFiles.get();
    auto* serviceSeen = service.get();
    TmodPQ modPQ(std::move(netFiles), std::move(names), std::make_unique<test::FakeSystemInfo>(),
                 std::move(service));

    TPellquinRequest query;
    query.Path = "G:\\x";
    modPQ.QueryOpenFiles(query, 1, 1);
    EXPECT_EQ(query.ErrorText, "The network path was not found");

    TPellquinRequest close;
    close.Path = "G:\\x";
    modPQ.CloseOpenFile(close, 1, 1);
    EXPECT_EQ(close.ErrorText, "The network path was not found");

    EXPECT_TRUE(netFilesSeen->shareCalls.empty());
    EXPECT_TRUE(netFilesSeen->closeCalls.empty());
    EXPECT_TRUE(serviceSeen->calls.empty());
}

TEST_F(QueryMechanismFixture, CloseFallsBackToTheServiceAndItsSuccessClearsTheDirectFailure) {
    m_netFiles->closeResult = 5;
    m_service->reaction = Reaction::Answer;
    TPellquinRequest request;
    request.Path = "\\\\srv\\data\\x";
    request.RequestKind = REQUEST_CLOSE;
    request.FileId = 9;

    m_modPQ->CloseOpenFile(request, 1, 1);

    EXPECT_EQ(request.ErrorText, "");
    ASSERT_EQ(m_service->calls.size(), 1u);
    EXPECT_EQ(m_service->calls[0].kind, REQUEST_CLOSE);
    EXPECT_EQ(m_service->calls[0].fileId, 9u);
    EXPECT_EQ(m_service->calls[0].server, "srv");
    EXPECT_EQ(m_service->calls[0].share, "data");
    EXPECT_EQ(m_service->calls[0].path, "x");
}

TEST_F(QueryMechanismFixture, CloseCases) {
    struct Case {
        int tryDirect, tryService;
        uint32_t directResult;
        Reaction reaction;
        const char* replyError;
        const char* expected;
        size_t serviceCalls;
    };
    const Case cases[] = {
        {1, 1, 0, Reaction::SocketError, "", "", 0},
        {1, 0, 5, Reaction::Answer, "", "Access is denied", 0},
        {1, 1, 5, Reaction::SocketError, "", kSocketText, 1},
        {1, 1, 5, Reaction::Decline, "", "Access is denied", 1},
        {0, 1, 0, Reaction::Answer, "The system cannot find the file specified",
         "The system cannot find the file specified", 1},
        // A close never gets the explanatory messages.
        {0, 1, 0, Reaction::SocketError, "", kSocketText, 1},
        {0, 0, 5, Reaction::Answer, "", "", 0},
    };
    for (const Case& c : cases) {
        m_netFiles->closeResult = c.directResult;
        m_service->reaction = c.reaction;
        m_service->replyError = c.replyError;
        m_service->calls.clear();
        TPellquinRequest request;
        request.Path = "\\\\srv\\data\\x";
        request.RequestKind = REQUEST_CLOSE;
        m_modPQ->CloseOpenFile(request, c.tryDirect, c.tryService);
        EXPECT_EQ(request.ErrorText, c.expected) << c.tryDirect << c.tryService << c.directResult;
        EXPECT_EQ(m_service->calls.size(), c.serviceCalls);
    }
}

TEST_F(QueryMechanismFixture, CutShortReplyPassesThrough) {
    m_service->reaction = Reaction::CutShort;
    TPellquinRequest request;
    request.Path = "\\\\srv\\data";
    EXPECT_THROW(m_modPQ->QueryOpenFiles(request, 0, 1), ServiceReplyError);
}

}  // namespace
}  // namespace pellquin
