#include "queryservice/coalescing_net_file_api.h"

#include "query/base_path_rule.h"

namespace pellquin {
namespace {

constexpr size_t kMaxCoalescers = 256;

}  // namespace

CoalescingNetFileApi::CoalescingNetFileApi(std::unique_ptr<NetFileApi> inner)
    : m_inner(std::move(inner)) {}

uint32_t CoalescingNetFileApi::ShareGetInfo(const std::string& server, const std::string& share,
                                            std::string* folder) {
    const std::shared_ptr<const ShareInfo> info = ShareCoalescerFor(server, share)->Await();
    if (info->status == 0) {
        *folder = info->folder;
    }
    return info->status;
}

uint32_t CoalescingNetFileApi::FileEnum(const std::optional<std::string>& server,
                                        const std::string& basePath, uint32_t* resumeHandle,
                                        std::vector<OpenFileEntry>* entries) {
    const std::shared_ptr<const ServerEnumeration> all = CoalescerFor(server)->Await();
    *resumeHandle = 0;
    if (all->status != NET_OK) {
        return all->status;
    }
    // The engine applies the same rule again; filtering here keeps a small query of a busy
    // server from copying the whole server's list.
    const std::string base = m_inner->ReportedBasePath(server, basePath);
    for (const OpenFileEntry& entry : all->entries) {
        if (PathIsAtOrBelow(entry.pathName, base)) {
            entries->push_back(entry);
        }
    }
    return NET_OK;
}

std::string CoalescingNetFileApi::ReportedBasePath(const std::optional<std::string>& server,
                                                   const std::string& basePath) {
    return m_inner->ReportedBasePath(server, basePath);
}

uint32_t CoalescingNetFileApi::FileClose(const std::optional<std::string>& server, uint32_t id) {
    std::lock_guard<std::mutex> lock(m_callMutex);
    return m_inner->FileClose(server, id);
}

std::shared_ptr<EnumerationCoalescer> CoalescingNetFileApi::CoalescerFor(
    const std::optional<std::string>& server) {
    std::lock_guard<std::mutex> lock(m_coalescersMutex);
    if (m_coalescers.size() >= kMaxCoalescers && m_coalescers.count(server) == 0) {
        m_coalescers.clear();
    }
    std::shared_ptr<EnumerationCoalescer>& coalescer = m_coalescers[server];
    if (!coalescer) {
        coalescer = std::make_shared<EnumerationCoalescer>(
            [this, server] { return EnumerateAll(server); }, m_callMutex);
    }
    return coalescer;
}

std::shared_ptr<Coalescer<CoalescingNetFileApi::ShareInfo>> CoalescingNetFileApi::ShareCoalescerFor(
    const std::string& server, const std::string& share) {
    std::lock_guard<std::mutex> lock(m_coalescersMutex);
    const std::pair<std::string, std::string> key(server, share);
    if (m_shareCoalescers.size() >= kMaxCoalescers && m_shareCoalescers.count(key) == 0) {
        m_shareCoalescers.clear();
    }
    std::shared_ptr<Coalescer<ShareInfo>>& coalescer = m_shareCoalescers[key];
    if (!coalescer) {
        coalescer = std::make_shared<Coalescer<ShareInfo>>(
            [this, server, share] {
                ShareInfo info;
                info.status = m_inner->ShareGetInfo(server, share, &info.folder);
                return info;
            },
            m_callMutex);
    }
    return coalescer;
}

// Runs with m_callMutex held (by the coalescer).
ServerEnumeration CoalescingNetFileApi::EnumerateAll(const std::optional<std::string>& server) {
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
