#include "cli/cli_commands.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "fake_net_file_api.h"
#include "fake_service_exchange.h"
#include "fake_system_info.h"
#include "fake_universal_names.h"

namespace pellquin {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// A scripted engine: rows (or an error) per path, close failures per id; records closes.
class ScriptedEngine : public CliEngine {
public:
    std::map<std::string, std::vector<TPellquinItem>> rows;
    std::map<std::string, std::string> queryErrors;
    std::map<uint32_t, std::string> closeErrors;
    std::vector<uint32_t> closed;  // every id asked to close, in order
    int queries = 0;
    int queriesUntilFree = -1;  // after this many queries every path answers no rows

    void Query(TPellquinRequest& request) override {
        ++queries;
        if (queryErrors.count(request.Path)) {
            request.ErrorText = queryErrors[request.Path];
            return;
        }
        if (queriesUntilFree < 0 || queries <= queriesUntilFree) {
            request.Items = rows[request.Path];
        }
    }
    void Close(TPellquinRequest& request) override {
        closed.push_back(request.FileId);
        if (closeErrors.count(request.FileId)) {
            request.ErrorText = closeErrors[request.FileId];
        }
    }
};

ScriptedEngine TwoUsers() {
    ScriptedEngine engine;
    engine.rows["\\\\a\\d"] = {{"D:\\d\\q1.xls", "ann", 7, 1, 0},
                               {"D:\\d\\q2.xls", "ben", 4294967295u, 3, 2},
                               {"D:\\d\\x.txt", "CORP\\Ann", 9, 1, 0}};
    engine.rows["//b/e"] = {{"E:\\e\\n, \"1\".txt", "ann", 3, 1, 0}};
    return engine;
}

CliOptions Parsed(const std::vector<std::string>& args) {
    CliOptions options;
    EXPECT_EQ(ParseCliOptions(args, &options), "");
    return options;
}

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

TEST(CliCheck, SeveralPathsAreTaggedAndFilteredAndAFailedOneDoesNotStopTheOthers) {
    struct Case {
        std::vector<std::string> args;
        Outcome expected;
    };
    const Case cases[] = {
        {{"--server-relative", "--json", "check", "--user", "ann", "\\\\a\\d", "//b/e"},
         {0,
          "[\n {\"path\": \"\\\\\\\\a\\\\d\", \"id\": 7, \"fileName\": \"D:\\\\d\\\\q1.xls\", "
          "\"serverPathName\": \"D:\\\\d\\\\q1.xls\", \"userName\": \"ann\", \"locks\": 0, "
          "\"permissions\": \"R\", \"permissionBits\": 1},\n"
          " {\"path\": \"\\\\\\\\a\\\\d\", \"id\": 9, \"fileName\": \"D:\\\\d\\\\x.txt\", "
          "\"serverPathName\": \"D:\\\\d\\\\x.txt\", \"userName\": \"CORP\\\\Ann\", \"locks\": 0, "
          "\"permissions\": \"R\", \"permissionBits\": 1},\n"
          " {\"path\": \"//b/e\", \"id\": 3, \"fileName\": \"E:\\\\e\\\\n, \\\"1\\\".txt\", "
          "\"serverPathName\": \"E:\\\\e\\\\n, \\\"1\\\".txt\", \"userName\": \"ann\", \"locks\": "
          "0, \"permissions\": \"R\", \"permissionBits\": 1}\n]\n",
          ""}},
        {{"--server-relative", "--csv", "check", "--match", ".TXT", "\\\\a\\d", "//gone/x",
          "//b/e"},
         {1,
          "Path,ID,File Name,User Name,# Locks,Permissions\r\n"
          "\\\\a\\d,9,D:\\d\\x.txt,CORP\\Ann,0,R\r\n"
          "//b/e,3,\"E:\\e\\n, \"\"1\"\".txt\",ann,0,R\r\n",
          "//gone/x: Socket Error # 11001\nHost not found\n"}},
        {{"--server-relative", "check", "--user", "ben", "\\\\a\\d", "//b/e"},
         {0,
          "\\\\a\\d:\n"
          "        ID  File Name    User Name  # Locks  Permissions\n"
          "4294967295  D:\\d\\q2.xls  ben              2  RW\n"
          "\n//b/e:\n"
          "ID  File Name  User Name  # Locks  Permissions\n",
          ""}},
        {{"--json", "check", "//gone/x"}, {1, "", "Socket Error # 11001\nHost not found\n"}},
    };
    for (const Case& c : cases) {
        ScriptedEngine engine = TwoUsers();
        engine.queryErrors["//gone/x"] = "Socket Error # 11001\r\nHost not found";
        std::ostringstream out, err;
        const int status = RunCheck(Parsed(c.args), engine, out, err);
        EXPECT_EQ(status, c.expected.status) << c.args[2];
        EXPECT_EQ(out.str(), c.expected.out) << c.args[2];
        EXPECT_EQ(err.str(), c.expected.err) << c.args[2];
    }
}

class StepClock : public PollClock {
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

TEST(CliWatch, RedrawsInPlaceOnATerminalAndAppendsSnapshotsOtherwise) {
    for (const bool redraw : {true, false}) {
        ScriptedEngine engine = TwoUsers();
        StepClock clock;
        int snapshots = 0;
        std::ostringstream out, err;
        const int status = RunWatch(
            Parsed({"check", "--watch", "1.5", "--user", "nobody", "//b/e"}), engine, clock, redraw,
            [&snapshots] { return ++snapshots < 3; }, out, err);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(engine.queries, 3);
        EXPECT_EQ(clock.pauses,
                  (std::vector<milliseconds>{milliseconds(1500), milliseconds(1500)}));
        const std::string header = "ID  File Name  User Name  # Locks  Permissions\n";
        const std::string clear = "\x1b[H\x1b[2J";
        EXPECT_EQ(out.str(), redraw ? clear + header + clear + header + clear + header
                                    : header + "\n" + header + "\n" + header);
    }
}

TEST(CliClose, EachHandleIsTriedAndReportedAndTheSummarySaysHowManyClosed) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        bool canAsk;
        bool answer;
        std::vector<uint32_t> closed;
        Outcome expected;
    };
    const Case cases[] = {
        {"ids: a failure does not stop the rest",
         {"close", "\\\\a\\d", "7", "-1", "9"},
         false,
         false,
         {7, 4294967295u, 9},
         {1, "closed 7\nclosed 9\n", "4294967295: Access Denied\n"}},
        {"one user's handles, confirmed",
         {"--server-relative", "close", "--user", "ann", "\\\\a\\d"},
         true,
         true,
         {7, 9},
         {0,
          "closed 7  D:\\d\\q1.xls  ann\nclosed 9  D:\\d\\x.txt  CORP\\Ann\nclosed 2 of 2 "
          "handles\n",
          ""}},
        {"declined: nothing closed",
         {"close", "--user", "ann", "\\\\a\\d"},
         true,
         false,
         {},
         {2, "", "nothing closed\n"}},
        {"no terminal and no --yes: nothing closed",
         {"close", "--all", "\\\\a\\d"},
         false,
         false,
         {},
         {2, "", "pellquin-cli: not closing 3 handle(s) without --yes: no terminal to ask on\n"}},
        {"all with --yes, one fails",
         {"--server-relative", "close", "--yes", "--all", "\\\\a\\d"},
         false,
         false,
         {7, 4294967295u, 9},
         {1,
          "closed 7  D:\\d\\q1.xls  ann\nclosed 9  D:\\d\\x.txt  CORP\\Ann\nclosed 2 of 3 "
          "handles\n",
          "4294967295: Access Denied\n"}},
        {"nobody's handles",
         {"close", "--yes", "--user", "carl", "\\\\a\\d"},
         false,
         false,
         {},
         {0, "nothing to close under \\\\a\\d\n", ""}},
        {"the check fails",
         {"close", "--yes", "--all", "//gone/x"},
         false,
         false,
         {},
         {1, "", "The network path was not found.\n"}},
    };
    for (const Case& c : cases) {
        ScriptedEngine engine = TwoUsers();
        engine.queryErrors["//gone/x"] = "The network path was not found.";
        engine.closeErrors[4294967295u] = "Access Denied";
        std::vector<std::string> questions;
        Confirm confirm;
        if (c.canAsk) {
            confirm = [&questions, &c](const std::string& question) {
                questions.push_back(question);
                return c.answer;
            };
        }
        std::ostringstream out, err;
        const int status = RunClose(Parsed(c.args), engine, confirm, out, err);
        EXPECT_EQ(status, c.expected.status) << c.name;
        EXPECT_EQ(engine.closed, c.closed) << c.name;
        EXPECT_EQ(out.str(), c.expected.out) << c.name;
        EXPECT_EQ(err.str(), c.expected.err) << c.name;
        if (c.canAsk) {
            EXPECT_EQ(questions, std::vector<std::string>{"Close 2 handles of ann under \\\\a\\d?"})
                << c.name;
        }
    }
}

// A service reply cut short while closing one id fails that id only.
TEST(CliClose, AReplyCutShortFailsOnlyItsId) {
    auto service = std::make_unique<test::FakeServiceExchange>();
    test::FakeServiceExchange* fake = service.get();
    fake->reaction = test::FakeServiceExchange::Reaction::CutShort;
    TmodPQ modPQ(std::make_unique<test::FakeNetFileApi>(),
                 std::make_unique<test::FakeUniversalNames>(),
                 std::make_unique<test::FakeSystemInfo>(), std::move(service));
    ModPqCliEngine engine(modPQ, 0, 1);
    std::ostringstream out, err;
    EXPECT_EQ(RunClose(Parsed({"close", "\\\\srv\\data", "5", "6"}), engine, Confirm(), out, err),
              1);
    EXPECT_EQ(fake->calls.size(), 2u);
    EXPECT_EQ(err.str(), "5: Connection Closed Gracefully.\n6: Connection Closed Gracefully.\n");

    TPellquinRequest query;
    query.ClientPath = query.Path = "\\\\srv\\data";
    query.RequestKind = REQUEST_QUERY;
    engine.Query(query);
    EXPECT_EQ(query.ErrorText, "Connection Closed Gracefully.");
}

TEST(CliWait, FreeTimedOutOrFailed) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int queriesUntilFree;
        int queries;
        Outcome expected;
    };
    const Case cases[] = {
        {"free after two checks", {"wait", "--interval", "0.5", "//b/e"}, 2, 3, {0, "", ""}},
        {"other users' handles do not hold it up",
         {"wait", "--user", "ben", "--timeout", "5", "//b/e"},
         -1,
         1,
         {0, "", ""}},
        {"time-out prints what is open",
         {"--server-relative", "wait", "--timeout", "1", "--interval", "0.5", "//b/e"},
         -1,
         3,
         {1,
          "ID  File Name        User Name  # Locks  Permissions\n"
          " 3  E:\\e\\n, \"1\".txt  ann              0  R\n",
          "still open under //b/e after 3 checks:\n"}},
        {"a failed check",
         {"wait", "//gone/x"},
         -1,
         1,
         {1, "", "The network path was not found.\n"}},
    };
    for (const Case& c : cases) {
        ScriptedEngine engine = TwoUsers();
        engine.queryErrors["//gone/x"] = "The network path was not found.";
        engine.queriesUntilFree = c.queriesUntilFree;
        StepClock clock;
        std::ostringstream out, err;
        EXPECT_EQ(RunWait(Parsed(c.args), engine, clock, out, err), c.expected.status) << c.name;
        EXPECT_EQ(engine.queries, c.queries) << c.name;
        EXPECT_EQ(out.str(), c.expected.out) << c.name;
        EXPECT_EQ(err.str(), c.expected.err) << c.name;
    }
}

}  // namespace
}  // namespace pellquin
