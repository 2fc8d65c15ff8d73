#include "platform/mount_table.h"

#include <gtest/gtest.h>

namespace pellquin {
namespace {

// Lines as the kernel writes /proc/self/mountinfo.
const char* const kMountInfo =
    "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "30 22 0:40 / /mnt/data rw,relatime shared:5 - cifs //srv/data rw,vers=3.1.1\n"
    "31 30 0:41 / /mnt/data/deep rw,relatime - cifs //other/archive/2023/q rw\n"
    "32 22 0:42 / /mnt/my\\040share rw - smb3 //srv/My\\040Share rw\n"
    "33 22 0:43 / /run/user/1000/gvfs rw,nosuid - fuse.gvfsd-fuse gvfsd-fuse rw\n"
    "34 22 0:44 / /home rw,relatime - nfs nas:/home rw\n"
    "35 22 0:45 / /mnt/pre rw - cifs //srv/data/sub/dir/ rw\n"
    "37 22 0:47 /sub /mnt/bind rw - cifs //srv/data rw\n"
    "38 22 0:48 /sub/dir /mnt/pre2 rw - cifs //srv/data/sub/dir rw\n"
    "this line is garbage\n"
    "36 22 0:46 / /mnt/short rw -\n";

TEST(ParseMountInfo, DecodesFieldsAndSkipsMalformedLines) {
    const auto mounts = ParseMountInfo(kMountInfo);
    ASSERT_EQ(mounts.size(), 9u);
    EXPECT_EQ(mounts[1].mountPoint, "/mnt/data");
    EXPECT_EQ(mounts[1].fsType, "cifs");
    EXPECT_EQ(mounts[1].source, "//srv/data");
    EXPECT_EQ(mounts[7].root, "/sub");
    EXPECT_EQ(mounts[3].mountPoint, "/mnt/my share");
    EXPECT_EQ(mounts[3].source, "//srv/My Share");
    EXPECT_EQ(mounts[4].fsType, "fuse.gvfsd-fuse");
    // Optional fields before the "-" separator do not shift the ones after it.
    EXPECT_EQ(mounts[0].fsType, "ext4");
    EXPECT_EQ(mounts[0].source, "/dev/sda1");
}

TEST(UncNameForMountedPath, MapsNetworkMountsAndLeavesTheRestLocal) {
    const auto mounts = ParseMountInfo(kMountInfo);
    struct Case {
        const char* path;
        const char* unc;  // nullptr: local
    };
    const Case cases[] = {
        {"/mnt/data", "\\\\srv\\data"},
        {"/mnt/data/reports/q1.xls", "\\\\srv\\data\\reports\\q1.xls"},
        // The deepest mount containing the path wins, and a prefix path follows the share.
        {"/mnt/data/deep/x.txt", "\\\\other\\archive\\2023\\q\\x.txt"},
        {"/mnt/data/deeper/x", "\\\\srv\\data\\deeper\\x"},
        {"/mnt/pre/f", "\\\\srv\\data\\sub\\dir\\f"},
        {"/mnt/pre", "\\\\srv\\data\\sub\\dir"},
        // A bind mount of a folder of the share; a root that repeats the prefix path.
        {"/mnt/bind/f", "\\\\srv\\data\\sub\\f"},
        {"/mnt/pre2/f", "\\\\srv\\data\\sub\\dir\\f"},
        {"/mnt/my share/a b.txt", "\\\\srv\\My Share\\a b.txt"},
        {"/run/user/1000/gvfs/smb-share:server=fs1,share=pub/dir/f.txt",
         "\\\\fs1\\pub\\dir\\f.txt"},
        {"/run/user/1000/gvfs/smb-share:domain=X,server=fs1,share=pub", "\\\\fs1\\pub"},
        // The mount name's values are percent-encoded; the folders below it are real names.
        {"/run/user/1000/gvfs/smb-share:server=srv,share=team%20docs/a%25b.txt",
         "\\\\srv\\team docs\\a%25b.txt"},
        {"/run/user/1000/gvfs/smb-share:server=fs%2C1,share=caf%C3%A9%2Cx%3Dy",
         "\\\\fs,1\\café,x=y"},
        {"/run/user/1000/gvfs/smb-share:server=srv,share=100%25,user=bob", "\\\\srv\\100%"},
        {"/run/user/1000/gvfs/smb-share:server=srv,share=%C3%86rger%20%C3%B8", "\\\\srv\\Ærger ø"},
        {"/run/user/1000/gvfs/sftp:host=h/f", nullptr},
        {"/home/alice/f.txt", nullptr},
        {"/mnt/database/f", nullptr},
        {"/etc/passwd", nullptr},
    };
    for (const auto& c : cases) {
        const auto unc = UncNameForMountedPath(c.path, mounts);
        if (c.unc == nullptr) {
            EXPECT_FALSE(unc.has_value()) << c.path << " gave " << unc.value_or("");
        } else {
            EXPECT_EQ(unc.value_or("(local)"), c.unc) << c.path;
        }
    }
}

TEST(UncNameFromSlashes, AcceptsBothSeparatorForms) {
    EXPECT_EQ(UncNameFromSlashes("//srv/data/sub dir/f"), "\\\\srv\\data\\sub dir\\f");
    EXPECT_EQ(UncNameFromSlashes("\\\\srv\\data"), "\\\\srv\\data");
    EXPECT_EQ(UncNameFromSlashes("//srv"), "\\\\srv");
    EXPECT_FALSE(UncNameFromSlashes("/srv/data").has_value());
    EXPECT_FALSE(UncNameFromSlashes("//").has_value());
    EXPECT_FALSE(UncNameFromSlashes("C:\\x").has_value());
}

}  // namespace
}  // namespace pellquin
