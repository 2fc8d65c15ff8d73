#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/drive_source.h"
#include "platform/drive_table.h"

namespace pellquin {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> FolderNames(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = readdir(dir)) {
        names.emplace_back(entry->d_name);
    }
    closedir(dir);
    return names;
}

// A partition is removable when its disk is; /sys/dev/block/M:m leads to the partition,
// whose parent folder is the disk.
bool IsRemovableDevice(const std::string& device) {
    char resolved[PATH_MAX];
    if (realpath(("/sys/dev/block/" + device).c_str(), resolved) == nullptr) {
        return false;
    }
    std::string folder = resolved;
    for (int level = 0; level < 2; ++level) {
        const std::string flag = ReadFile(folder + "/removable");
        if (!flag.empty()) {
            return flag[0] == '1';
        }
        folder = folder.substr(0, folder.rfind('/'));
    }
    return false;
}

// Mounts through /proc/self/mountinfo, removable disks through /sys, labels through
// /dev/disk/by-label (udev's links to the labelled devices).
class DriveSourcePosix : public DriveSource {
public:
    std::vector<DriveInfo> Drives() override {
        const std::vector<MountEntry> mounts = ParseMountInfo(ReadFile("/proc/self/mountinfo"));
        BlockDeviceFacts facts;
        for (const MountEntry& mount : mounts) {
            if (mount.source.rfind("/dev/", 0) == 0 && IsRemovableDevice(mount.device)) {
                facts.removable.insert(mount.device);
            }
            if (mount.fsType.rfind("fuse.gvfsd-fuse", 0) == 0) {
                for (const std::string& name : FolderNames(mount.mountPoint)) {
                    if (name.rfind("smb-share:", 0) == 0) {
                        facts.gvfsShares.push_back(mount.mountPoint + "/" + name);
                    }
                }
            }
        }
        const std::string byLabel = "/dev/disk/by-label/";
        for (const std::string& name : FolderNames(byLabel)) {
            struct stat info {};
            if (name[0] != '.' && stat((byLabel + name).c_str(), &info) == 0 &&
                S_ISBLK(info.st_mode)) {
                facts.labels[std::to_string(major(info.st_rdev)) + ":" +
                             std::to_string(minor(info.st_rdev))] = DecodeUdevName(name);
            }
        }
        return DrivesFromMounts(mounts, facts);
    }
};

}  // namespace

std::unique_ptr<DriveSource> MakeDriveSource() {
    return std::make_unique<DriveSourcePosix>();
}

}  // namespace pellquin
