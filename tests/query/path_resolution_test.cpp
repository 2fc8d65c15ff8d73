#include "query/path_resolution.h"

#include <gtest/gtest.h>

#include "fake_net_file_api.h"
#include "fake_system_info.h"
#include "fake_universal_names.h"

namespace pellquin {
namespace {

struct ResolveCase {
    const char* path;
    int32_t isLocal;
    const char* server;
    const char* share;
    const char* pathAfter;
    const char* serverPath;  // after ResolveServerPath
};

class PathResolution : public ::testing::TestWithParam<ResolveCase> {
protected:
    PathResolution() {
        names.mappedDrives["F:"] = "\\\\srv\\data";
        netFiles.shareFolders["data"] = "D:\\Data";
        netFiles.shareFolders["C$"] = "C:\\";
    }
    test::FakeUniversalNames names;
    test::FakeNetFileApi netFiles;
    test::FakeSystemInfo system;
};

TEST_P(PathResolution, ResolvesEveryFormToServerShareAndBasePath) {
    const ResolveCase& c = GetParam();
    TPellquinRequest request;
    request.Path = c.path;
    request.ErrorCode = 99;

    ResolvePath(request, names, system);
    ASSERT_EQ(request.ErrorCode, 0);
    EXPECT_EQ(request.ErrorText, "");
    EXPECT_EQ(request.IsLocal, c.isLocal);
    EXPECT_EQ(request.Server, c.server);
    EXPECT_EQ(request.Share, c.share);
    EXPECT_EQ(request.Path, c.pathAfter);

    ASSERT_TRUE(ResolveServerPath(request, netFiles, system));
    EXPECT_EQ(request.ServerPath, c.serverPath);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, PathResolution,
    ::testing::Values(
        ResolveCase{"C:\\Data\\q1.xls", 1, "", "", "C:\\Data\\q1.xls", "C:\\Data\\q1.xls"},
        ResolveCase{"F:\\reports\\q1.xls", 0, "srv", "data", "reports\\q1.xls",
                    "D:\\Data\\reports\\q1.xls"},
        ResolveCase{"\\\\srv\\data\\reports\\q1.xls", 0, "srv", "data", "reports\\q1.xls",
                    "D:\\Data\\reports\\q1.xls"},
        ResolveCase{"\\\\srv\\data", 0, "srv", "data", "", "D:\\Data\\"},
        ResolveCase{"\\\\srv\\data\\", 0, "srv", "data", "", "D:\\Data\\"},
        ResolveCase{"F:\\", 0, "srv", "data", "", "D:\\Data\\"},
        ResolveCase{"\\\\srv\\C$\\temp", 0, "srv", "C$", "temp", "C:\\temp"},
        ResolveCase{"\\\\Srv\\data\\A\\b\\", 0, "Srv", "data", "A\\b\\", "D:\\Data\\A\\b\\"},
        // No share: the whole server, listed with an empty base path and no share lookup.
        ResolveCase{"\\\\srv", 0, "srv", "", "", ""}));

TEST_F(PathResolution, UncNamesNeverAskForTheUniversalName) {
    TPellquinRequest request;
    request.Path = "\\\\srv\\data\\x";
    ResolvePath(request, names, system);
    EXPECT_TRUE(names.calls.empty());
}

TEST_F(PathResolution, LocalPathNeverAsksTheServerForAShare) {
    TPellquinRequest request;
    request.Path = "C:\\Data";
    ResolvePath(request, names, system);
    ASSERT_TRUE(ResolveServerPath(request, netFiles, system));
    EXPECT_TRUE(netFiles.shareCalls.empty());
}

TEST_F(PathResolution, ShareLookupGetsTheBareServerName) {
    TPellquinRequest request;
    request.Path = "\\\\srv\\data\\x";
    ResolvePath(request, names, system);
    ASSERT_TRUE(ResolveServerPath(request, netFiles, system));
    ASSERT_EQ(netFiles.shareCalls.size(), 1u);
    EXPECT_EQ(netFiles.shareCalls[0].server, "srv");
    EXPECT_EQ(netFiles.shareCalls[0].share, "data");
}

TEST_F(PathResolution, FailedUniversalNameKeepsPathAndReportsTheCode) {
    names.failure = 53;
    TPellquinRequest request;
    request.Path = "G:\\x";
    request.Server = "stale";
    request.Share = "stale";
    ResolvePath(request, names, system);
    EXPECT_EQ(request.ErrorCode, 53);
    EXPECT_EQ(request.ErrorText, "The network path was not found");
    EXPECT_EQ(request.Path, "G:\\x");
    EXPECT_EQ(request.Server, "");
    EXPECT_EQ(request.Share, "");
    EXPECT_EQ(request.IsLocal, 0);
}

TEST_F(PathResolution, OverlongPathIsRefusedNotCut) {
    TPellquinRequest request;
    request.Path = "\\\\srv\\data\\" + std::string(1100, 'a');
    ResolvePath(request, names, system);
    EXPECT_EQ(request.ErrorCode, 206);
    EXPECT_EQ(request.ErrorText, "The filename or extension is too long");
}

TEST_F(PathResolution, UnknownShareReportsTheServersCode) {
    TPellquinRequest request;
    request.Path = "\\\\srv\\nosuch";
    ResolvePath(request, names, system);
    request.ServerPath = "unchanged";
    EXPECT_FALSE(ResolveServerPath(request, netFiles, system));
    EXPECT_EQ(request.ErrorCode, 2310);
    EXPECT_EQ(request.ErrorText, "This shared resource does not exist");
    EXPECT_EQ(request.ServerPath, "unchanged");
}

}  // namespace
}  // namespace pellquin
