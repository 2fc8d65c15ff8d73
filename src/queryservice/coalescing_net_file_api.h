#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/net_file_api.h"
#include "queryservice/coalescer.h"

namespace pellquin {

// Makes one NetFileApi fit for many request threads at once. Calls into the inner API run
// one at a time (a network client context serves one call at a time). Enumerations are
// shared through a Coalescer per server: the inner API is asked for every open file of
// the server (an empty base path), and each caller gets the entries at or below its own
// base path. Share look-ups are shared the same way per server and share, since every
// query begins with one. Closes are never shared.
class CoalescingNetFileApi : public NetFileApi {
public:
    explicit CoalescingNetFileApi(std::unique_ptr<NetFileApi> inner);

    uint32_t ShareGetInfo(const std::string& server, const std::string& share,
                          std::string* folder) override;
    // Answers in one round (0, *resumeHandle left 0) or fails with the enumeration's status.
    uint32_t FileEnum(const std::optional<std::string>& server, const std::string& basePath,
                      uint32_t* resumeHandle, std::vector<OpenFileEntry>* entries) override;
    uint32_t FileClose(const std::optional<std::string>& server, uint32_t id) override;
    // The inner API's; it makes no network call, and the inner API must allow it while another
    // thread's call runs (requests ask for it while the next enumeration is under way).
    // NameOnServer and ReportsExactNames keep NetFileApi's answers (the path as typed,
    // matched without regard to case): asking the server would queue each request behind
    // the enumeration in flight, and the requests would no longer share the next one.
    std::string ReportedBasePath(const std::optional<std::string>& server,
                                 const std::string& basePath) override;

private:
    struct ShareInfo {
        uint32_t status = 0;
        std::string folder;
    };

    std::shared_ptr<EnumerationCoalescer> CoalescerFor(const std::optional<std::string>& server);
    std::shared_ptr<Coalescer<ShareInfo>> ShareCoalescerFor(const std::string& server,
                                                            const std::string& share);
    ServerEnumeration EnumerateAll(const std::optional<std::string>& server);

    std::unique_ptr<NetFileApi> m_inner;
    std::mutex m_callMutex;
    std::mutex m_coalescersMutex;
    std::map<std::optional<std::string>, std::shared_ptr<EnumerationCoalescer>> m_coalescers;
    // Share names come from clients: the map is emptied before it grows past a bound (those
    // waiting keep their coalescer).
    std::map<std::pair<std::string, std::string>, std::shared_ptr<Coalescer<ShareInfo>>>
        m_shareCoalescers;
};

}  // namespace pellquin
