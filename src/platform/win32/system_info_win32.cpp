#include <windows.h>

#include "platform/system_info.h"

namespace pellquin {
namespace {

class SystemInfoWin32 : public SystemInfo {
public:
    std::string ErrorMessage(uint32_t code) override {
        char buffer[256] = {};
        const DWORD length = FormatMessageA(
            FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr, code,
            MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, sizeof buffer, nullptr);
        return std::string(buffer, length);
    }

    std::string UserName() override {
        char name[256] = {};
        DWORD size = 255;
        return GetUserNameA(name, &size) ? std::string(name) : std::string();
    }

    std::string ComputerName() override {
        char name[256] = {};
        DWORD size = 255;
        return GetComputerNameA(name, &size) ? std::string(name) : std::string();
    }
};

}  // namespace

std::unique_ptr<SystemInfo> MakeSystemInfo() {
    return std::make_unique<SystemInfoWin32>();
}

}  // namespace pellquin
