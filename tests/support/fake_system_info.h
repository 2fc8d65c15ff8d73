#pragma once

#include <map>
#include <string>

#include "platform/system_info.h"

namespace pellquin::test {

// Win32-style messages (with their ".\r\n" endings) for the codes tests use.
class FakeSystemInfo : public SystemInfo {
public:
    std::map<uint32_t, std::string> messages = {
        {2, "The system cannot find the file specified.\r\n"},
        {5, "Access is denied.\r\n"},
        {53, "The network path was not found.\r\n"},
        {67, "The network name cannot be found.\r\n"},
        {206, "The filename or extension is too long.\r\n"},
        {1003, "Cannot complete this function.\r\n"},
        {2310, "This shared resource does not exist.\r\n"},
    };
    std::string user = "alice";
    std::string computer = "WS01";

    std::string ErrorMessage(uint32_t code) override {
        const auto it = messages.find(code);
        return it == messages.end() ? std::string() : it->second;
    }
    std::string UserName() override { return user; }
    std::string ComputerName() override { return computer; }
};

}  // namespace pellquin::test
