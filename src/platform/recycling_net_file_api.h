#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/net_file_api.h"

namespace pellquin {

// When a network file-management client is replaced by a fresh one. Samba's libnetapi keeps
// memory in its connection context that grows with every call (about 1.3 MB for each
// enumeration of 5,000 open files) and gives it back only when the context is freed, so a
// long-lived client (the query service, a desktop program left open) must be re-made now and
// then. The limits bound that growth to roughly what `maxEntries` entries cost; a fresh client
// pays one new connection and logon (some 30 ms on a LAN) when it is next used.
struct RecyclePolicy {
    uint64_t maxEntries = 50000;  // enumeration entries returned by one client
    uint32_t maxCalls = 200;      // calls of any kind served by one client
};

// A NetFileApi that hands every call to an inner client and replaces that client, through
// `factory`, once it has used up the policy's limits. A client is never replaced in the
// middle of a paged enumeration (a call with a non-zero resume handle), since the handle
// belongs to the old client's connection. The old client is destroyed before the new one is
// made, as libnetapi allows only one context per process. When the factory fails, the call
// fails with code 8 (not enough memory: a context that cannot be made is almost always that)
// and the next call tries again.
class RecyclingNetFileApi : public NetFileApi {
public:
    using Factory = std::function<std::unique_ptr<NetFileApi>()>;

    RecyclingNetFileApi(Factory factory, std::unique_ptr<NetFileApi> first, RecyclePolicy policy);

    // The inner client's form; it makes no call, uses up nothing and never replaces the
    // client, so it may be asked while another thread's call runs (the query service does).
    // The other calls come from one thread at a time.
    std::string ReportedBasePath(const std::optional<std::string>& server,
                                 const std::string& basePath) override;
    std::string NameOnServer(const std::string& server, const std::string& share,
                             const std::string& path) override;
    bool ReportsExactNames(const std::optional<std::string>& server) override;
    uint32_t FileEnum(const std::optional<std::string>& server, const std::string& basePath,
                      uint32_t* resumeHandle, std::vector<OpenFileEntry>* entries) override;
    uint32_t ShareGetInfo(const std::string& server, const std::string& share,
                          std::string* folder) override;
    uint32_t FileClose(const std::optional<std::string>& server, uint32_t id) override;

    // How many times the inner client has been replaced.
    uint32_t Recreations() const { return m_recreations; }

private:
    // Replaces a used-up client, or makes one after a failed replacement; false when there
    // is none to call.
    bool Ready(bool midEnumeration);

    Factory m_factory;
    std::unique_ptr<NetFileApi> m_inner;
    // Held while the client is replaced and while ReportedBasePath uses it.
    std::mutex m_innerMutex;
    RecyclePolicy m_policy;
    uint64_t m_entries = 0;
    uint32_t m_calls = 0;
    uint32_t m_recreations = 0;
};

}  // namespace pellquin
