#include <fnmatch.h>
#include <glob.h>
#include <libsmbclient.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "platform/path_probe.h"
#include "platform/posix/smb_context.h"

namespace pellquin {
namespace {

bool HasWildcards(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos;
}

// Local paths through the file system; UNC paths through libsmbclient.
class PathProbePosix : public PathProbe {
public:
    explicit PathProbePosix(std::string credentialsFile) : m_smb(std::move(credentialsFile)) {}

    bool IsFile(const std::string& path) override {
        m_doubt = ProbeDoubt{};
        return IsUncPathText(path) ? IsRemoteFile(path) : IsLocalFile(path);
    }

    bool IsDirectory(const std::string& path) override {
        m_doubt = ProbeDoubt{};
        if (IsDirectoryPath(path, &m_smb)) {
            return true;
        }
        if (IsUncPathText(path)) {
            JudgeRefusal(path, errno);
        }
        return false;
    }

    ProbeDoubt LastDoubt() const override { return m_doubt; }

private:
    // libsmbclient gives EACCES alike for a refused logon and for a path the user may not
    // see; the share's root, opened with the same logon, tells the two apart.
    void JudgeRefusal(const std::string& path, int error) {
        SMBCCTX* context = m_smb.Get();
        if (context == nullptr || (error != EACCES && error != EPERM)) {
            return;
        }
        m_doubt.credentialsFile = m_smb.CredentialsFile();
        m_doubt.detail = m_smb.CredentialsProblem();
        const std::string url = SmbUrlOf(path);
        const size_t server = url.find('/', 6);
        const size_t share = server == std::string::npos ? server : url.find('/', server + 1);
        bool rootOpens = false;
        if (share != std::string::npos) {
            if (SMBCFILE* dir =
                    smbc_getFunctionOpendir(context)(context, url.substr(0, share).c_str())) {
                smbc_getFunctionClosedir(context)(context, dir);
                rootOpens = true;
            }
        }
        if (!m_doubt.detail.empty()) {
            m_doubt.kind = ProbeDoubt::Kind::CredentialsUnusable;
        } else if (rootOpens) {
            m_doubt.kind = ProbeDoubt::Kind::AccessDenied;
        } else {
            m_doubt.kind = ProbeDoubt::Kind::LogonRefused;
        }
    }

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
        SMBCCTX* context = m_smb.Get();
        if (context == nullptr) {
            return false;
        }
        const std::string url = SmbUrlOf(path);
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

    SmbContext m_smb;
    ProbeDoubt m_doubt;
};

}  // namespace

std::unique_ptr<PathProbe> MakePathProbe(const std::string& credentialsFile) {
    return std::make_unique<PathProbePosix>(credentialsFile);
}

}  // namespace pellquin
