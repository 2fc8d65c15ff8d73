#include "query/direct_query.h"

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
    netFiles.rounds = {{NET_MORE_DATA, {Entry(1, "D:\\Data\\reports\\a"), Entry(2, "b")}},
                       {NET_MORE_DATA, {Entry(3, "c")}},
                       {NET_OK, {Entry(4, "d")}}};
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
    netFiles.rounds = {{NET_MORE_DATA, {Entry(1, "a"), Entry(2, "b")}}, {53, {Entry(3, "c")}}};
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

TEST_F(DirectQuery, FailedCloseSetsTheTextOnly) {
    netFiles.closeResult = 2;
    TPellquinRequest request = ShareRequest();
    EXPECT_EQ(CloseDirect(request, netFiles, system), 2u);
    EXPECT_EQ(request.ErrorText, "The system cannot find the file specified");
    EXPECT_EQ(request.ErrorCode, 0);
}

}  // namespace
}  // namespace pellquin
