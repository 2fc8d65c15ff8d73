#include <windows.h>
#include <winnetwk.h>

#include "platform/drive_mapper.h"

namespace pellquin {
namespace {

// Windows has its own map-network-drive dialog, which does the whole job.
class DriveMapperWin32 : public DriveMapper {
public:
    bool ShowSystemDialog(uintptr_t ownerWindow) override {
        // Its result is not looked at: the drive tree is rebuilt whatever the user chose.
        WNetConnectionDialog(reinterpret_cast<HWND>(ownerWindow), RESOURCETYPE_DISK);
        return true;
    }
    std::string Missing() override { return std::string(); }
    std::string Map(const std::string& /*share*/) override {
        return "Use the system's Map Network Drive dialog";
    }
};

}  // namespace

std::unique_ptr<DriveMapper> MakeDriveMapper(const std::string& /*credentialsFile*/) {
    return std::make_unique<DriveMapperWin32>();
}

}  // namespace pellquin
