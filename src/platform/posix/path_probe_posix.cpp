#include <fnmatch.h>
#include <glob.h>
#include <libsmbclient.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/credentials_file.h"
#include "platform/path_probe.h"

namespace pellquin {
namespace {

bool HasWildcards(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos;
}

bool IsUncPath(const std::string& path) {
    return path.size() >= 2 &&
           ((path[0] == '\\' && path[1] == '\\') || (path[0] == '/' && path[1] == '/'));
}

// "\\server\share\dir\f.txt" or "//server/share/dir/f.txt" as an smb:// URL. Everything after
// the server is percent-encoded, so '%', '?' and '#' in names reach the server as themselves.
std::string SmbUrl(const std::string& unc) {
    std::string rest = unc.substr(2);
    for (char& c : rest) {
        if (c == '\\') {
            c = '/';
        }
    }
    const size_t serverEnd = rest.find('/');
    std::string url = "smb://" + rest.substr(0, serverEnd);
    if (serverEnd == std::string::npos) {
        return url;
    }
    static const char kHex[] = "0123456789ABCDEF";
    for (size_t i = serverEnd; i < rest.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(rest[i]);
        if (std::isalnum(c) || std::strchr("/-_.~!$&'()*+,;=:@ ", c) != nullptr || c >= 0x80) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    while (url.size() > 6 && url.back() == '/') {
        url.pop_back();
    }
    return url;
}

void Authenticate(SMBCCTX* context, const char* /*server*/, const char* /*share*/, char* workgroup,
                  int workgroupLength, char* user, int userLength, char* password,
                  int passwordLength) {
    const auto* credentials = static_cast<const SmbCredentials*>(smbc_getOptionUserData(context));
    if (credentials == nullptr || credentials->user.empty()) {
        return;
    }
    auto copy = [](char* out, int length, const std::string& text) {
        if (length > 0) {
            std::strncpy(out, text.c_str(), static_cast<size_t>(length) - 1);
            out[length - 1] = '\0';
        }
    };
    if (!credentials->domain.empty()) {
        copy(workgroup, workgroupLength, credentials->domain);
    }
    copy(user, userLength, credentials->user);
    copy(password, passwordLength, credentials->password);
}

// Local paths through the file system; UNC paths through libsmbclient, whose context is made
// on first use and kept for the probe's life.
class PathProbePosix : public PathProbe {
public:
    explicit PathProbePosix(std::string credentialsFile)
        : m_credentialsFile(std::move(credentialsFile)) {}
    ~PathProbePosix() override {
        if (m_context != nullptr) {
            smbc_free_context(m_context, 1);
        }
    }
    PathProbePosix(const PathProbePosix&) = delete;
    PathProbePosix& operator=(const PathProbePosix&) = delete;

    bool IsFile(const std::string& path) override {
        return IsUncPath(path) ? IsRemoteFile(path) : IsLocalFile(path);
    }

    bool IsDirectory(const std::string& path) override {
        if (IsUncPath(path)) {
            SMBCCTX* context = Context();
            if (context == nullptr) {
                return false;
            }
            // Opening as a directory also answers for "\\server" and share roots, which
            // have no attributes of their own to stat.
            SMBCFILE* dir = smbc_getFunctionOpendir(context)(context, SmbUrl(path).c_str());
            if (dir == nullptr) {
                return false;
            }
            smbc_getFunctionClosedir(context)(context, dir);
            return true;
        }
        struct stat info {};
        return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }

private:
    static bool IsLocalFile(const std::string& path) {
        struct stat info {};
        if (stat(path.c_str(), &info) == 0) {
            return !S_ISDIR(info.st_mode);
        }
        if (!HasWildcards(path)) {
            return false;
        }
        glob_t matches{};
        bool found = false;
        if (glob(path.c_str(), GLOB_NOSORT | GLOB_MARK, nullptr, &matches) == 0) {
            for (size_t i = 0; i < matches.gl_pathc && !found; ++i) {
                const std::string match = matches.gl_pathv[i];
                found = !match.empty() && match.back() != '/';
            }
        }
        globfree(&matches);
        return found;
    }

    bool IsRemoteFile(const std::string& path) {
        SMBCCTX* context = Context();
        if (context == nullptr) {
            return false;
        }
        const std::string url = SmbUrl(path);
        struct stat info {};
        if (smbc_getFunctionStat(context)(context, url.c_str(), &info) == 0) {
            return !S_ISDIR(info.st_mode);
        }
        const size_t slash = url.rfind('/');
        const std::string pattern = url.substr(slash + 1);
        if (!HasWildcards(pattern) || slash <= 6) {
            return false;
        }
        SMBCFILE* dir = smbc_getFunctionOpendir(context)(context, url.substr(0, slash).c_str());
        if (dir == nullptr) {
            return false;
        }
        bool found = false;
        while (const smbc_dirent* entry = smbc_getFunctionReaddir(context)(context, dir)) {
            if (entry->smbc_type == SMBC_FILE && fnmatch(pattern.c_str(), entry->name, 0) == 0) {
                found = true;
                break;
            }
        }
        smbc_getFunctionClosedir(context)(context, dir);
        return found;
    }

    SMBCCTX* Context() {
        if (m_context != nullptr || m_contextFailed) {
            return m_context;
        }
        const bool named = !m_credentialsFile.empty();
        const std::string path =
            named ? m_credentialsFile
                  : DefaultCredentialsPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
        std::string error;
        // Without a readable file the probe goes on as the anonymous user and a Kerberos
        // ticket, if any: the check that follows reports what the server refuses.
        if (!path.empty() &&
            LoadCredentialsFile(path, &m_credentials, &error) != CredentialsLoad::Loaded) {
            m_credentials = SmbCredentials{};
        }
        SMBCCTX* context = smbc_new_context();
        if (context == nullptr) {
            m_contextFailed = true;
            return nullptr;
        }
        smbc_setDebug(context, 0);
        smbc_setOptionUserData(context, &m_credentials);
        smbc_setFunctionAuthDataWithContext(context, Authenticate);
        smbc_setOptionUseKerberos(context, m_credentials.user.empty() ? 1 : 0);
        smbc_setOptionFallbackAfterKerberos(context, 1);
        if (smbc_init_context(context) == nullptr) {
            smbc_free_context(context, 0);
            m_contextFailed = true;
            return nullptr;
        }
        m_context = context;
        return m_context;
    }

    std::string m_credentialsFile;
    SmbCredentials m_credentials;
    SMBCCTX* m_context = nullptr;
    bool m_contextFailed = false;
};

}  // namespace

std::unique_ptr<PathProbe> MakePathProbe(const std::string& credentialsFile) {
    return std::make_unique<PathProbePosix>(credentialsFile);
}

}  // namespace pellquin
