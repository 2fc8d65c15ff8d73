#include "queryservice/coalescing_net_file_api.h"

#include <filesystem>
#include <system_error>

#include "platform/base_path_match.h"

namespace pellquin {
namespace {

// The base path as the server reports paths. A path of this machine ("/srv/data", given
// when the service answers for this machine) is compared in the form its file server
// reports paths: links resolved, then "C:\srv\data". Anything else already is that form.
std::string ServerFormOfBase(const std::optional<std::string>& server, const std::string& base) {
    if (server || base.empty() || base[0] != '/') {
        return base;
    }
    std::error_code error;
    std::string resolved = std::filesystem::canonical(base, error).generic_string();
    if (error) {
        resolved = base;
    } else if (base.back() == '/' && resolved.back() != '/') {
        resolved += '/';
    }
    return SambaServerForm(resolved);
}

// The one test of an entry against a request's base path.
bool WithinBase(const OpenFileEntry& entry, const std::string& serverFormBase) {
    return PathIsAtOrBelow(entry.pathName, serverFormBase);
}

}  // namespace

CoalescingNetFileApi::CoalescingNetFileApi(std::unique_ptr<NetFileApi> inner)
    : m_inner(std::move(inner)) {}

uint32_t CoalescingNetFileApi::ShareGetInfo(const std::string& server, const std::string& share,
                                            std::string* folder) {
    std::lock_guard<std::mutex> lock(m_callMutex);
    return m_inner->ShareGetInfo(server, share, folder);
}

uint32_t CoalescingNetFileApi::FileEnum(const std::optional<std::string>& server,
                                        const std::string& basePath, uint32_t* resumeHandle,
                                        std::vector<OpenFileEntry>* entries) {
    const std::shared_ptr<const ServerEnumeration> all = CoalescerFor(server).Await();
    *resumeHandle = 0;
    if (all->status != NET_OK) {
        return all->status;
    }
    const std::string base = ServerFormOfBase(server, basePath);
    for (const OpenFileEntry& entry : all->entries) {
        if (WithinBase(entry, base)) {
            entries->push_back(entry);
        }
    }
    return NET_OK;
}

uint32_t CoalescingNetFileApi::FileClose(const std::optional<std::string>& server, uint32_t id) {
    std::lock_guard<std::mutex> lock(m_callMutex);
    return m_inner->FileClose(server, id);
}

EnumerationCoalescer& CoalescingNetFileApi::CoalescerFor(const std::optional<std::string>& server) {
    std::lock_guard<std::mutex> lock(m_coalescersMutex);
    std::unique_ptr<EnumerationCoalescer>& coalescer = m_coalescers[server];
    if (!coalescer) {
        coalescer =
            std::make_unique<EnumerationCoalescer>([this, server] { return EnumerateAll(server); });
    }
    return *coalescer;
}

ServerEnumeration CoalescingNetFileApi::EnumerateAll(const std::optional<std::string>& server) {
    std::lock_guard<std::mutex> lock(m_callMutex);
    ServerEnumeration all;
    uint32_t resume = 0;
    for (;;) {
        const uint32_t status = m_inner->FileEnum(server, std::string(), &resume, &all.entries);
        if (status == NET_OK) {
            return all;
        }
        if (status != NET_MORE_DATA) {
            all.status = status;
            all.entries.clear();
            return all;
        }
    }
}

}  // namespace pellquin
