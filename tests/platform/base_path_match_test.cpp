#include "platform/base_path_match.h"

#include <gtest/gtest.h>

namespace pellquin {
namespace {

TEST(SambaServerForm, WritesLinuxPathsAsSambaReportsThem) {
    EXPECT_EQ(SambaServerForm("/srv/data/x y.txt"), "C:\\srv\\data\\x y.txt");
    EXPECT_EQ(SambaServerForm("/srv/data/"), "C:\\srv\\data\\");
    EXPECT_EQ(SambaServerForm("/"), "C:\\");
    EXPECT_EQ(SambaServerForm(""), "");
    EXPECT_EQ(SambaServerForm("C:\\already"), "C:\\already");
    EXPECT_EQ(SambaServerForm("relative/x"), "relative/x");
}

}  // namespace
}  // namespace pellquin
