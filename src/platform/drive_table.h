#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/drive_source.h"
#include "platform/mount_table.h"

namespace pellquin {

// What the Linux drive source reads about the devices behind the mounts.
struct BlockDeviceFacts {
    std::set<std::string> removable;            // "major:minor" of removable or optical devices
    std::map<std::string, std::string> labels;  // "major:minor" to file-system label
    std::vector<std::string> gvfsShares;        // paths of GVfs "smb-share:..." folders
};

// The machine's mounts as drives, in mount order: "/" (always Fixed, also an overlay), local
// block devices (Fixed; Removable or CdRom for removable devices and optical file systems),
// cifs/smb3 mounts and GVfs SMB shares (Remote, with "\\server\share"), tmpfs (RamDisk);
// everything else, bind mounts of a folder included, is Unknown.
std::vector<DriveInfo> DrivesFromMounts(const std::vector<MountEntry>& mounts,
                                        const BlockDeviceFacts& facts);

// A /dev/disk/by-label name with udev's "\xNN" escapes decoded ("My\x20Disk": "My Disk").
std::string DecodeUdevName(const std::string& name);

}  // namespace pellquin
