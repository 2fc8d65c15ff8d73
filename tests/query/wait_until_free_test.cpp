#include "query/wait_until_free.h"

#include <gtest/gtest.h>

#include "fake_net_file_api.h"
#include "fake_service_exchange.h"
#include "fake_system_info.h"
#include "fake_universal_names.h"
#include "query/mod_pq.h"

namespace pellquin {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

class FakeClock : public PollClock {
public:
    std::chrono::steady_clock::time_point Now() override { return m_now; }
    void SleepFor(milliseconds pause) override {
        pauses.push_back(pause);
        m_now += pause;
    }
    std::vector<milliseconds> pauses;

private:
    std::chrono::steady_clock::time_point m_now;
};

struct WaitCase {
    const char* name;
    int openChecks;  // how many checks still see the handles; -1: they never close
    const char* heldBy;
    std::vector<std::string> users;  // the filter's users
    milliseconds interval;
    std::optional<milliseconds> timeout;
    bool denied;
    WaitResult::Outcome outcome;
    int checks;
    std::vector<milliseconds> pauses;
};

class WaitUntilNoRowsTest : public ::testing::TestWithParam<WaitCase> {};

TEST_P(WaitUntilNoRowsTest, ChecksUntilFreeOrTheDeadline) {
    const WaitCase& c = GetParam();
    auto netFiles = std::make_unique<test::FakeNetFileApi>();
    test::FakeNetFileApi* server = netFiles.get();
    server->shareFolders["data"] = "D:\\Data";
    if (c.denied) {
        server->shareResult = 5;
    }
    const int rounds = c.openChecks < 0 ? 100 : c.openChecks;
    for (int i = 0; i < rounds; ++i) {
        server->rounds.push_back({NET_OK,
                                  {OpenFileEntry{7, 1, 0, "D:\\Data\\a.txt", c.heldBy},
                                   OpenFileEntry{8, 1, 0, "D:\\Data\\b.txt", c.heldBy}}});
    }
    TmodPQ modPQ(std::move(netFiles), std::make_unique<test::FakeUniversalNames>(),
                 std::make_unique<test::FakeSystemInfo>(),
                 std::make_unique<test::FakeServiceExchange>());
    auto check = [&modPQ](TPellquinRequest& request) {
        request.ClientPath = request.Path = "\\\\srv\\data";
        modPQ.QueryOpenFiles(request, 1, 0);
    };
    RowFilter filter;
    filter.SetUsers(c.users);
    FakeClock clock;
    const WaitResult result =
        WaitUntilNoRows(check, filter, WaitPlan{c.interval, c.timeout, false}, clock);

    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.checks, c.checks);
    EXPECT_EQ(clock.pauses, c.pauses);
    EXPECT_EQ(server->enumCalls.size(), c.denied ? 0u : static_cast<size_t>(c.checks));
    if (c.outcome == WaitResult::Outcome::TimedOut) {
        ASSERT_EQ(result.open.size(), 2u);
        // Client-relative, as the plan asks.
        EXPECT_EQ(result.open[0].cells[kColumnFileName], "\\\\srv\\data\\a.txt");
    } else {
        EXPECT_TRUE(result.open.empty());
    }
    EXPECT_EQ(result.last.ErrorText.empty(), c.outcome != WaitResult::Outcome::Failed);
}

const milliseconds k2s = seconds(2);

INSTANTIATE_TEST_SUITE_P(
    Cases, WaitUntilNoRowsTest,
    ::testing::Values(
        WaitCase{
            "FreeAtOnce", 0, "ann", {}, k2s, seconds(10), false, WaitResult::Outcome::Free, 1, {}},
        WaitCase{"FreeOnTheCheckAfterTheLastClose",
                 2,
                 "ann",
                 {},
                 k2s,
                 std::nullopt,
                 false,
                 WaitResult::Outcome::Free,
                 3,
                 {k2s, k2s}},
        WaitCase{"LastCheckFallsOnTheDeadline",
                 -1,
                 "ann",
                 {},
                 k2s,
                 seconds(5),
                 false,
                 WaitResult::Outcome::TimedOut,
                 4,
                 {k2s, k2s, seconds(1)}},
        WaitCase{"ZeroTimeoutChecksOnce",
                 -1,
                 "ann",
                 {},
                 k2s,
                 milliseconds(0),
                 false,
                 WaitResult::Outcome::TimedOut,
                 1,
                 {}},
        WaitCase{"OtherUsersHandlesDoNotCount",
                 -1,
                 "ben",
                 {"ann"},
                 k2s,
                 seconds(5),
                 false,
                 WaitResult::Outcome::Free,
                 1,
                 {}},
        WaitCase{"TheUsersHandlesDo",
                 -1,
                 "CORP\\Ann",
                 {"ann"},
                 k2s,
                 seconds(3),
                 false,
                 WaitResult::Outcome::TimedOut,
                 3,
                 {k2s, seconds(1)}},
        WaitCase{"AFailedCheckEndsTheWait",
                 0,
                 "ann",
                 {},
                 k2s,
                 seconds(10),
                 true,
                 WaitResult::Outcome::Failed,
                 1,
                 {}}),
    [](const ::testing::TestParamInfo<WaitCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pellquin
