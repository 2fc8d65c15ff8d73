// clang-format off
#include <cstdint>  // netapi.h uses the fixed-width types without including this
#include <netapi.h>
// clang-format on

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "platform/credentials_choice.h"
#include "platform/credentials_file.h"
#include "platform/net_file_api.h"
#include "platform/posix/smb_context.h"
#include "platform/recycling_net_file_api.h"
#include "platform/samba_path_forms.h"

namespace pellquin {
namespace {

constexpr uint32_t PREFERRED_MAX_LENGTH = 2000000;

// libnetapi keeps one context per process (a second init returns the same one) and caches
// its connections per server with the credentials they were made with. Two adapters would
// therefore share, and free, each other's context; only one may live at a time.
std::atomic<bool> g_adapterAlive{false};

std::string WithoutLeadingBackslashes(const std::string& server) {
    const auto start = server.find_first_not_of('\\');
    return start == std::string::npos ? std::string() : server.substr(start);
}

// Holds the stripped name so that the pointer handed to libnetapi stays valid; NULL means
// this machine, and so does an empty name (a service answering for its own machine).
class ServerName {
public:
    explicit ServerName(const std::optional<std::string>& server)
        : m_name(server ? std::optional<std::string>(WithoutLeadingBackslashes(*server))
                        : std::nullopt) {}
    const char* get() const { return m_name && !m_name->empty() ? m_name->c_str() : nullptr; }

private:
    std::optional<std::string> m_name;
};

// libnetapi prints some failures ("session setup failed: NT_STATUS_LOGON_FAILURE") with
// printf, whatever its debug level; the caller gets them as status codes, and a command-line
// program's stdout must carry its results only. So stdout points at /dev/null while a call
// runs. The redirection is process-wide: calls must come from one thread (libnetapi's single
// context demands that anyway), and text another thread writes to stdout meanwhile is lost.
class StdoutMuted {
public:
    StdoutMuted() {
        std::fflush(stdout);
        m_saved = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
        const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (m_saved >= 0 && devNull >= 0) {
            dup2(devNull, STDOUT_FILENO);
        }
        if (devNull >= 0) {
            close(devNull);
        }
    }
    ~StdoutMuted() {
        std::fflush(stdout);
        if (m_saved >= 0) {
            dup2(m_saved, STDOUT_FILENO);
            close(m_saved);
        }
    }
    StdoutMuted(const StdoutMuted&) = delete;
    StdoutMuted& operator=(const StdoutMuted&) = delete;

private:
    int m_saved = -1;
};

// A local base path as this machine's Samba reports paths: resolved (the server names files
// by their real path, without symlinks) and in its "C:\..." form. A trailing '/' (everything
// below) survives; a path that cannot be resolved is taken as given.
std::string LocalServerForm(const std::string& basePath) {
    if (basePath.empty()) {
        return basePath;
    }
    std::string path = basePath;
    if (char* real = realpath(basePath.c_str(), nullptr)) {
        path = real;
        std::free(real);
        if (basePath.back() == '/' && path.back() != '/') {
            path += '/';
        }
    }
    return SambaServerForm(path);
}

// Samba's libnetapi as the NetFileApi. Samba servers return every open file whatever the
// base path; the entries go back as they came, and the engine keeps those under the path.
class NetFilesPosix : public NetFileApi {
public:
    NetFilesPosix(libnetapi_ctx* context, const SmbCredentials& smbAccount)
        : m_context(context), m_smb(smbAccount) {}

    ~NetFilesPosix() override {
        libnetapi_free(m_context);
        g_adapterAlive = false;
    }

    uint32_t ShareGetInfo(const std::string& server, const std::string& share,
                          std::string* folder) override {
        uint8_t* buffer = nullptr;
        const ServerName name(server);
        const StdoutMuted muted;
        // NET_API_STATUS names only success, so compilers may take it for a tiny range.
        const auto status =
            static_cast<uint32_t>(NetShareGetInfo(name.get(), share.c_str(), 2, &buffer));
        if (status == 0 && buffer != nullptr) {
            const auto* info = reinterpret_cast<const SHARE_INFO_2*>(buffer);
            *folder = info->shi2_path != nullptr ? info->shi2_path : "";
        }
        if (buffer != nullptr) {
            NetApiBufferFree(buffer);
        }
        return status;
    }

    uint32_t FileEnum(const std::optional<std::string>& server, const std::string& basePath,
                      uint32_t* resumeHandle, std::vector<OpenFileEntry>* entries) override {
        const ServerName name(server);
        const std::string base = ReportedBasePath(server, basePath);
        uint8_t* buffer = nullptr;
        uint32_t read = 0;
        uint32_t total = 0;
        const StdoutMuted muted;
        const auto status =
            static_cast<uint32_t>(NetFileEnum(name.get(), base.c_str(), nullptr, 3, &buffer,
                                              PREFERRED_MAX_LENGTH, &read, &total, resumeHandle));
        if ((status == 0 || status == NET_MORE_DATA) && buffer != nullptr) {
            const auto* files = reinterpret_cast<const FILE_INFO_3*>(buffer);
            for (uint32_t i = 0; i < read; ++i) {
                OpenFileEntry entry;
                entry.id = files[i].fi3_id;
                entry.permissions = files[i].fi3_permissions;
                entry.numLocks = files[i].fi3_num_locks;
                entry.pathName = files[i].fi3_pathname ? files[i].fi3_pathname : "";
                entry.userName = files[i].fi3_username ? files[i].fi3_username : "";
                entries->push_back(std::move(entry));
            }
        }
        if (buffer != nullptr) {
            NetApiBufferFree(buffer);
        }
        return status;
    }

    std::string ReportedBasePath(const std::optional<std::string>& server,
                                 const std::string& basePath) override {
        return server ? basePath : LocalServerForm(basePath);
    }

    uint32_t FileClose(const std::optional<std::string>& server, uint32_t id) override {
        const ServerName name(server);
        const StdoutMuted muted;
        return static_cast<uint32_t>(NetFileClose(name.get(), id));
    }

    // Looked up over SMB, as the same user: each name in turn in its folder's listing, the
    // exact spelling first, else the only one that differs in case alone (what a
    // case-insensitive share opened). Only a path the server finds as typed is respelled.
    // libsmbclient has a context of its own, but it and libnetapi share Samba's process-wide
    // client state (the talloc stack, configuration, debug buffer, name and connection
    // caches), none of it guarded for threads: this runs on the thread of the other calls,
    // never beside one.
    std::string NameOnServer(const std::string& server, const std::string& share,
                             const std::string& path) override {
        SMBCCTX* context = m_smb.Get();
        std::string unc =
            "\\\\" + (server.empty() ? std::string("localhost") : server) + "\\" + share;
        struct stat info {};
        if (context == nullptr || smbc_getFunctionStat(context)(
                                      context, SmbUrlOf(unc + "\\" + path).c_str(), &info) != 0) {
            return path;
        }
        std::string spelled;
        size_t start = 0;
        bool listing = true;
        while (start <= path.size()) {
            const size_t end = std::min(path.find('\\', start), path.size());
            std::string name = path.substr(start, end - start);
            if (listing && !name.empty()) {
                listing = SpellingInFolder(context, unc, &name);
            }
            spelled += (start == 0 ? "" : "\\") + name;
            unc += "\\" + name;
            start = end + 1;
        }
        return spelled;
    }

    // Samba's servers announce themselves as Unix servers (SV_TYPE_SERVER_UNIX); this
    // machine's file server is Samba.
    bool ReportsExactNames(const std::optional<std::string>& server) override {
        if (!server) {
            return true;
        }
        const auto known = m_exactNames.find(*server);
        if (known != m_exactNames.end()) {
            return known->second;
        }
        constexpr uint32_t kServerTypeUnix = 0x800;
        uint8_t* buffer = nullptr;
        const ServerName name(server);
        const StdoutMuted muted;
        const auto status = static_cast<uint32_t>(NetServerGetInfo(name.get(), 101, &buffer));
        const bool exact =
            status == 0 && buffer != nullptr &&
            (reinterpret_cast<const SERVER_INFO_101*>(buffer)->sv101_type & kServerTypeUnix) != 0;
        if (buffer != nullptr) {
            NetApiBufferFree(buffer);
        }
        if (status == 0) {
            m_exactNames[*server] = exact;
        }
        return exact;
    }

private:
    // *name as the folder `unc` spells it; false when the folder cannot be listed.
    static bool SpellingInFolder(SMBCCTX* context, const std::string& unc, std::string* name) {
        SMBCFILE* dir = smbc_getFunctionOpendir(context)(context, SmbUrlOf(unc).c_str());
        if (dir == nullptr) {
            return false;
        }
        const auto folded = [](std::string text) {
            for (char& c : text) {
                c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
            }
            return text;
        };
        const std::string wanted = folded(*name);
        std::vector<std::string> alike;
        bool exact = false;
        while (const smbc_dirent* entry = smbc_getFunctionReaddir(context)(context, dir)) {
            const std::string found = entry->name;
            exact = exact || found == *name;
            if (folded(found) == wanted) {
                alike.push_back(found);
            }
        }
        smbc_getFunctionClosedir(context)(context, dir);
        if (!exact && alike.size() == 1) {
            *name = alike.front();
        }
        return true;
    }

    libnetapi_ctx* m_context;
    SmbContext m_smb;
    std::map<std::string, bool> m_exactNames;
};

// Who the calls authenticate as, read once: a re-made context must not depend on the
// credentials file still being there or unchanged.
struct ContextCredentials {
    bool kerberos = false;
    std::optional<SmbCredentials> account;  // nullopt: none, the server judges
    std::string source;                     // the file the account came from
    // Whom the server's spelling of names (over libsmbclient) goes out as: read with the
    // rest, since a re-made context may no longer be allowed to read the file.
    SmbCredentials smbAccount;
};

// Chooses and reads the credentials; returns false and sets *error when they cannot be used.
bool ReadCredentials(const NetCredentials& credentials, ContextCredentials* out,
                     std::string* error) {
    out->smbAccount = SmbCredentialsOf(credentials.credentialsFile);
    const CredentialsChoice choice =
        ChooseCredentials(credentials.credentialsFile, CurrentCredentialsEnvironment());
    if (choice.source == CredentialsSource::KerberosTicket) {
        out->kerberos = true;
        return true;
    }
    if (choice.source == CredentialsSource::None || credentials.withoutFile) {
        return true;
    }
    const bool named = choice.source == CredentialsSource::NamedFile;
    SmbCredentials smb;
    switch (LoadCredentialsFile(choice.file, &smb, error)) {
        case CredentialsLoad::Missing:
            // No default file: go on without credentials and let the server judge.
            if (!named) {
                error->clear();
                return true;
            }
            return false;
        case CredentialsLoad::Failed:
            return false;
        case CredentialsLoad::Loaded:
            break;
    }
    out->account = smb;
    out->source = choice.file;
    return true;
}

bool ApplyCredentials(libnetapi_ctx* context, const ContextCredentials& credentials,
                      std::string* error) {
    if (credentials.kerberos) {
        if (libnetapi_set_use_ccache(context) != 0) {
            *error = "Cannot use the Kerberos ticket cache";
            return false;
        }
        return true;
    }
    if (!credentials.account) {
        return true;
    }
    const SmbCredentials& smb = *credentials.account;
    if (libnetapi_set_username(context, smb.user.c_str()) != 0 ||
        libnetapi_set_password(context, smb.password.c_str()) != 0 ||
        (!smb.domain.empty() && libnetapi_set_workgroup(context, smb.domain.c_str()) != 0)) {
        *error = "Cannot use the credentials of " + credentials.source;
        return false;
    }
    return true;
}

// One client over a new libnetapi context; nullptr and *error when it cannot be made.
std::unique_ptr<NetFileApi> MakeContextClient(const ContextCredentials& credentials,
                                              std::string* error) {
    if (g_adapterAlive.exchange(true)) {
        *error = "Only one network file-management connection may exist in a process";
        return nullptr;
    }
    libnetapi_ctx* context = nullptr;
    const StdoutMuted muted;
    const NET_API_STATUS status = libnetapi_init(&context);
    if (status != 0 || context == nullptr) {
        g_adapterAlive = false;
        *error =
            "Cannot start Samba's network management client (code " + std::to_string(status) + ")";
        return nullptr;
    }
    // Its debug messages go to a log nobody reads; failures reach the user as status codes.
    libnetapi_set_debuglevel(context, "0");
    libnetapi_set_logfile(context, "/dev/null");
    if (!ApplyCredentials(context, credentials, error)) {
        libnetapi_free(context);
        g_adapterAlive = false;
        return nullptr;
    }
    return std::make_unique<NetFilesPosix>(context, credentials.smbAccount);
}

}  // namespace

std::unique_ptr<NetFileApi> MakeNetFileApi(const NetCredentials& credentials, std::string* error) {
    // libnetapi reads this file (and no other) and prints its complaint when it is missing.
    struct stat info {};
    if (stat("/etc/samba/smb.conf", &info) != 0) {
        *error = "Samba's client needs /etc/samba/smb.conf (an empty file will do)";
        return nullptr;
    }
    ContextCredentials resolved;
    if (!ReadCredentials(credentials, &resolved, error)) {
        return nullptr;
    }
    auto first = MakeContextClient(resolved, error);
    if (!first) {
        return nullptr;
    }
    // The context's memory grows with use; the recycling client re-makes it in bounds.
    return std::make_unique<RecyclingNetFileApi>(
        [resolved] {
            std::string ignored;
            return MakeContextClient(resolved, &ignored);
        },
        std::move(first), RecyclePolicy{});
}

}  // namespace pellquin
