#pragma once

#include <cstdint>
#include <string>

#include "platform/system_info.h"

namespace pellquin {

// The system's message for `code` without trailing control characters, blanks and full
// stops; empty when the system has none.
std::string SystemErrorText(SystemInfo& system, uint32_t code);

// The text the engine records for a failure `code`: SystemErrorText, or "Error N" where the
// system has none. Callers judge a request by its ErrorText alone, so an empty one would turn
// the failure into a success (a close reported as done).
std::string FailureText(SystemInfo& system, uint32_t code);

}  // namespace pellquin
