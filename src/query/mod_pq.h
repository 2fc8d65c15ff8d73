#pragma once

#include <memory>

#include "platform/net_file_api.h"
#include "platform/system_info.h"
#include "platform/universal_names.h"
#include "query/pellquin_request.h"
#include "query/service_exchange.h"

namespace pellquin {

// Explanatory texts that replace a bare failure after a query (see QueryOpenFiles).
extern const char* const kMessageAccessDeniedNoService;   // A
extern const char* const kMessageNoService;               // B
extern const char* const kMessageAccessDeniedTryService;  // C

// The query data module: checks a path and closes open-file handles, directly or through
// the query service. Keeps no state between operations.
class TmodPQ {
public:
    TmodPQ(std::unique_ptr<NetFileApi> netFiles, std::unique_ptr<UniversalNames> names,
           std::unique_ptr<SystemInfo> system, std::unique_ptr<ServiceExchange> service);

    // Lists the open files under request.Path. On return an empty ErrorText means Items and
    // ServerPath hold the answer; otherwise ErrorText is the message to show. tryDirect and
    // tryService are 0 or 1. Only ServiceReplyError escapes.
    void QueryOpenFiles(TPellquinRequest& request, int tryDirect, int tryService);

    // Closes request.FileId on the server of request.Path. An empty ErrorText on return means
    // success (or, with both flags 0, that nothing was attempted).
    void CloseOpenFile(TPellquinRequest& request, int tryDirect, int tryService);

    SystemInfo& System() { return *m_system; }
    // The network file-management calls, shared with the service installation's share lookup.
    NetFileApi& NetFiles() { return *m_netFiles; }

private:
    std::unique_ptr<NetFileApi> m_netFiles;
    std::unique_ptr<UniversalNames> m_names;
    std::unique_ptr<SystemInfo> m_system;
    std::unique_ptr<ServiceExchange> m_service;
};

}  // namespace pellquin
