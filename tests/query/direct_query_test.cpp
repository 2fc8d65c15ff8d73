#include "query/direct_query.h"
#include "query/result_rows.h"

#include <gtest/gtest.h>

#include "fake_net_file_api.h"
#include "fake_system_info.h"
#include "query/path_resolution.h"

namespace pellquin {
namespace {

OpenFileEntry Entry(uint32_t id, const std::string& path, uint32_t perms = 1) {
    return OpenFileEntry{id, perms, 0, path, "bob"};
}

class DirectQuery : public ::testing::Test {
protected:
    TPellquinRequest ShareRequest() {
        TPellquinRequest request;
        request.Server = "srv";
        request.Share = "data";
        request.Path = "reports";
        return request;
    }
    test::FakeNetFileApi netFiles;
    test::FakeSystemInfo system;
};

TEST_F(DirectQuery, PagesAreAppendedInTheServersOrderWithTheResumeHandleCarried) {
    netFiles.shareFolders["data"] = "D:\\Data";
    netFiles.rounds = {
        {NET_MORE_DATA, {Entry(1, "D:\\Data\\reports\\a"), Entry(2, "D:\\Data\\reports\\b")}},
        {NET_MORE_DATA, {Entry(3, "D:\\Data\\reports\\c")}},
        {NET_OK, {Entry(4, "D:\\Data\\reports\\d")}}};
    TPellquinRequest request = ShareRequest();

    ASSERT_TRUE(QueryDirect(request, netFiles, system));

    ASSERT_EQ(request.Items.size(), 4u);
    for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(request.Items[i].Id, i + 1);
    }
    EXPECT_EQ(request.Items[0].PathName, "D:\\Data\\reports\\a");
    EXPECT_EQ(request.Items[0].UserName, "bob");
    ASSERT_EQ(netFiles.enumCalls.size(), 3u);
    EXPECT_EQ(netFiles.enumCalls[0].resumeHandle, 0u);
    EXPECT_EQ(netFiles.enumCalls[1].resumeHandle, 2u);
    EXPECT_EQ(netFiles.enumCalls[2].resumeHandle, 3u);
    for (const auto& call : netFiles.enumCalls) {
        EXPECT_EQ(call.server, std::optional<std::string>("srv"));
        EXPECT_EQ(call.basePath, "D:\\Data\\reports");
    }
}

TEST_F(DirectQuery, FailureInALaterRoundKeepsTheEarlierRows) {
    netFiles.shareFolders["data"] = "D:\\Data";
    netFiles.rounds = {
        {NET_MORE_DATA, {Entry(1, "D:\\Data\\reports\\a"), Entry(2, "D:\\Data\\reports\\b")}},
        {53, {Entry(3, "D:\\Data\\reports\\c")}}};
    TPellquinRequest request = ShareRequest();

    EXPECT_FALSE(QueryDirect(request, netFiles, system));

    EXPECT_EQ(request.Items.size(), 2u);
    EXPECT_EQ(request.ErrorCode, 53);
    EXPECT_EQ(request.ErrorText, "The network path was not found");
}

TEST_F(DirectQuery, NothingOpenIsSuccessWithNoRows) {
    netFiles.shareFolders["data"] = "D:\\Data";
    TPellquinRequest request = ShareRequest();
    EXPECT_TRUE(QueryDirect(request, netFiles, system));
    EXPECT_TRUE(request.Items.empty());
    EXPECT_EQ(request.ErrorText, "");
}

TEST_F(DirectQuery, LocalPathIsListedOnThisMachineUnderTheFullPath) {
    TPellquinRequest request;
    request.IsLocal = 1;
    request.Path = "C:\\Data";
    ASSERT_TRUE(QueryDirect(request, netFiles, system));
    ASSERT_EQ(netFiles.enumCalls.size(), 1u);
    EXPECT_EQ(netFiles.enumCalls[0].server, std::nullopt);
    EXPECT_EQ(netFiles.enumCalls[0].basePath, "C:\\Data");
}

TEST_F(DirectQuery, EveryFieldOfAnEntryReachesItsRow) {
    netFiles.shareFolders["data"] = "D:\\Data";
    netFiles.rounds = {{NET_OK, {OpenFileEntry{7, 3, 2, "D:\\Data\\reports\\q1.xls", "ann"}}}};
    TPellquinRequest request = ShareRequest();

    ASSERT_TRUE(QueryDirect(request, netFiles, system));

    ASSERT_EQ(request.Items.size(), 1u);
    const TPellquinItem& item = request.Items[0];
    EXPECT_EQ(item.Id, 7u);
    EXPECT_EQ(item.Permissions, 3u);
    EXPECT_EQ(item.NumLocks, 2u);
    EXPECT_EQ(item.PathName, "D:\\Data\\reports\\q1.xls");
    EXPECT_EQ(item.UserName, "ann");
}

std::vector<uint32_t> Ids(const TPellquinRequest& request) {
    std::vector<uint32_t> ids;
    for (const auto& item : request.Items) {
        ids.push_back(item.Id);
    }
    return ids;
}

// A server that ignores the base path (as Samba does) answers every open file it has, over
// two rounds; only the rows at or below the base path may reach the user, on every system.
TEST_F(DirectQuery, KeepsOnlyRowsAtOrBelowTheBasePathWhateverTheServerSends) {
    const std::vector<OpenFileEntry> everyOpenFile = {
        Entry(1, "D:\\Data\\readme.txt"),
        Entry(2, "D:\\Data\\reports\\q1.xls"),
        Entry(3, "d:\\DATA\\Reports\\archive\\2023.txt"),
        Entry(4, "D:\\Data\\rep\\notes.txt"),
        Entry(5, "D:\\Data\\reports"),
        Entry(6, "D:\\Database\\x.txt"),
        Entry(7, "E:\\other\\reports\\y.txt"),
    };
    struct Case {
        const char* share;  // empty: the server's name alone
        const char* path;   // below the share
        std::vector<uint32_t> ids;
    };
    const Case cases[] = {
        {"data", "reports", {2, 3, 5}},     // below the folder, and the folder itself
        {"data", "rep", {4}},               // whole components: not the start of "reports"
        {"data", "REPORTS\\Archive", {3}},  // letters match without regard to case
        {"data", "reports\\q1.xls", {2}},
        {"data", "", {1, 2, 3, 4, 5}},  // the share's root "D:\Data\", not "D:\Database"
        {"data", "bench", {}},
        {"", "", {1, 2, 3, 4, 5, 6, 7}},  // the server's name alone: every open file
    };
    for (const Case& c : cases) {
        test::FakeNetFileApi server;
        server.shareFolders["data"] = "D:\\Data";
        server.rounds = {
            {NET_MORE_DATA, {everyOpenFile.begin(), everyOpenFile.begin() + 3}},
            {NET_OK, {everyOpenFile.begin() + 3, everyOpenFile.end()}},
        };
        TPellquinRequest request;
        request.Server = "srv";
        request.Share = c.share;
        request.Path = c.path;

        ASSERT_TRUE(QueryDirect(request, server, system)) << c.share << " " << c.path;
        EXPECT_EQ(Ids(request), c.ids) << c.share << " " << c.path;
        EXPECT_EQ(server.enumCalls.size(), 2u);
    }
}

// This machine's file server may name its files in another form than the user's local path
// (Samba: "C:" and the resolved Unix path); the rule applies to the form the rows carry.
TEST_F(DirectQuery, LocalRowsAreMatchedInTheFormTheServerReportsThem) {
    netFiles.reportedBasePaths["/srv/data/rep"] = "C:\\srv\\data\\rep";
    netFiles.rounds = {{NET_OK,
                        {Entry(1, "C:\\srv\\data\\rep\\a.txt"), Entry(2, "C:\\srv\\data\\x"),
                         Entry(3, "C:\\srv\\data\\reports\\b"), Entry(4, "/srv/data/rep/c")}}};
    TPellquinRequest request;
    request.IsLocal = 1;
    request.Path = "/srv/data/rep";

    ASSERT_TRUE(QueryDirect(request, netFiles, system));

    EXPECT_EQ(Ids(request), std::vector<uint32_t>{1});
    ASSERT_EQ(netFiles.enumCalls.size(), 1u);
    EXPECT_EQ(netFiles.enumCalls[0].basePath, "/srv/data/rep");
    EXPECT_EQ(request.ServerPath, "/srv/data/rep");
}

// The rows of a local path come back in the form the user typed it (client-relative), the
// server's own form with --server-relative; a trailing "/" (everything below) as well.
TEST_F(DirectQuery, LocalRowsAreNamedInTheUsersLocalForm) {
    netFiles.reportedBasePaths["/srv/data/rep"] = "C:\\srv\\data\\rep";
    netFiles.reportedBasePaths["/srv/data/rep/"] = "C:\\srv\\data\\rep\\";
    for (const std::string typed : {"/srv/data/rep", "/srv/data/rep/"}) {
        netFiles.rounds = {{NET_OK,
                            {Entry(1, "C:\\srv\\data\\rep\\a.txt"),
                             Entry(2, "C:\\srv\\data\\rep\\sub dir\\b.txt")}}};
        TPellquinRequest request;
        request.IsLocal = 1;
        request.ClientPath = request.Path = typed;
        ASSERT_TRUE(QueryDirect(request, netFiles, system)) << typed;
        std::vector<std::string> local;
        std::vector<std::string> server;
        for (const ResultRow& row : MakeResultRows(request, false)) {
            local.push_back(row.cells[kColumnFileName]);
        }
        for (const ResultRow& row : MakeResultRows(request, true)) {
            server.push_back(row.cells[kColumnFileName]);
        }
        EXPECT_EQ(local,
                  (std::vector<std::string>{"/srv/data/rep/a.txt", "/srv/data/rep/sub dir/b.txt"}))
            << typed;
        EXPECT_EQ(server, (std::vector<std::string>{"C:\\srv\\data\\rep\\a.txt",
                                                    "C:\\srv\\data\\rep\\sub dir\\b.txt"}))
            << typed;
    }
}

// The base path is spelled as the server spells the names; where the server's paths carry
// exact spellings, only an exact match is the same folder.
TEST_F(DirectQuery, ServersSpellingAndExactNamesDecideTheRows) {
    netFiles.shareFolders["data"] = "C:\\srv\\data";
    netFiles.namesOnServer["REPORTS"] = "Reports";
    for (const bool exact : {false, true}) {
        netFiles.exactNames = exact;
        netFiles.rounds = {
            {NET_OK,
             {Entry(1, "C:\\srv\\data\\Reports\\a"), Entry(2, "C:\\srv\\data\\reports\\b")}}};
        TPellquinRequest request = ShareRequest();
        request.Path = "REPORTS";
        ASSERT_TRUE(QueryDirect(request, netFiles, system));
        EXPECT_EQ(request.ServerPath, "C:\\srv\\data\\Reports");
        const std::vector<uint32_t> expected =
            exact ? std::vector<uint32_t>{1} : std::vector<uint32_t>{1, 2};
        EXPECT_EQ(Ids(request), expected) << exact;
    }
}

TEST_F(DirectQuery, DeniedShareLookupStopsBeforeTheListing) {
    netFiles.shareResult = 5;
    TPellquinRequest request = ShareRequest();
    EXPECT_FALSE(QueryDirect(request, netFiles, system));
    EXPECT_EQ(request.ErrorCode, 5);
    EXPECT_EQ(request.ErrorText, "Access is denied");
    EXPECT_TRUE(netFiles.enumCalls.empty());
}

TEST_F(DirectQuery, BasePathTooLongForTheCallIsRefusedNotCut) {
    netFiles.shareFolders["data"] = "D:\\" + std::string(250, 'x');
    TPellquinRequest request = ShareRequest();
    EXPECT_FALSE(QueryDirect(request, netFiles, system));
    EXPECT_EQ(request.ErrorCode, 206);
    EXPECT_TRUE(netFiles.enumCalls.empty());
}

TEST_F(DirectQuery, CloseAddressesTheServerWithBackslashesAndLocalWithNone) {
    TPellquinRequest share = ShareRequest();
    share.FileId = 42;
    EXPECT_EQ(CloseDirect(share, netFiles, system), 0u);

    TPellquinRequest local;
    local.IsLocal = 1;
    local.FileId = 43;
    EXPECT_EQ(CloseDirect(local, netFiles, system), 0u);

    ASSERT_EQ(netFiles.closeCalls.size(), 2u);
    EXPECT_EQ(netFiles.closeCalls[0].server, std::optional<std::string>("\\\\srv"));
    EXPECT_EQ(netFiles.closeCalls[0].id, 42u);
    EXPECT_EQ(netFiles.closeCalls[1].server, std::nullopt);
    EXPECT_EQ(netFiles.closeCalls[1].id, 43u);
}

TEST_F(DirectQuery, ACodeWithoutASystemTextStillReadsAsAFailure) {
    netFiles.closeResult = 59;  // the fake system knows no text for it
    TPellquinRequest request = ShareRequest();
    EXPECT_EQ(CloseDirect(request, netFiles, system), 59u);
    EXPECT_EQ(request.ErrorText, "Error 59");
}

TEST_F(DirectQuery, FailedCloseSetsTheTextOnly) {
    netFiles.closeResult = 2;
    TPellquinRequest request = ShareRequest();
    EXPECT_EQ(CloseDirect(request, netFiles, system), 2u);
    EXPECT_EQ(request.ErrorText, "The system cannot find the file specified");
    EXPECT_EQ(request.ErrorCode, 0);
}

}  // namespace
}  // namespace pellquin
