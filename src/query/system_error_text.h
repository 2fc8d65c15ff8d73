#pragma once

#include <cstdint>
#include <string>

#include "platform/system_info.h"

namespace pellquin {

// The system's message for `code` without trailing control characters, blanks and full
// stops; empty when the system has none.
std::string SystemErrorText(SystemInfo& system, uint32_t code);

}  // namespace pellquin
