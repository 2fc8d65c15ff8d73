#include "query/path_resolution.h"

#include "query/system_error_text.h"

namespace pellquin {
namespace {

void Fail(TPellquinRequest& request, SystemInfo& system, uint32_t code) {
    request.IsLocal = 0;
    request.Server.clear();
    request.Share.clear();
    request.ErrorCode = static_cast<int32_t>(code);
    request.ErrorText = FailureText(system, code);
}

bool IsUncName(const std::string& path) {
    return path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
}

void SplitUncName(TPellquinRequest& request, const std::string& unc) {
    const std::string s = unc.substr(2);
    const auto serverEnd = s.find('\\');
    request.Server = s.substr(0, serverEnd);
    const std::string t = serverEnd == std::string::npos ? std::string() : s.substr(serverEnd + 1);
    const auto shareEnd = t.find('\\');
    if (shareEnd == std::string::npos) {
        request.Share = t;
        request.Path.clear();
    } else {
        request.Share = t.substr(0, shareEnd);
        request.Path = t.substr(shareEnd + 1);
    }
    request.PathBelowShare = request.Path;
    request.IsLocal = 0;
    request.ErrorCode = 0;
    request.ErrorText.clear();
}

}  // namespace

void ResolvePath(TPellquinRequest& request, UniversalNames& names, SystemInfo& system) {
    if (request.Path.size() > MAX_RESOLVE_PATH) {
        Fail(request, system, kErrorFilenameTooLong);
        return;
    }
    if (IsUncName(request.Path)) {
        SplitUncName(request, request.Path);
        return;
    }
    std::string unc;
    const uint32_t result = names.GetUniversalName(request.Path, &unc);
    if (result == kErrorNotConnected) {
        request.IsLocal = 1;
        request.ErrorCode = 0;
        request.Server.clear();
        request.Share.clear();
        request.ErrorText.clear();
        return;
    }
    if (result != 0) {
        Fail(request, system, result);
        return;
    }
    SplitUncName(request, unc);
}

bool ResolveServerPath(TPellquinRequest& request, NetFileApi& netFiles, SystemInfo& system) {
    if (request.IsLocal == 1) {
        request.ServerPath = request.Path;
        return true;
    }
    std::string folder;
    if (!request.Share.empty()) {
        const uint32_t result = netFiles.ShareGetInfo(request.Server, request.Share, &folder);
        if (result != 0) {
            request.ErrorCode = static_cast<int32_t>(result);
            request.ErrorText = FailureText(system, result);
            return false;
        }
    }
    if (folder.empty()) {
        request.ServerPath.clear();
        return true;
    }
    if (folder.back() != '\\') {
        folder += '\\';
    }
    // The rows carry the server's spelling of the names; so must the base path they are
    // matched against.
    request.ServerPath =
        folder + (request.Path.empty()
                      ? request.Path
                      : netFiles.NameOnServer(request.Server, request.Share, request.Path));
    return true;
}

}  // namespace pellquin
