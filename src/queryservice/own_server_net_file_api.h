#pragma once

#include <memory>
#include <string>

#include "platform/net_file_api.h"

namespace pellquin {

// Binds network file calls to one server, whatever server the caller names: the query
// service answers for its own machine only and must never become a relay that lists or
// closes files on other servers with its own rights.
class OwnServerNetFileApi : public NetFileApi {
public:
    // `server` as a bare name ("127.0.0.5", "fs01"); empty: this machine.
    OwnServerNetFileApi(std::unique_ptr<NetFileApi> inner, std::string server);

    uint32_t ShareGetInfo(const std::string& server, const std::string& share,
                          std::string* folder) override;
    uint32_t FileEnum(const std::optional<std::string>& server, const std::string& basePath,
                      uint32_t* resumeHandle, std::vector<OpenFileEntry>* entries) override;
    std::string ReportedBasePath(const std::optional<std::string>& server,
                                 const std::string& basePath) override;
    std::string NameOnServer(const std::string& server, const std::string& share,
                             const std::string& path) override;
    bool ReportsExactNames(const std::optional<std::string>& server) override;
    uint32_t FileClose(const std::optional<std::string>& server, uint32_t id) override;

private:
    std::unique_ptr<NetFileApi> m_inner;
    std::string m_server;
};

}  // namespace pellquin
