#include "platform/recycling_net_file_api.h"

#include <utility>

namespace pellquin {
namespace {

constexpr uint32_t kNoContext = 8;  // ERROR_NOT_ENOUGH_MEMORY

}  // namespace

RecyclingNetFileApi::RecyclingNetFileApi(Factory factory, std::unique_ptr<NetFileApi> first,
                                         RecyclePolicy policy)
    : m_factory(std::move(factory)), m_inner(std::move(first)), m_policy(policy) {}

bool RecyclingNetFileApi::Ready(bool midEnumeration) {
    const bool usedUp = m_entries >= m_policy.maxEntries || m_calls >= m_policy.maxCalls;
    if (m_inner && (!usedUp || midEnumeration)) {
        return true;
    }
    std::lock_guard<std::mutex> lock(m_innerMutex);
    if (m_inner) {
        ++m_recreations;
    }
    m_inner.reset();
    m_entries = 0;
    m_calls = 0;
    m_inner = m_factory();
    return m_inner != nullptr;
}

uint32_t RecyclingNetFileApi::ShareGetInfo(const std::string& server, const std::string& share,
                                           std::string* folder) {
    if (!Ready(false)) {
        return kNoContext;
    }
    ++m_calls;
    return m_inner->ShareGetInfo(server, share, folder);
}

uint32_t RecyclingNetFileApi::FileEnum(const std::optional<std::string>& server,
                                       const std::string& basePath, uint32_t* resumeHandle,
                                       std::vector<OpenFileEntry>* entries) {
    if (!Ready(*resumeHandle != 0)) {
        return kNoContext;
    }
    ++m_calls;
    const size_t before = entries->size();
    const uint32_t status = m_inner->FileEnum(server, basePath, resumeHandle, entries);
    m_entries += entries->size() - before;
    return status;
}

uint32_t RecyclingNetFileApi::FileClose(const std::optional<std::string>& server, uint32_t id) {
    if (!Ready(false)) {
        return kNoContext;
    }
    ++m_calls;
    return m_inner->FileClose(server, id);
}

std::string RecyclingNetFileApi::ReportedBasePath(const std::optional<std::string>& server,
                                                  const std::string& basePath) {
    std::lock_guard<std::mutex> lock(m_innerMutex);
    return m_inner ? m_inner->ReportedBasePath(server, basePath) : basePath;
}

std::string RecyclingNetFileApi::NameOnServer(const std::string& server, const std::string& share,
                                              const std::string& path) {
    if (!Ready(false)) {
        return path;
    }
    return m_inner->NameOnServer(server, share, path);
}

bool RecyclingNetFileApi::ReportsExactNames(const std::optional<std::string>& server) {
    if (!Ready(false)) {
        return false;
    }
    return m_inner->ReportsExactNames(server);
}

}  // namespace pellquin
