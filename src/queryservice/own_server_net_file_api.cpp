#include "queryservice/own_server_net_file_api.h"

#include "platform/samba_path_forms.h"

namespace pellquin {

OwnServerNetFileApi::OwnServerNetFileApi(std::unique_ptr<NetFileApi> inner, std::string server)
    : m_inner(std::move(inner)), m_server(std::move(server)) {}

uint32_t OwnServerNetFileApi::ShareGetInfo(const std::string& /*server*/, const std::string& share,
                                           std::string* folder) {
    return m_inner->ShareGetInfo(m_server, share, folder);
}

uint32_t OwnServerNetFileApi::FileEnum(const std::optional<std::string>& server,
                                       const std::string& basePath, uint32_t* resumeHandle,
                                       std::vector<OpenFileEntry>* entries) {
    if (m_server.empty()) {
        return m_inner->FileEnum(std::nullopt, basePath, resumeHandle, entries);
    }
    // A local path names a file of this machine in its own form; a named server expects
    // the form its file server reports, which the adapter makes only for this machine.
    const std::string base = server ? basePath : SambaServerForm(basePath);
    return m_inner->FileEnum(m_server, base, resumeHandle, entries);
}

std::string OwnServerNetFileApi::ReportedBasePath(const std::optional<std::string>& server,
                                                  const std::string& basePath) {
    if (m_server.empty()) {
        return m_inner->ReportedBasePath(std::nullopt, basePath);
    }
    return m_inner->ReportedBasePath(m_server, server ? basePath : SambaServerForm(basePath));
}

uint32_t OwnServerNetFileApi::FileClose(const std::optional<std::string>& /*server*/, uint32_t id) {
    const std::optional<std::string> own =
        m_server.empty() ? std::nullopt : std::optional<std::string>("\\\\" + m_server);
    return m_inner->FileClose(own, id);
}

std::string OwnServerNetFileApi::NameOnServer(const std::string& /*server*/,
                                              const std::string& share, const std::string& path) {
    return m_inner->NameOnServer(m_server, share, path);
}

bool OwnServerNetFileApi::ReportsExactNames(const std::optional<std::string>& /*server*/) {
    return m_inner->ReportsExactNames(m_server.empty() ? std::nullopt
                                                       : std::optional<std::string>(m_server));
}

}  // namespace pellquin
