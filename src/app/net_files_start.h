#pragma once

#include <memory>

#include "platform/net_file_api.h"
#include "prompts/prompts.h"

namespace pellquin {

// The desktop program's network file calls. A credentials file that cannot be used (others may
// read it, it is malformed or unreadable) must not keep the window from opening: its fault is
// shown once through `prompts` and the calls go on without any file (the user's ticket, or no
// credentials, which the server then judges). Returns nullptr, after one error box, only when
// the calls cannot start even without a file.
std::unique_ptr<NetFileApi> StartNetFiles(Prompts& prompts);

}  // namespace pellquin
