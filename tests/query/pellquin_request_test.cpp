#include "query/pellquin_request.h"

#include <gtest/gtest.h>

namespace pellquin {
namespace {

TEST(PellquinRequest, ClearResultsDropsRowsAndEmptiesPathAndServerOnly) {
    TPellquinRequest request;
    request.ClientPath = "F:\\reports";
    request.Path = "reports";
    request.Share = "data";
    request.ServerPath = "D:\\Data\\reports";
    request.RequestKind = REQUEST_QUERY;
    request.FileId = 7;
    request.Server = "srv";
    request.Items.resize(3);
    request.ErrorText = "Access is denied";
    request.ErrorCode = 5;
    request.IsLocal = 0;

    request.ClearResults();

    EXPECT_TRUE(request.Items.empty());
    EXPECT_EQ(request.Path, "");
    EXPECT_EQ(request.Server, "");
    EXPECT_EQ(request.ClientPath, "F:\\reports");
    EXPECT_EQ(request.Share, "data");
    EXPECT_EQ(request.ServerPath, "D:\\Data\\reports");
    EXPECT_EQ(request.FileId, 7u);
    EXPECT_EQ(request.ErrorText, "Access is denied");
    EXPECT_EQ(request.ErrorCode, 5);
}

}  // namespace
}  // namespace pellquin
