#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace pellquin {

// System texts and names the engine reports or sends. Abstract so that tests are
// independent of the machine they run on.
class SystemInfo {
public:
    virtual ~SystemInfo() = default;

    // The system's message for a Win32 error code, untrimmed (it may end in ".\r\n");
    // empty when the system has none.
    virtual std::string ErrorMessage(uint32_t code) = 0;

    // Name of the user running this program; empty when it cannot be read.
    virtual std::string UserName() = 0;

    // This machine's name; empty when it cannot be read.
    virtual std::string ComputerName() = 0;
};

// This system's texts and names.
std::unique_ptr<SystemInfo> MakeSystemInfo();

}  // namespace pellquin
