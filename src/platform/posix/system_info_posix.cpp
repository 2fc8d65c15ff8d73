#include <pwd.h>
#include <unistd.h>

#include <map>

#include "platform/system_info.h"

namespace pellquin {
namespace {

// The Windows texts of the codes that reach users, so that messages read the same on every
// platform (the servers we talk to report Win32 codes).
const std::map<uint32_t, const char*>& Win32Messages() {
    static const std::map<uint32_t, const char*> messages = {
        {2, "The system cannot find the file specified.\r\n"},
        {3, "The system cannot find the path specified.\r\n"},
        {5, "Access is denied.\r\n"},
        {6, "The handle is invalid.\r\n"},
        {8, "Not enough memory resources are available to process this command.\r\n"},
        {32, "The process cannot access the file because it is being used by another process.\r\n"},
        {53, "The network path was not found.\r\n"},
        {58, "The specified server cannot perform the requested operation.\r\n"},
        {64, "The specified network name is no longer available.\r\n"},
        {67, "The network name cannot be found.\r\n"},
        {86, "The specified network password is not correct.\r\n"},
        {87, "The parameter is incorrect.\r\n"},
        {112, "There is not enough space on the disk.\r\n"},
        {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
        {206, "The filename or extension is too long.\r\n"},
        {234, "More data is available.\r\n"},
        {1003, "Cannot complete this function.\r\n"},
        {1056, "An instance of the service is already running.\r\n"},
        {1058,
         "The service cannot be started, either because it is disabled or because it has no "
         "enabled devices associated with it.\r\n"},
        {1060, "The specified service does not exist as an installed service.\r\n"},
        {1061, "The service cannot accept control messages at this time.\r\n"},
        {1062, "The service has not been started.\r\n"},
        {1219,
         "Multiple connections to a server or shared resource by the same user, using more "
         "than one user name, are not allowed. Disconnect all previous connections to the "
         "server or shared resource and try again.\r\n"},
        {1326, "The user name or password is incorrect.\r\n"},
        {1722, "The RPC server is unavailable.\r\n"},
        {2152, "The printer destination cannot be found.\r\n"},
        {2221, "The user name could not be found.\r\n"},
        {2250, "This network connection does not exist.\r\n"},
        {2310, "This shared resource does not exist.\r\n"},
        {2311, "The device is not shared.\r\n"},
    };
    return messages;
}

class SystemInfoPosix : public SystemInfo {
public:
    std::string ErrorMessage(uint32_t code) override {
        const auto& messages = Win32Messages();
        const auto it = messages.find(code);
        return it == messages.end() ? std::string() : std::string(it->second);
    }

    std::string UserName() override {
        const passwd* entry = getpwuid(geteuid());
        return entry ? std::string(entry->pw_name) : std::string();
    }

    std::string ComputerName() override {
        char name[256] = {};
        if (gethostname(name, sizeof name - 1) != 0) {
            return std::string();
        }
        return name;
    }
};

}  // namespace

std::unique_ptr<SystemInfo> MakeSystemInfo() {
    return std::make_unique<SystemInfoPosix>();
}

}  // namespace pellquin
