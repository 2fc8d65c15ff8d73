#pragma once

#include <memory>
#include <string>
#include <vector>

namespace pellquin {

// What kind of volume a drive is, as Windows' drive types tell them apart.
enum class DriveType { Unknown, NoRootDir, Removable, Fixed, Remote, CdRom, RamDisk };

// One drive of this machine: a drive letter on Windows, a mount point on Linux.
struct DriveInfo {
    std::string root;       // "C:\" or "/home": the path its listing starts from
    std::string localName;  // "C:" or "/home": the name its caption starts with
    DriveType type = DriveType::Unknown;
    std::string label;       // a fixed drive's volume label; empty when it has none
    std::string remoteName;  // a network drive's "\\server\share"; empty when unknown
};

// The drives present on this machine, in the system's order (letters A to Z; mount order).
// Abstract so that the drive tree can be tested with any set of drives.
class DriveSource {
public:
    virtual ~DriveSource() = default;

    // Every drive the system reports, of every type; the caller picks the ones it shows.
    // A label or remote name that cannot be read is empty.
    virtual std::vector<DriveInfo> Drives() = 0;
};

std::unique_ptr<DriveSource> MakeDriveSource();

}  // namespace pellquin
