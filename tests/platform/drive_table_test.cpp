// The machine's mounts as drives: which are fixed, network, removable or not drives at all.
#include "platform/drive_table.h"

#include <gtest/gtest.h>

namespace pellquin {
namespace {

const char* const kMountInfo =
    "21 26 0:20 / /proc rw - proc proc rw\n"
    "26 1 0:45 / / rw - overlay overlay rw,lowerdir=/a\n"
    "27 26 8:1 / /boot rw - ext4 /dev/sda1 rw\n"
    "28 26 8:2 / /home rw - xfs /dev/sda2 rw\n"
    "29 26 8:17 / /media/stick rw - vfat /dev/sdb1 rw\n"
    "30 26 11:0 / /media/cdrom ro - iso9660 /dev/sr0 ro\n"
    "31 26 0:50 / /mnt/data rw - cifs //srv/data rw\n"
    "32 26 0:51 / /run/user/1000/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw\n"
    "33 26 0:22 / /tmp rw - tmpfs tmpfs rw\n"
    "34 26 8:1 /containers/x/hosts /etc/hosts rw - ext4 /dev/sda1 rw\n"
    "35 26 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
    "36 26 0:52 / /mnt/scans rw - smb3 //nas/scans/2024 rw\n"
    "37 26 0:40 /@data /data rw - btrfs /dev/sdc1 rw\n";

TEST(DrivesFromMounts, ClassifiesEachMountAsWindowsWouldItsDrives) {
    BlockDeviceFacts facts;
    facts.removable = {"8:17", "11:0"};
    facts.labels = {{"8:2", "HOME"}, {"0:45", "ignored"}};
    facts.gvfsShares = {"/run/user/1000/gvfs/smb-share:server=fs1,share=public"};
    const std::vector<DriveInfo> drives = DrivesFromMounts(ParseMountInfo(kMountInfo), facts);

    std::vector<std::string> fixed;
    std::vector<std::string> remote;
    std::vector<std::string> other;
    for (const DriveInfo& drive : drives) {
        EXPECT_EQ(drive.root, drive.localName);
        if (drive.type == DriveType::Fixed) {
            fixed.push_back(drive.root + " (" + drive.label + ")");
        } else if (drive.type == DriveType::Remote) {
            remote.push_back(drive.root + " (" + drive.remoteName + ")");
        } else {
            other.push_back(drive.root + " " + std::to_string(static_cast<int>(drive.type)));
        }
    }
    // "/" is fixed even as an overlay; its label comes from its device only.
    EXPECT_EQ(fixed,
              (std::vector<std::string>{"/ (ignored)", "/boot ()", "/home (HOME)", "/data ()"}));
    EXPECT_EQ(remote, (std::vector<std::string>{
                          "/mnt/data (\\\\srv\\data)", "/mnt/scans (\\\\nas\\scans\\2024)",
                          "/run/user/1000/gvfs/smb-share:server=fs1,share=public "
                          "(\\\\fs1\\public)"}));
    const auto typeOf = [&drives](const std::string& root) {
        for (const DriveInfo& drive : drives) {
            if (drive.root == root) {
                return drive.type;
            }
        }
        return DriveType::NoRootDir;
    };
    EXPECT_EQ(typeOf("/media/stick"), DriveType::Removable);
    EXPECT_EQ(typeOf("/media/cdrom"), DriveType::CdRom);
    EXPECT_EQ(typeOf("/tmp"), DriveType::RamDisk);
    EXPECT_EQ(typeOf("/proc"), DriveType::Unknown);
    EXPECT_EQ(typeOf("/etc/hosts"), DriveType::Unknown);
    EXPECT_EQ(typeOf("/snap/core/1"), DriveType::Unknown);
    EXPECT_EQ(typeOf("/run/user/1000/gvfs"), DriveType::Unknown);
}

TEST(DrivesFromMounts, ALaterMountOverTheSamePointReplacesTheEarlier) {
    const std::vector<DriveInfo> drives =
        DrivesFromMounts(ParseMountInfo("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                        "2 1 8:2 / /srv rw - ext4 /dev/sda2 rw\n"
                                        "3 1 0:9 / /srv rw - cifs //nas/srv rw\n"),
                         BlockDeviceFacts{});
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[1].root, "/srv");
    EXPECT_EQ(drives[1].type, DriveType::Remote);
}

TEST(DecodeUdevName, HexEscapesBecomeTheirBytes) {
    EXPECT_EQ(DecodeUdevName("My\\x20Disk"), "My Disk");
    EXPECT_EQ(DecodeUdevName("a\\x2fb\\x"), "a/b\\x");
    EXPECT_EQ(DecodeUdevName("plain"), "plain");
}

}  // namespace
}  // namespace pellquin
