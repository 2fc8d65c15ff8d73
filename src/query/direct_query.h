#pragma once

#include <cstdint>

#include "platform/net_file_api.h"
#include "platform/system_info.h"
#include "query/pellquin_request.h"

namespace pellquin {

// Longest Server or ServerPath the direct calls carry, in bytes; longer ones are refused
// with kErrorFilenameTooLong instead of being cut.
constexpr size_t MAX_DIRECT_NAME = 254;

// ResolveServerPath, then EnumOpenFiles. Expects ResolvePath to have succeeded.
bool QueryDirect(TPellquinRequest& request, NetFileApi& netFiles, SystemInfo& system);

// Appends the open files at or below ServerPath (PathIsAtOrBelow, whatever the server sent)
// to Items, following the server's paging. On a failure the rows of earlier rounds stay and
// ErrorCode/ErrorText are set.
bool EnumOpenFiles(TPellquinRequest& request, NetFileApi& netFiles, SystemInfo& system);

// Closes FileId on the request's server (this machine for a local path). Returns the
// platform's result, 0 for success; on failure ErrorText holds its system text.
uint32_t CloseDirect(TPellquinRequest& request, NetFileApi& netFiles, SystemInfo& system);

}  // namespace pellquin
