#include <windows.h>
#include <winnetwk.h>

#include "platform/universal_names.h"

namespace pellquin {
namespace {

// Mapped drives through the Windows networking API.
class UniversalNamesWin32 : public UniversalNames {
public:
    uint32_t GetUniversalName(const std::string& localPath, std::string* unc) override {
        // UNIVERSAL_NAME_INFOA at the start, its string after it in the same buffer.
        alignas(UNIVERSAL_NAME_INFOA) char buffer[1024];
        DWORD size = sizeof buffer;
        const DWORD result =
            WNetGetUniversalNameA(localPath.c_str(), UNIVERSAL_NAME_INFO_LEVEL, buffer, &size);
        if (result == ERROR_NOT_CONNECTED) {
            return kErrorNotConnected;
        }
        if (result != NO_ERROR) {
            return GetLastError();
        }
        const auto* info = reinterpret_cast<const UNIVERSAL_NAME_INFOA*>(buffer);
        *unc = info->lpUniversalName ? info->lpUniversalName : "";
        return 0;
    }
};

}  // namespace

std::unique_ptr<UniversalNames> MakeUniversalNames() {
    return std::make_unique<UniversalNamesWin32>();
}

}  // namespace pellquin
