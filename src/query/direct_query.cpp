#include "query/direct_query.h"

#include <optional>
#include <vector>

#include "query/base_path_rule.h"
#include "query/item_mapping.h"
#include "query/path_resolution.h"
#include "query/system_error_text.h"

namespace pellquin {
namespace {

void RecordFailure(TPellquinRequest& request, SystemInfo& system, uint32_t code) {
    request.ErrorCode = static_cast<int32_t>(code);
    request.ErrorText = FailureText(system, code);
}

}  // namespace

bool QueryDirect(TPellquinRequest& request, NetFileApi& netFiles, SystemInfo& system) {
    return ResolveServerPath(request, netFiles, system) && EnumOpenFiles(request, netFiles, system);
}

bool EnumOpenFiles(TPellquinRequest& request, NetFileApi& netFiles, SystemInfo& system) {
    if (request.Server.size() > MAX_DIRECT_NAME || request.ServerPath.size() > MAX_DIRECT_NAME) {
        RecordFailure(request, system, kErrorFilenameTooLong);
        return false;
    }
    const std::optional<std::string> server =
        request.IsLocal == 1 ? std::nullopt : std::optional<std::string>(request.Server);
    // Some servers (Samba's) answer every open file whatever the base path they are given.
    const std::string base = netFiles.ReportedBasePath(server, request.ServerPath);
    const bool exactCase = netFiles.ReportsExactNames(server);
    uint32_t resume = 0;
    std::vector<OpenFileEntry> entries;
    for (;;) {
        entries.clear();
        const uint32_t result = netFiles.FileEnum(server, request.ServerPath, &resume, &entries);
        if (result != NET_OK && result != NET_MORE_DATA) {
            RecordFailure(request, system, result);
            return false;
        }
        for (auto& entry : entries) {
            if (PathIsAtOrBelow(entry.pathName, base, exactCase)) {
                request.Items.push_back(ItemFromEntry(std::move(entry)));
            }
        }
        if (result == NET_OK) {
            request.RowsBasePath = base == request.ServerPath ? std::string() : base;
            return true;
        }
    }
}

uint32_t CloseDirect(TPellquinRequest& request, NetFileApi& netFiles, SystemInfo& system) {
    const std::optional<std::string> server =
        request.IsLocal == 1 ? std::nullopt : std::optional<std::string>("\\\\" + request.Server);
    const uint32_t result = netFiles.FileClose(server, request.FileId);
    if (result != 0) {
        request.ErrorText = FailureText(system, result);
    }
    return result;
}

}  // namespace pellquin
