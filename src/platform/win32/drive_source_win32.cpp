#include <windows.h>
#include <winnetwk.h>

#include <cstdio>

#include "platform/drive_source.h"

namespace pellquin {
namespace {

DriveType TypeOf(UINT type) {
    switch (type) {
        case DRIVE_NO_ROOT_DIR:
            return DriveType::NoRootDir;
        case DRIVE_REMOVABLE:
            return DriveType::Removable;
        case DRIVE_FIXED:
            return DriveType::Fixed;
        case DRIVE_REMOTE:
            return DriveType::Remote;
        case DRIVE_CDROM:
            return DriveType::CdRom;
        case DRIVE_RAMDISK:
            return DriveType::RamDisk;
        default:
            return DriveType::Unknown;
    }
}

// Every letter from A to Z is asked for its type; the logical-drive mask is not consulted.
class DriveSourceWin32 : public DriveSource {
public:
    std::vector<DriveInfo> Drives() override {
        std::vector<DriveInfo> drives;
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            char root[8];
            char local[8];
            std::snprintf(root, sizeof root, "%c:\\", letter);
            std::snprintf(local, sizeof local, "%c:", letter);
            DriveInfo drive;
            drive.root = root;
            drive.localName = local;
            drive.type = TypeOf(GetDriveTypeA(root));
            if (drive.type == DriveType::Remote) {
                // A failed call leaves the remote name empty.
                char remote[255] = "";
                DWORD length = 255;
                WNetGetConnectionA(local, remote, &length);
                remote[254] = '\0';
                drive.remoteName = remote;
            } else if (drive.type == DriveType::Fixed) {
                char volume[255] = "";
                char fileSystem[255] = "";
                GetVolumeInformationA(root, volume, 255, nullptr, nullptr, nullptr, fileSystem,
                                      255);
                volume[254] = '\0';
                drive.label = volume;
            }
            drives.push_back(drive);
        }
        return drives;
    }
};

}  // namespace

std::unique_ptr<DriveSource> MakeDriveSource() {
    return std::make_unique<DriveSourceWin32>();
}

}  // namespace pellquin
