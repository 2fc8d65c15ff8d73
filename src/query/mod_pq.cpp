#include "query/mod_pq.h"

#include "platform/error_codes.h"
#include "query/direct_query.h"
#include "query/path_resolution.h"

namespace pellquin {

// The misspelling "infomation" and "have" are the texts users and their documentation know.
const char* const kMessageAccessDeniedNoService =
    "Access Denied\r\n\r\nYou do not have sufficient permissions to directly query the server "
    "for open file infomation.\r\n\r\nThis server does not appear to have the Pellquin service "
    "installed.\r\n\r\nInstalling the Pellquin service on this server will allow regular users "
    "to check files";
const char* const kMessageNoService =
    "This server does not appear to have the Pellquin service installed.\r\n\r\nInstalling the "
    "Pellquin service on this server will allow regular users to check files.\r\n\r\nIf you "
    "have sufficient permissions to query the server directly, please turn on the direct "
    "setting on the options tab";
const char* const kMessageAccessDeniedTryService =
    "Access Denied\r\n\r\nYou do not have sufficient permissions to directly query the server "
    "for open file infomation.\r\n\r\nIf this server have the Pellquin service installed, then "
    "please turn on the Try Service selection on the options tab.\r\nInstalling the Pellquin "
    "service on this server will allow regular users to check files";

TmodPQ::TmodPQ(std::unique_ptr<NetFileApi> netFiles, std::unique_ptr<UniversalNames> names,
               std::unique_ptr<SystemInfo> system, std::unique_ptr<ServiceExchange> service)
    : m_netFiles(std::move(netFiles)),
      m_names(std::move(names)),
      m_system(std::move(system)),
      m_service(std::move(service)) {}

void TmodPQ::QueryOpenFiles(TPellquinRequest& request, int tryDirect, int tryService) {
    ResolvePath(request, *m_names, *m_system);
    if (request.ErrorCode != 0) {
        return;
    }
    bool accessDenied = false;
    bool socketFailure = false;
    if (tryDirect == 1) {
        if (QueryDirect(request, *m_netFiles, *m_system)) {
            return;
        }
        accessDenied = request.ErrorCode == static_cast<int32_t>(kErrorAccessDenied);
    }
    if (tryService == 1) {
        socketFailure = m_service->QueryThroughService(request);
    }
    if (request.ErrorCode == 0) {
        return;
    }
    if (socketFailure && tryDirect == 1 && tryService == 1 && accessDenied) {
        request.ErrorText = kMessageAccessDeniedNoService;
    } else if (socketFailure && tryDirect == 0 && tryService == 1) {
        request.ErrorText = kMessageNoService;
    } else if (tryDirect == 1 && tryService == 0 && accessDenied) {
        request.ErrorText = kMessageAccessDeniedTryService;
    }
}

void TmodPQ::CloseOpenFile(TPellquinRequest& request, int tryDirect, int tryService) {
    ResolvePath(request, *m_names, *m_system);
    if (request.ErrorCode != 0) {
        return;
    }
    if (tryDirect == 1 && CloseDirect(request, *m_netFiles, *m_system) == 0) {
        return;
    }
    if (tryService == 1) {
        m_service->CloseThroughService(request);
    }
}

}  // namespace pellquin
