#include "platform/samba_path_forms.h"

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

TEST(UnixPathOfServerPath, SambaShareFoldersBecomeUnixPaths) {
    EXPECT_EQ(UnixPathOfServerPath("C:\\srv\\admin\\System32\\PellquinService"),
              "/srv/admin/System32/PellquinService");
    EXPECT_EQ(UnixPathOfServerPath("/var/lib/pellquin/PellquinService"),
              "/var/lib/pellquin/PellquinService");
    EXPECT_EQ(UnixPathOfServerPath("C:"), "C:");
}

// A base path sent to the server and a share folder read back name the same file.
TEST(SambaPathForms, TheTwoDirectionsAgree) {
    const struct {
        const char* linuxPath;
        const char* serverForm;
    } cases[] = {
        {"/", "C:\\"},
        {"/srv/data/", "C:\\srv\\data\\"},
        {"/srv/a b/50%/\xC3\xBC.txt", "C:\\srv\\a b\\50%\\\xC3\xBC.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.linuxPath);
        EXPECT_EQ(SambaServerForm(c.linuxPath), c.serverForm);
        EXPECT_EQ(UnixPathOfServerPath(c.serverForm), c.linuxPath);
    }
}

}  // namespace
}  // namespace pellquin
