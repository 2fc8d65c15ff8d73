#include "platform/drive_table.h"
#include "platform/hex_digit.h"

#include <optional>

namespace pellquin {
namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

DriveType TypeOf(const MountEntry& mount, const BlockDeviceFacts& facts) {
    if (mount.mountPoint == "/") {
        return DriveType::Fixed;
    }
    const std::string& fs = mount.fsType;
    if (fs == "cifs" || fs == "smb3") {
        return DriveType::Remote;
    }
    if (fs == "tmpfs" || fs == "ramfs") {
        return DriveType::RamDisk;
    }
    if (fs == "iso9660" || fs == "udf") {
        return DriveType::CdRom;
    }
    if (!StartsWith(mount.source, "/dev/") || fs == "squashfs") {
        return DriveType::Unknown;
    }
    // A bind mount of a folder (or of a single file, as containers mount /etc/hosts) is no
    // volume of its own; btrfs subvolumes show their subvolume as the root and are.
    if (mount.root != "/" && fs != "btrfs") {
        return DriveType::Unknown;
    }
    if (facts.removable.count(mount.device) != 0) {
        return DriveType::Removable;
    }
    return DriveType::Fixed;
}

}  // namespace

std::vector<DriveInfo> DrivesFromMounts(const std::vector<MountEntry>& mounts,
                                        const BlockDeviceFacts& facts) {
    std::vector<DriveInfo> drives;
    for (const MountEntry& mount : mounts) {
        DriveInfo drive;
        drive.root = mount.mountPoint;
        drive.localName = mount.mountPoint;
        drive.type = TypeOf(mount, facts);
        if (drive.type == DriveType::Fixed) {
            const auto label = facts.labels.find(mount.device);
            if (label != facts.labels.end()) {
                drive.label = label->second;
            }
        } else if (drive.type == DriveType::Remote) {
            drive.remoteName = UncNameForMountedPath(mount.mountPoint, mounts).value_or("");
        }
        // A mount over an earlier mount point hides it: the later one is the drive.
        for (auto it = drives.begin(); it != drives.end(); ++it) {
            if (it->root == drive.root) {
                drives.erase(it);
                break;
            }
        }
        drives.push_back(drive);
    }
    for (const std::string& share : facts.gvfsShares) {
        DriveInfo drive;
        drive.root = share;
        drive.localName = share;
        drive.type = DriveType::Remote;
        drive.remoteName = UncNameForMountedPath(share, mounts).value_or("");
        drives.push_back(drive);
    }
    return drives;
}

std::string DecodeUdevName(const std::string& name) {
    const auto hex = HexDigitValue;
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && hex(name[i + 2]) >= 0 &&
            hex(name[i + 3]) >= 0) {
            out += static_cast<char>(hex(name[i + 2]) * 16 + hex(name[i + 3]));
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

}  // namespace pellquin
