#include "queryservice/coalescing_net_file_api.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/samba_path_forms.h"
#include "query/base_path_rule.h"

namespace pellquin {
namespace {

constexpr size_t kMaxCoalescers = 256;
constexpr size_t kMaxRemembered = 1024;
// Long enough for a burst of requests for one path to share one answer, short enough that a
// folder renamed on the server is soon spelled anew.
constexpr auto kSpellingLife = std::chrono::seconds(2);
constexpr auto kAskExactAgain = std::chrono::seconds(30);

std::string AsciiLower(std::string text) {
    for (char& c : text) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return text;
}

// A dotted IPv4 address in 127.0.0.0/8.
bool IsIpv4Loopback(const std::string& text) {
    if (text.rfind("127.", 0) != 0) {
        return false;
    }
    int parts = 0;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find('.', start), text.size());
        const std::string part = text.substr(start, end - start);
        if (part.empty() || part.size() > 3 ||
            part.find_first_not_of("0123456789") != std::string::npos || std::stoi(part) > 255) {
            return false;
        }
        ++parts;
        start = end + 1;
    }
    return parts == 4;
}

// Whether `server`, as the service's network calls name its server, is this machine: its
// file server then reports share folders of this machine's file system.
bool IsThisMachine(const std::string& server) {
    const std::string name = AsciiLower(server);
    return name.empty() || name == "localhost" || name == "::1" || name == "[::1]" ||
           IsIpv4Loopback(name);
}

// Whether the file system below `folder` (a share's folder as a Samba server reports it,
// "C:\srv\data") shows that the server spells `path` (below the share, '\' separators)
// as typed: every name is there as typed (the server takes an exact name first, whatever
// the share's case rule), or a name is missing without a single other spelling that differs
// in ASCII case alone (nothing the server could open in its stead; several such spellings
// are left as typed, as a direct check leaves them). False when a name would be respelled,
// or something cannot be looked at: the server must then be asked. ".", ".." and symbolic
// links are the server's to judge (its own rules say whether a link may lead out of the
// share), and are never followed here: a client must not learn, even from how soon the
// answer comes, what a folder outside the share holds.
bool FileSystemKeepsTyped(const std::string& folder, const std::string& path) {
    namespace fs = std::filesystem;
    const std::string root = UnixPathOfServerPath(folder);
    if (root.empty() || root[0] != '/') {
        return false;
    }
    fs::path dir(root);
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find('\\', start), path.size());
        const std::string name = path.substr(start, end - start);
        start = end + 1;
        if (name.empty()) {
            continue;
        }
        if (name == "." || name == ".." || name.find('/') != std::string::npos ||
            name.find('\0') != std::string::npos) {
            return false;
        }
        std::error_code error;
        const fs::file_status status = fs::symlink_status(dir / name, error);
        if (fs::is_symlink(status)) {
            return false;
        }
        if (fs::exists(status)) {
            dir /= name;
            continue;
        }
        if (error && error != std::errc::no_such_file_or_directory) {
            return false;
        }
        const std::string wanted = AsciiLower(name);
        size_t alike = 0;
        fs::directory_iterator entry(dir, error);
        for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
            alike += AsciiLower(entry->path().filename().string()) == wanted ? 1 : 0;
        }
        return !error && alike != 1;
    }
    return true;
}

}  // namespace

CoalescingNetFileApi::CoalescingNetFileApi(std::unique_ptr<NetFileApi> inner)
    : m_inner(std::move(inner)) {}

uint32_t CoalescingNetFileApi::ShareGetInfo(const std::string& server, const std::string& share,
                                            std::string* folder) {
    const std::shared_ptr<const ShareInfo> info = ShareCoalescerFor(server, share)->Await();
    std::lock_guard<std::mutex> lock(m_namesMutex);
    const std::pair<std::string, std::string> key(server, share);
    if (info->status == 0) {
        *folder = info->folder;
        if (m_shareFolders.size() >= kMaxRemembered && m_shareFolders.count(key) == 0) {
            m_shareFolders.clear();
        }
        m_shareFolders[key] = info->folder;
    } else {
        m_shareFolders.erase(key);
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

bool CoalescingNetFileApi::ReportsExactNames(const std::optional<std::string>& server) {
    const auto known = [this, &server](bool* exact) {
        const auto found = m_exactNames.find(server);
        if (found == m_exactNames.end() ||
            (!found->second.exact && Clock::now() >= found->second.askAgain)) {
            return false;
        }
        *exact = found->second.exact;
        return true;
    };
    bool exact = false;
    {
        std::lock_guard<std::mutex> lock(m_namesMutex);
        if (known(&exact)) {
            return exact;
        }
    }
    std::lock_guard<std::mutex> call(m_callMutex);
    {
        // Another request may have learnt it while this one waited.
        std::lock_guard<std::mutex> lock(m_namesMutex);
        if (known(&exact)) {
            return exact;
        }
    }
    exact = m_inner->ReportsExactNames(server);
    std::lock_guard<std::mutex> lock(m_namesMutex);
    if (m_exactNames.size() >= kMaxCoalescers && m_exactNames.count(server) == 0) {
        m_exactNames.clear();
    }
    m_exactNames[server] = ExactNames{exact, Clock::now() + kAskExactAgain};
    return exact;
}

std::string CoalescingNetFileApi::NameOnServer(const std::string& server, const std::string& share,
                                               const std::string& path) {
    if (path.empty() ||
        !ReportsExactNames(server.empty() ? std::nullopt : std::optional<std::string>(server))) {
        return path;
    }
    std::string folder;
    if (IsThisMachine(server) && ShareFolderOf(server, share, &folder) &&
        FileSystemKeepsTyped(folder, path)) {
        return path;
    }
    return SpellingFromServer(server, share, path);
}

bool CoalescingNetFileApi::ShareFolderOf(const std::string& server, const std::string& share,
                                         std::string* folder) {
    std::lock_guard<std::mutex> lock(m_namesMutex);
    const auto found = m_shareFolders.find({server, share});
    if (found == m_shareFolders.end()) {
        return false;
    }
    *folder = found->second;
    return true;
}

std::string CoalescingNetFileApi::SpellingFromServer(const std::string& server,
                                                     const std::string& share,
                                                     const std::string& path) {
    const PathKey key(server, share, path);
    std::shared_ptr<Coalescer<std::string>> coalescer;
    {
        std::lock_guard<std::mutex> lock(m_namesMutex);
        const auto known = m_spellings.find(key);
        if (known != m_spellings.end() && Clock::now() < known->second.expires) {
            return known->second.name;
        }
        if (m_spellingCoalescers.size() >= kMaxRemembered && m_spellingCoalescers.count(key) == 0) {
            m_spellingCoalescers.clear();
        }
        std::shared_ptr<Coalescer<std::string>>& slot = m_spellingCoalescers[key];
        if (!slot) {
            slot = std::make_shared<Coalescer<std::string>>(
                [this, server, share, path] { return m_inner->NameOnServer(server, share, path); },
                m_callMutex);
        }
        coalescer = slot;
    }
    const std::shared_ptr<const std::string> spelled = coalescer->Await();
    std::lock_guard<std::mutex> lock(m_namesMutex);
    if (m_spellings.size() >= kMaxRemembered && m_spellings.count(key) == 0) {
        m_spellings.clear();
    }
    m_spellings[key] = Spelling{*spelled, Clock::now() + kSpellingLife};
    return *spelled;
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
