#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>

#include "platform/net_file_api.h"
#include "queryservice/coalescer.h"

namespace pellquin {

// Makes one NetFileApi fit for many request threads at once. Calls into the inner API run
// one at a time (a network client context serves one call at a time). Enumerations are
// shared through a Coalescer per server: the inner API is asked for every open file of
// the server (an empty base path), and each caller gets the entries at or below its own
// base path. Share look-ups are shared the same way per server and share, since every
// query begins with one. Closes are never shared.
//
// Exact names (a Samba server) are learnt once per server. The server's spelling of a path
// must not make a request wait for the enumeration in flight, or requests would stop
// sharing the next one; nor may it run beside that enumeration through the same client
// library, whose client state (Samba's talloc stack, configuration, debug and name caches)
// is process-wide and not guarded for threads. So a path of a share of this machine is
// looked up in the share's folder on the local file system, with no network call: a path
// found there as typed, or one the server cannot have found in another spelling, is
// settled at once. Only a path that a case-insensitive share would open under another
// spelling (the share's case rule is the server's to tell), a path below a folder the
// service may not read or through a symbolic link (never followed here, so that nothing
// outside the share is looked at), and every path of another machine are asked of the
// server, one call shared by the requests that wait for it and its answer kept for a few
// seconds.
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
    std::string ReportedBasePath(const std::optional<std::string>& server,
                                 const std::string& basePath) override;
    // The inner API's answer, asked once per server (with the call mutex, after the call in
    // flight); later asks take no call. A "no" is asked again after a while: it may stand
    // for a server that did not answer.
    bool ReportsExactNames(const std::optional<std::string>& server) override;
    // As the class comment says. `server` empty, "localhost" or a loopback address is this
    // machine; the share's folder is the one its last successful ShareGetInfo gave (every
    // query looks its share up first). Servers that do not report exact names match
    // without regard to case and get the path as typed.
    std::string NameOnServer(const std::string& server, const std::string& share,
                             const std::string& path) override;

private:
    struct ShareInfo {
        uint32_t status = 0;
        std::string folder;
    };

    std::shared_ptr<EnumerationCoalescer> CoalescerFor(const std::optional<std::string>& server);
    std::shared_ptr<Coalescer<ShareInfo>> ShareCoalescerFor(const std::string& server,
                                                            const std::string& share);
    ServerEnumeration EnumerateAll(const std::optional<std::string>& server);
    std::string SpellingFromServer(const std::string& server, const std::string& share,
                                   const std::string& path);
    bool ShareFolderOf(const std::string& server, const std::string& share, std::string* folder);

    using Clock = std::chrono::steady_clock;
    struct ExactNames {
        bool exact = false;
        Clock::time_point askAgain;  // for a "no"
    };
    struct Spelling {
        std::string name;
        Clock::time_point expires;
    };
    using PathKey = std::tuple<std::string, std::string, std::string>;  // server, share, path

    std::unique_ptr<NetFileApi> m_inner;
    std::mutex m_callMutex;
    std::mutex m_coalescersMutex;
    std::map<std::optional<std::string>, std::shared_ptr<EnumerationCoalescer>> m_coalescers;
    // Share names come from clients: the map is emptied before it grows past a bound (those
    // waiting keep their coalescer).
    std::map<std::pair<std::string, std::string>, std::shared_ptr<Coalescer<ShareInfo>>>
        m_shareCoalescers;

    // Guards the maps below; never held while waiting for m_callMutex. Each is emptied
    // before it grows past a bound (the keys come from clients).
    std::mutex m_namesMutex;
    std::map<std::optional<std::string>, ExactNames> m_exactNames;
    std::map<std::pair<std::string, std::string>, std::string> m_shareFolders;
    std::map<PathKey, Spelling> m_spellings;
    std::map<PathKey, std::shared_ptr<Coalescer<std::string>>> m_spellingCoalescers;
};

}  // namespace pellquin
