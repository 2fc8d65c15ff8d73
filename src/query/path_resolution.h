#pragma once

#include "platform/error_codes.h"
#include "platform/net_file_api.h"
#include "platform/system_info.h"
#include "platform/universal_names.h"
#include "query/pellquin_request.h"

namespace pellquin {

// Longest path the engine resolves, in bytes.
constexpr size_t MAX_RESOLVE_PATH = 1023;

// Turns request.Path into Server, Share and the path below the share, or marks it local.
// Sets IsLocal, Server, Share, Path, ErrorCode and ErrorText on every outcome; success is
// ErrorCode 0. A path longer than MAX_RESOLVE_PATH is refused with kErrorFilenameTooLong
// rather than cut. "\\server" alone (no share) resolves to the whole server: empty Share and
// Path, which lists every open file there.
void ResolvePath(TPellquinRequest& request, UniversalNames& names, SystemInfo& system);

// Forms ServerPath, the base path in the server's own terms, asking the server for the
// share's folder. Returns false with ErrorCode and ErrorText set on failure.
bool ResolveServerPath(TPellquinRequest& request, NetFileApi& netFiles, SystemInfo& system);

}  // namespace pellquin
